#pragma once

#include "acquisition/output.h"
#include "publish/messagequeue.h"
#include "publish/mqttconnection.h"
#include "publish/publishsettings.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <array>
#include <chrono>
#include <limits>
#include <map>

namespace tarv::publish {

// Publishes the shared state to an MQTT broker: what the card is doing, an analog and
// a digital frame a second as they come, one retained topic per channel; and, when allowed, takes
// output commands. Never waits for the broker: messages that cannot go are dropped (QoS 0) or held
// in a bounded queue (QoS 1) and counted.
class Publisher : public QObject, public acquisition::Output
{
    Q_OBJECT
public:
    Publisher(acquisition::OutputHost &host, std::chrono::milliseconds firstRetry,
        QObject *parent = nullptr);
    ~Publisher() override;

    // Starts publishing with these settings (off when not enabled), ending any
    // earlier connection first.
    void configure(const PublishSettings &settings, const QString &password);

    // Output
    void start(const core::IniFile &ini, QStringList &problems) override;
    void analogFrame() override;
    void digitalFrame() override;
    void cardChanged() override { publishCard(false); }
    // Once a second, on the front end's own tick: the card's state and the alarms.
    void tick() override;
    // A clean stop: "offline" on the status topic, then disconnect.
    void stop() override;
    std::optional<acquisition::OutputStatus> status() const override;
    std::vector<acquisition::Metric> metrics() const override;

    bool enabled() const { return m_settings.enabled; }
    bool isConnected() const { return m_connected; }
    const PublishSettings &settings() const { return m_settings; }
    QString reason() const { return m_reason; } // why not connected
    quint64 dropped() const { return m_dropped + m_queue.dropped(); }
    quint64 refused() const { return m_refused; }
    quint64 sent() const { return m_sent + m_queue.sent(); }
    // QoS 1 messages queued or not yet acknowledged.
    std::size_t pending() const { return m_queue.pending(); }
    // The status line's tooltip: reason, dropped and refused counts.
    QString statusTip() const;

signals:
    void connectionChanged(bool connected, const QString &reason);

private:
    void onConnected();
    void onDisconnected(const QString &reason);
    void onMessage(const QString &topic, const QByteArray &payload, bool retained);
    void publishDiscovery();
    void refuse(const QString &kind);
    // Whether a frame that came now is published, as last was the last one's time.
    bool due(qint64 &last) const;
    void publishAnalog();
    void publishCard(bool always);
    void publishAlarms();
    void send(const QString &subtopic, const QByteArray &payload, bool retain);
    void sendTo(const QString &topic, const QByteArray &payload, bool retain);
    void pump();

    acquisition::OutputHost &m_host;
    std::chrono::milliseconds m_firstRetry;
    MqttConnection *m_connection = nullptr;
    PublishSettings m_settings;
    QString m_prefix;
    bool m_connected = false;
    QString m_reason;

    // When the last of each kind was published, milliseconds since the epoch.
    qint64 m_analogTime = std::numeric_limits<qint64>::min() / 2;
    qint64 m_digitalTime = std::numeric_limits<qint64>::min() / 2;
    QByteArray m_cardPublished;
    std::array<QByteArray, core::ChannelCount> m_qualityPublished; // retained, on change
    std::map<int, QByteArray> m_alarmsPublished; // by rule number; -1: the list
    std::map<QString, QByteArray> m_discovery; // the configs wanted, by topic

    MessageQueue m_queue;
    quint64 m_dropped = 0; // QoS 0
    quint64 m_sent = 0;
    quint64 m_refused = 0;
    QStringList m_refusedKinds;
};

} // namespace tarv::publish
