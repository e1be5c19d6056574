#pragma once

#include "core/acquisitionstate.h"
#include "link/conversionerror.h"
#include "publish/mqttconnection.h"
#include "publish/publishsettings.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <deque>
#include <set>

namespace tarv::core {
class Clock;
}
namespace tarv::link {
class CardLink;
}

namespace tarv::publish {

// The number form of published values: the shortest digits that read back to the
// same single-precision value, "." whatever the regional settings; empty for a
// value that is not a finite number.
QString publishedNumber(float value);

// Publishes the shared state to an MQTT broker once a second: what the card is
// doing, the analog and digital frames accepted since the last second, one retained
// topic per channel. Never waits for the broker: messages that cannot go are
// dropped (QoS 0) or held in a bounded queue (QoS 1) and counted.
class Publisher : public QObject
{
    Q_OBJECT
public:
    static constexpr std::size_t QueueLimit = 10000;
    // QoS 1 messages handed to libmosquitto and not yet acknowledged; its own queue
    // has no bound, so ours feeds it only this far ahead.
    static constexpr int InFlightLimit = 100;

    Publisher(core::AcquisitionState &state, link::CardLink &link, const core::Clock &clock,
        QObject *parent = nullptr);
    ~Publisher() override;

    // Starts publishing with these settings (off when not enabled), ending any
    // earlier connection first.
    void configure(const PublishSettings &settings, const QString &password,
        const ConnectionParams &timing = {});
    // A clean stop: "offline" on the status topic, then disconnect.
    void stop();

    // Once a second, on the front end's own tick (the views' and the logger's
    // rhythm): the frames accepted since the last one.
    void tick();
    // Benchmarks: publish every analog frame as it is accepted, as fast as the broker
    // takes them: a frame that finds a full window of unacknowledged messages is
    // skipped (and counted), so the measure is the rate with nothing dropped.
    void setEveryFrame(bool on) { m_everyFrame = on; }
    quint64 framesSkipped() const { return m_framesSkipped; }

    bool enabled() const { return m_settings.enabled; }
    bool isConnected() const { return m_connected; }
    const PublishSettings &settings() const { return m_settings; }
    QString reason() const { return m_reason; } // why not connected
    quint64 dropped() const { return m_dropped; }
    quint64 refused() const { return m_refused; }
    quint64 sent() const { return m_sent; }
    // QoS 1 messages queued or not yet acknowledged.
    std::size_t pending() const { return m_queue.size() + m_inFlight.size(); }
    // The status label's tooltip: reason, dropped and refused counts.
    QString statusTip() const;

signals:
    void connectionChanged(bool connected, const QString &reason);
    // A command of a kind not refused before; each kind once.
    void commandRefused(const QString &kind);

private:
    struct Message
    {
        QString topic;
        QByteArray payload;
        bool retain = false;
    };

    void onConnected();
    void onDisconnected(const QString &reason);
    void onDelivered(int mid);
    void onCommand(const QString &topic, const QByteArray &payload, bool retained);
    void refuse(const QString &kind);
    void publishAnalog();
    void publishDigital();
    void publishCard(bool always);
    void send(const QString &subtopic, const QByteArray &payload, bool retain);
    void pump();
    QString topic(const QString &subtopic) const;

    core::AcquisitionState &m_state;
    link::CardLink &m_link;
    const core::Clock &m_clock;
    MqttConnection *m_connection = nullptr;
    PublishSettings m_settings;
    QString m_prefix;
    bool m_connected = false;
    QString m_reason;
    bool m_everyFrame = false;

    bool m_analogPending = false;
    QDateTime m_analogTime;
    bool m_digitalPending = false;
    QDateTime m_digitalTime;
    link::ChannelFailures m_failures;
    QString m_cardPublished;

    std::deque<Message> m_queue; // QoS 1, waiting for the connection or the window
    std::set<int> m_inFlight;
    quint64 m_dropped = 0;
    quint64 m_refused = 0;
    quint64 m_sent = 0;
    quint64 m_framesSkipped = 0;
    QStringList m_refusedKinds;
};

} // namespace tarv::publish
