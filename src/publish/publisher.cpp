#include "publish/publisher.h"

#include "core/clock.h"
#include "core/inifile.h"
#include "publish/commands.h"
#include "publish/discovery.h"
#include "publish/payloads.h"

namespace tarv::publish {

using acquisition::Severity;
using acquisition::Topic;

Publisher::Publisher(
    acquisition::OutputHost &host, std::chrono::milliseconds firstRetry, QObject *parent)
    : QObject(parent)
    , m_host(host)
    , m_firstRetry(firstRetry)
    , m_connection(new MqttConnection(this))
{
    connect(m_connection, &MqttConnection::connected, this, &Publisher::onConnected);
    connect(m_connection, &MqttConnection::disconnected, this, &Publisher::onDisconnected);
    connect(m_connection, &MqttConnection::delivered, this, [this](int mid) {
        if (m_queue.acknowledged(mid))
            pump();
    });
    connect(m_connection, &MqttConnection::messageArrived, this, &Publisher::onMessage);
}

Publisher::~Publisher()
{
    m_connection->stop();
}

void Publisher::start(const core::IniFile &ini, QStringList &problems)
{
    const PublishSettingsRead read = readPublishSettings(ini);
    problems += read.problems;
    for (const QString &warning : read.warnings)
        m_host.report(
            {Topic::Settings, Severity::Warning, QStringLiteral("tarvane.ini: ") + warning});
    configure(read.settings, read.password);
    if (read.settings.enabled)
        m_host.report({Topic::Broker, Severity::Information,
            QStringLiteral("publishing to %1 under %2")
                .arg(read.settings.brokerName(), read.settings.prefix())});
}

void Publisher::configure(const PublishSettings &settings, const QString &password)
{
    stop();
    m_settings = settings;
    m_prefix = settings.prefix();
    m_queue.clear();
    if (!settings.enabled)
        return;
    ConnectionParams params = connectionParams(settings, password);
    params.firstRetry = m_firstRetry;
    m_reason = QStringLiteral("connecting");
    m_connection->start(params);
}

void Publisher::stop()
{
    // Asked for, so not news: the service says it stopped, the window shows it.
    m_connection->stop();
    m_connected = false;
    m_reason = QStringLiteral("stopped");
    m_cardPublished.clear();
    m_qualityPublished = {};
    m_alarmsPublished.clear();
}

std::optional<acquisition::OutputStatus> Publisher::status() const
{
    // With publishing off the status window is as it always was.
    return acquisition::OutputStatus {QStringLiteral("lblPublish"),
        m_connected ? QStringLiteral("Broker Connected") : QStringLiteral("Broker Not Connected"),
        statusTip(), m_settings.enabled};
}

std::vector<acquisition::Metric> Publisher::metrics() const
{
    if (!m_settings.enabled)
        return {};
    return {{"tarvane_broker_connected", "1 while connected to the broker", "gauge", {},
                m_connected ? 1.0 : 0.0},
        {"tarvane_broker_messages_dropped_total", "Messages that could not be published", "counter",
            {}, double(dropped())},
        {"tarvane_broker_commands_refused_total", "Remote output commands refused", "counter", {},
            double(m_refused)}};
}

QString Publisher::statusTip() const
{
    QString tip = m_settings.brokerName() + QStringLiteral(": ")
        + (m_connected ? QStringLiteral("connected") : m_reason);
    tip += QStringLiteral("\nMessages dropped: %1").arg(dropped());
    tip += QStringLiteral("\nCommands refused: %1").arg(m_refused);
    if (!m_refusedKinds.isEmpty())
        tip += QStringLiteral(" (%1)").arg(m_refusedKinds.join(QStringLiteral(", ")));
    return tip;
}

// Up to 27 frames a second, of which at most one of each kind a second is published,
// at once: the first that comes a second or more after the last one published. So a
// dashboard sees a frame milliseconds after the card sent it, not up to a second later
// at the next tick. The arrival is kept as a plain instant, its text made only then.
bool Publisher::due(qint64 &last) const
{
    if (!m_settings.enabled)
        return false;
    const qint64 now = m_host.clock().msecsSinceEpoch();
    if (now - last < 1000)
        return false;
    last = now;
    return true;
}

void Publisher::analogFrame()
{
    if (due(m_analogTime))
        publishAnalog();
}

void Publisher::digitalFrame()
{
    if (due(m_digitalTime))
        send(QStringLiteral("digital"),
            digitalPayload(m_host.state(), QDateTime::fromMSecsSinceEpoch(m_digitalTime, Qt::UTC)),
            false);
}

void Publisher::tick()
{
    if (!m_settings.enabled)
        return;
    publishCard(false);
    publishAlarms();
}

void Publisher::publishAnalog()
{
    const core::AcquisitionState &state = m_host.state();
    send(QStringLiteral("analog"),
        analogPayload(state, QDateTime::fromMSecsSinceEpoch(m_analogTime, Qt::UTC),
            m_host.conversionFaults()),
        false);
    for (int c = 0; c < core::ChannelCount; ++c) {
        if (!m_settings.channels[std::size_t(c)])
            continue;
        if (QByteArray quality = qualityPayload(state, c); quality != m_qualityPublished[c]) {
            send(QStringLiteral("channel/%1/quality").arg(c), quality, true);
            m_qualityPublished[c] = std::move(quality);
        }
        if (const QByteArray value = channelPayload(state, c); !value.isEmpty())
            send(QStringLiteral("channel/%1").arg(c), value, true);
    }
}

void Publisher::publishCard(bool always)
{
    // A dashboard must tell stale values from live ones at once, not a second later.
    if (!m_settings.enabled)
        return;
    const QByteArray text = cardPayload(m_host.state());
    if (!always && text == m_cardPublished)
        return;
    m_cardPublished = text;
    send(QStringLiteral("card"), text, true);
}

void Publisher::publishAlarms()
{
    // Retained, on change; a rule that went is cleared from the broker.
    const core::AcquisitionState &state = m_host.state();
    std::map<int, QByteArray> now;
    for (const core::AlarmStatus &alarm : state.alarms)
        now[alarm.number] = alarmPayload(state, alarm);
    if (!state.alarms.empty() || m_alarmsPublished.contains(-1))
        now[-1] = state.alarms.empty() ? QByteArray() : activeAlarmsPayload(state);
    for (const auto &[number, payload] : m_alarmsPublished)
        if (!now.contains(number))
            send(QStringLiteral("alarm/%1").arg(number), {}, true);
    for (const auto &[number, payload] : now) {
        const auto published = m_alarmsPublished.find(number);
        if (published == m_alarmsPublished.end() || published->second != payload)
            send(number < 0 ? QStringLiteral("alarms") : QStringLiteral("alarm/%1").arg(number),
                payload, true);
    }
    m_alarmsPublished = std::move(now);
    if (m_alarmsPublished.contains(-1) && m_alarmsPublished[-1].isEmpty())
        m_alarmsPublished.erase(-1);
}

void Publisher::send(const QString &subtopic, const QByteArray &payload, bool retain)
{
    sendTo(m_prefix + u'/' + subtopic, payload, retain);
}

void Publisher::sendTo(const QString &topic, const QByteArray &payload, bool retain)
{
    if (m_settings.qos == 0) {
        if (m_connected && m_connection->publish(topic, payload, 0, retain))
            ++m_sent;
        else
            ++m_dropped;
        return;
    }
    m_queue.push({topic, payload, retain});
    pump();
}

void Publisher::pump()
{
    if (!m_connected)
        return;
    m_queue.pump([this](const Message &message) -> std::optional<int> {
        int mid = 0;
        // False: the connection went; the disconnect signal is on its way.
        if (!m_connection->publish(message.topic, message.payload, 1, message.retain, &mid))
            return std::nullopt;
        return mid;
    });
}

void Publisher::onConnected()
{
    m_connected = true;
    m_reason.clear();
    emit connectionChanged(true, QString());
    m_host.report({Topic::Broker, Severity::Information,
        QStringLiteral("broker %1 connected").arg(m_settings.brokerName())});
    // The broker may have restarted without its retained messages.
    publishDiscovery();
    publishCard(true);
    m_qualityPublished = {};
    m_alarmsPublished.clear();
    pump();
}

void Publisher::onDisconnected(const QString &reason)
{
    const bool changed = m_connected || reason != m_reason;
    m_connected = false;
    m_reason = reason;
    m_queue.connectionLost();
    if (!changed)
        return;
    emit connectionChanged(false, reason);
    m_host.report({Topic::Broker, Severity::Warning,
        QStringLiteral("broker %1 not connected: %2").arg(m_settings.brokerName(), reason)});
}

void Publisher::publishDiscovery()
{
    m_discovery.clear();
    if (!m_settings.discovery)
        return;
    m_discovery = discoveryConfigs(m_settings, m_host.state(), QStringLiteral(TARV_VERSION));
    for (const auto &[topic, config] : m_discovery)
        sendTo(topic, config, true);
}

void Publisher::onMessage(const QString &topicName, const QByteArray &payload, bool retained)
{
    // A config of ours the broker still holds but nothing wants any more: cleared, so
    // the dashboard drops the entity.
    if (m_settings.discoveryNamed && isOwnConfig(m_settings, topicName)) {
        if (!payload.isEmpty() && !m_discovery.contains(topicName))
            sendTo(topicName, {}, true);
        return;
    }
    if (!m_settings.commands || topicName != m_prefix + QStringLiteral("/do/set"))
        return;
    const ParsedCommand parsed = parseCommand(payload, retained);
    if (!parsed.command)
        return refuse(parsed.refusal);
    const acquisition::OutputRefusal refusal = m_host.setOutput(
        parsed.command->line, parsed.command->on, acquisition::OutputSource::Remote);
    if (refusal != acquisition::OutputRefusal::None)
        refuse(refusalText(refusal));
}

void Publisher::refuse(const QString &kind)
{
    ++m_refused;
    if (m_refusedKinds.contains(kind))
        return;
    m_refusedKinds.append(kind);
    m_host.report({Topic::Commands, Severity::Warning,
        QStringLiteral("output command refused: %1").arg(kind)});
}

} // namespace tarv::publish
