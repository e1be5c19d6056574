#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <future>
#include <memory>
#include <optional>

namespace tarv::publish {

struct ConnectionParams
{
    QString host;
    int port = 1883;
    QString clientId;
    QString username;
    QString password;
    QString caFile, certFile, keyFile;
    int keepalive = 30;
    QString statusTopic; // "online" on connect; the will and a clean stop say "offline"
    QStringList subscribeTopics;
    int maxIncomingBytes = 1024; // larger messages arrive empty
    std::chrono::milliseconds firstRetry {1000}; // doubled after each failure
    std::chrono::milliseconds longestRetry {60000};
    // A connection that lasted this long starts the back-off afresh. One the broker ends
    // sooner may have met another client with the same id, and two such clients would
    // otherwise knock each other off for ever.
    std::chrono::milliseconds stableAfter {60000};
};

struct ConnectionContext;

// One broker connection on a thread of its own, since libmosquitto resolves host names
// blocking. It reconnects by itself with back-off; everything it has to say reaches the
// owner's thread by queued signals. Nothing here waits for that thread: told to stop, it
// says "offline" when it was connected and ends by itself, and the program joins the
// last of them as it ends.
class MqttConnection : public QObject
{
    Q_OBJECT
public:
    explicit MqttConnection(QObject *parent = nullptr);
    ~MqttConnection() override; // stop()

    // A setting the library does not take (an unreadable TLS file above all) means no
    // connect at all; disconnected() says why, and each retry tries the settings again.
    void start(const ConnectionParams &params);
    // Returns at once. Nothing is published after it: an "online" already on its way
    // is followed by "offline".
    void stop();

    // Hands a message to libmosquitto. False when not connected or refused. Call it on
    // the owner's thread; *mid identifies a QoS 1 message in delivered().
    bool publish(
        const QString &topic, const QByteArray &payload, int qos, bool retain, int *mid = nullptr);

    // One connect from start to the broker's answer, for a "Test connection" button, in
    // place of any earlier connection or probe: probed() says "" when the broker
    // accepted, else the reason. stop() abandons it.
    void probe(const ConnectionParams &params, std::chrono::milliseconds limit);

signals:
    void connected();
    void disconnected(const QString &reason);
    void delivered(int mid);
    void messageArrived(const QString &topic, const QByteArray &payload, bool retained);
    void probed(const QString &reason);

private:
    void launch(const ConnectionParams &params, std::optional<std::chrono::milliseconds> probe);

    std::shared_ptr<ConnectionContext> m_context;
    // The thread stopped last, which may still be saying "offline": the next one
    // connects after it, so the broker keeps "online" as the last word.
    std::shared_future<void> m_previousEnded;
};

} // namespace tarv::publish
