#pragma once

#include <QByteArray>
#include <QString>

#include <deque>
#include <functional>
#include <optional>
#include <set>

namespace tarv::publish {

struct Message
{
    QString topic;
    QByteArray payload;
    bool retain = false;
};

// The QoS 1 path: messages wait here for the connection and for room in the window
// of unacknowledged ones, oldest first; when full the oldest is dropped and counted.
// libmosquitto's own queue has no bound, so it is fed only InFlightLimit ahead.
class MessageQueue
{
public:
    static constexpr std::size_t Limit = 10000;
    static constexpr std::size_t InFlightLimit = 100;

    // Hands one message to the library: its id, or nothing when it cannot go now.
    using Send = std::function<std::optional<int>(const Message &)>;

    void push(Message message);
    // Sends from the front while the window has room and send() takes them.
    void pump(const Send &send);
    // The broker acknowledged; true when the message was ours (room to pump).
    bool acknowledged(int mid) { return m_inFlight.erase(mid) > 0; }
    // What the library held goes again after a reconnect, or never: either way it is
    // out of our hands, and the window must not stay shut.
    void connectionLost() { m_inFlight.clear(); }
    void clear();

    // Queued or not yet acknowledged.
    std::size_t pending() const { return m_waiting.size() + m_inFlight.size(); }
    quint64 dropped() const { return m_dropped; }
    quint64 sent() const { return m_sent; }

private:
    std::deque<Message> m_waiting;
    std::set<int> m_inFlight;
    quint64 m_dropped = 0;
    quint64 m_sent = 0;
};

} // namespace tarv::publish
