#include "publish/publisher.h"

#include "core/clock.h"
#include "link/cardlink.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <charconv>
#include <cmath>

namespace tarv::publish {

namespace {

QByteArray jsonTime(const QDateTime &time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ")).toLatin1();
}

QByteArray jsonNumber(float value)
{
    const QString text = publishedNumber(value);
    return text.isEmpty() ? QByteArrayLiteral("null") : text.toLatin1();
}

QByteArray jsonString(const QString &text)
{
    // QJsonValue writes the escapes; strip the array brackets round it.
    const QByteArray array = QJsonDocument(QJsonArray {text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

quint16 lineWord(const core::WideArray<core::Flag> &lines)
{
    quint16 word = 0;
    for (int k = 0; k < core::LineCount; ++k)
        if (lines[std::size_t(k)] == core::True)
            word = quint16(word | (1u << k));
    return word;
}

QByteArray lineArray(const core::WideArray<core::Flag> &lines)
{
    QByteArray text = "[";
    for (int k = 0; k < core::LineCount; ++k)
        text += (k ? "," : "") + QByteArray(lines[std::size_t(k)] == core::True ? "true" : "false");
    return text + ']';
}

QString cardText(const core::AcquisitionState &state)
{
    if (state.portLost == core::True)
        return QStringLiteral("port lost");
    return state.cardConnected == core::True ? QStringLiteral("connected")
                                             : QStringLiteral("disconnected");
}

} // namespace

QString publishedNumber(float value)
{
    if (!std::isfinite(value))
        return {};
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

Publisher::Publisher(
    core::AcquisitionState &state, link::CardLink &link, const core::Clock &clock, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_link(link)
    , m_clock(clock)
    , m_connection(new MqttConnection(this))
{
    connect(m_connection, &MqttConnection::connected, this, &Publisher::onConnected);
    connect(m_connection, &MqttConnection::disconnected, this, &Publisher::onDisconnected);
    connect(m_connection, &MqttConnection::delivered, this, &Publisher::onDelivered);
    connect(m_connection, &MqttConnection::messageArrived, this, &Publisher::onCommand);

    connect(&link, &link::CardLink::analogFrameAccepted, this, [this] {
        m_analogPending = true;
        m_analogTime = m_clock.now();
        if (!m_everyFrame || !m_settings.enabled)
            return;
        if (pending() < InFlightLimit)
            publishAnalog();
        else
            ++m_framesSkipped;
    });
    connect(&link, &link::CardLink::digitalFrameAccepted, this, [this] {
        m_digitalPending = true;
        m_digitalTime = m_clock.now();
    });
    connect(&link, &link::CardLink::conversionFailed, this,
        [this](const link::ChannelFailures &failures) { m_failures = failures; });
    // A dashboard must tell stale values from live ones at once, not a second later.
    connect(&link, &link::CardLink::versionReceived, this, [this] { publishCard(false); });
    connect(&link, &link::CardLink::portLost, this, [this] { publishCard(false); });
    connect(&link, &link::CardLink::portReopened, this, [this] { publishCard(false); });
}

Publisher::~Publisher()
{
    stop();
}

void Publisher::configure(
    const PublishSettings &settings, const QString &password, const ConnectionParams &timing)
{
    stop();
    m_settings = settings;
    m_prefix = settings.prefix();
    m_queue.clear();
    m_inFlight.clear();
    if (!settings.enabled)
        return;
    ConnectionParams params = timing;
    params.host = settings.host;
    params.port = settings.port;
    params.clientId = settings.clientId;
    params.username = settings.username;
    params.password = password;
    params.caFile = settings.caFile;
    params.certFile = settings.certFile;
    params.keyFile = settings.keyFile;
    params.keepalive = settings.keepalive;
    params.statusTopic = topic(QStringLiteral("status"));
    if (settings.commands)
        params.subscribeTopic = topic(QStringLiteral("do/set"));
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
}

QString Publisher::statusTip() const
{
    QString tip = m_settings.brokerName() + QStringLiteral(": ")
        + (m_connected ? QStringLiteral("connected") : m_reason);
    tip += QStringLiteral("\nMessages dropped: %1").arg(m_dropped);
    tip += QStringLiteral("\nCommands refused: %1").arg(m_refused);
    if (!m_refusedKinds.isEmpty())
        tip += QStringLiteral(" (%1)").arg(m_refusedKinds.join(QStringLiteral(", ")));
    return tip;
}

void Publisher::tick()
{
    if (!m_settings.enabled)
        return;
    publishCard(false);
    if (m_analogPending && !m_everyFrame)
        publishAnalog();
    if (m_digitalPending)
        publishDigital();
}

void Publisher::publishAnalog()
{
    m_analogPending = false;
    QByteArray json = "{\"time\":\"" + jsonTime(m_analogTime)
        + "\",\"ambient\":" + jsonNumber(m_state.ambientTemp) + ",\"channels\":[";
    for (int c = 0; c < core::ChannelCount; ++c) {
        QByteArray error = "null";
        for (const link::ChannelFailure &failure : m_failures)
            if (failure.channel == c)
                error = jsonString(link::describe(failure.error));
        const float value = m_state.channelValues[std::size_t(c)];
        json += (c ? "," : "") + QByteArray("{\"value\":") + jsonNumber(value) + ",\"type\":"
            + QByteArray::number(m_state.inputType[std::size_t(c)]) + ",\"error\":" + error + '}';
    }
    send(QStringLiteral("analog"), json + "]}", false);
    for (int c = 0; c < core::ChannelCount; ++c) {
        const QString value = publishedNumber(m_state.channelValues[std::size_t(c)]);
        if (!value.isEmpty())
            send(QStringLiteral("channel/%1").arg(c), value.toLatin1(), true);
    }
}

void Publisher::publishDigital()
{
    m_digitalPending = false;
    send(QStringLiteral("digital"),
        "{\"time\":\"" + jsonTime(m_digitalTime)
            + "\",\"inputs\":" + QByteArray::number(lineWord(m_state.diStates))
            + ",\"outputs\":" + QByteArray::number(lineWord(m_state.doStates)) + ",\"in\":"
            + lineArray(m_state.diStates) + ",\"out\":" + lineArray(m_state.doStates) + '}',
        false);
}

void Publisher::publishCard(bool always)
{
    if (!m_settings.enabled)
        return;
    const QString text = cardText(m_state);
    if (!always && text == m_cardPublished)
        return;
    m_cardPublished = text;
    send(QStringLiteral("card"), text.toUtf8(), true);
}

QString Publisher::topic(const QString &subtopic) const
{
    return m_prefix + u'/' + subtopic;
}

void Publisher::send(const QString &subtopic, const QByteArray &payload, bool retain)
{
    if (m_settings.qos == 0) {
        if (m_connected && m_connection->publish(topic(subtopic), payload, 0, retain))
            ++m_sent;
        else
            ++m_dropped;
        return;
    }
    if (m_queue.size() == QueueLimit) {
        m_queue.pop_front();
        ++m_dropped;
    }
    m_queue.push_back({topic(subtopic), payload, retain});
    pump();
}

void Publisher::pump()
{
    while (m_connected && !m_queue.empty() && int(m_inFlight.size()) < InFlightLimit) {
        const Message &message = m_queue.front();
        int mid = 0;
        if (!m_connection->publish(message.topic, message.payload, 1, message.retain, &mid))
            return; // the connection went; the disconnect signal is on its way
        m_inFlight.insert(mid);
        m_queue.pop_front();
        ++m_sent;
    }
}

void Publisher::onConnected()
{
    m_connected = true;
    m_reason.clear();
    emit connectionChanged(true, QString());
    // The broker may have restarted without its retained messages.
    publishCard(true);
    pump();
}

void Publisher::onDisconnected(const QString &reason)
{
    const bool changed = m_connected || reason != m_reason;
    m_connected = false;
    m_reason = reason;
    // What libmosquitto holds it sends again after reconnecting, or never: either way
    // it is out of our hands, and the window must not stay shut.
    m_inFlight.clear();
    if (changed)
        emit connectionChanged(false, reason);
}

void Publisher::onDelivered(int mid)
{
    if (m_inFlight.erase(mid))
        pump();
}

void Publisher::onCommand(const QString &topicName, const QByteArray &payload, bool retained)
{
    if (!m_settings.commands || topicName != topic(QStringLiteral("do/set")))
        return;
    // A retained command would fire again at every reconnect.
    if (retained)
        return refuse(QStringLiteral("retained message"));
    const QJsonObject command = QJsonDocument::fromJson(payload).object();
    const QJsonValue line = command.value(QStringLiteral("line"));
    const QJsonValue state = command.value(QStringLiteral("state"));
    const double n = line.toDouble(-1);
    if (!line.isDouble() || !state.isBool() || n != std::floor(n) || n < 0 || n >= core::LineCount)
        return refuse(QStringLiteral("malformed message"));
    if (m_state.cardConnected != core::True)
        return refuse(QStringLiteral("card not connected"));
    const auto k = std::size_t(n);
    if (m_state.dioDirection[k] != core::True)
        return refuse(QStringLiteral("line configured as an input"));
    if ((m_state.doCommand[k] == core::True) != state.toBool())
        m_link.digitalOutput(int(k));
}

void Publisher::refuse(const QString &kind)
{
    ++m_refused;
    if (m_refusedKinds.contains(kind))
        return;
    m_refusedKinds.append(kind);
    emit commandRefused(kind);
}

} // namespace tarv::publish
