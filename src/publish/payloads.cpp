#include "publish/payloads.h"

#include "core/numberformat.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace tarv::publish {

namespace {

QByteArray jsonTime(const QDateTime &time)
{
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ")).toLatin1();
}

QByteArray jsonNumber(float value)
{
    const QByteArray text = core::numberText(value);
    return text.isEmpty() ? QByteArrayLiteral("null") : text;
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

// "quality":"bad","reason":"sensor fault high", without the braces.
QByteArray qualityFields(const core::ChannelQuality &quality)
{
    const QString reason = core::reasonText(quality.reason);
    return "\"quality\":\"" + core::qualityText(quality.level).toLatin1()
        + "\",\"reason\":" + (reason.isEmpty() ? QByteArrayLiteral("null") : jsonString(reason));
}

QByteArray lineArray(const core::WideArray<core::Flag> &lines)
{
    QByteArray text = "[";
    for (int k = 0; k < core::LineCount; ++k)
        text += (k ? "," : "") + QByteArray(lines[std::size_t(k)] == core::True ? "true" : "false");
    return text + ']';
}

} // namespace

QByteArray analogPayload(const core::AcquisitionState &state, const QDateTime &arrived,
    const link::ChannelFailures &failures)
{
    QByteArray json = "{\"time\":\"" + jsonTime(arrived)
        + "\",\"ambient\":" + jsonNumber(state.ambientTemp) + ",\"channels\":[";
    for (int c = 0; c < core::ChannelCount; ++c) {
        QByteArray error = "null";
        for (const link::ChannelFailure &failure : failures)
            if (failure.channel == c)
                error = jsonString(link::describe(failure.error));
        json += (c ? "," : "") + QByteArray("{\"value\":")
            + jsonNumber(state.channelValues[std::size_t(c)]) + ",\"type\":"
            + QByteArray::number(state.inputType[std::size_t(c)]) + ",\"error\":" + error + ','
            + qualityFields(state.channelQuality[std::size_t(c)]) + '}';
    }
    return json + "]}";
}

QByteArray channelPayload(const core::AcquisitionState &state, int channel)
{
    if (state.channelQuality[std::size_t(channel)].level == core::Quality::Bad)
        return {};
    return core::numberText(state.channelValues[std::size_t(channel)]);
}

QByteArray qualityPayload(const core::AcquisitionState &state, int channel)
{
    return '{' + qualityFields(state.channelQuality[std::size_t(channel)]) + '}';
}

QByteArray digitalPayload(const core::AcquisitionState &state, const QDateTime &arrived)
{
    return "{\"time\":\"" + jsonTime(arrived)
        + "\",\"inputs\":" + QByteArray::number(lineWord(state.diStates))
        + ",\"outputs\":" + QByteArray::number(lineWord(state.doStates))
        + ",\"in\":" + lineArray(state.diStates) + ",\"out\":" + lineArray(state.doStates) + '}';
}

QByteArray alarmPayload(const core::AcquisitionState &state, const core::AlarmStatus &alarm)
{
    QByteArray output = "null";
    if (alarm.output >= 0 && state.cardConnected != core::True)
        output = "\"unknown\"";
    else if (alarm.output >= 0)
        output = state.doCommand[std::size_t(alarm.output)] == core::True ? "\"on\"" : "\"off\"";
    return "{\"name\":" + jsonString(alarm.name)
        + ",\"channel\":" + QByteArray::number(alarm.channel)
        + ",\"active\":" + (alarm.active ? "true" : "false") + ",\"since\":"
        + (alarm.since ? '"' + jsonTime(QDateTime::fromMSecsSinceEpoch(alarm.since, Qt::UTC)) + '"'
                       : QByteArrayLiteral("null"))
        + ",\"value\":" + jsonNumber(alarm.value) + ',' + qualityFields(alarm.quality)
        + ",\"output\":" + output + '}';
}

QByteArray activeAlarmsPayload(const core::AcquisitionState &state)
{
    QByteArray json = "[";
    for (const core::AlarmStatus &alarm : state.alarms)
        if (alarm.active)
            json += (json.size() > 1 ? "," : "") + QByteArray("{\"number\":")
                + QByteArray::number(alarm.number) + ",\"name\":" + jsonString(alarm.name) + '}';
    return json + ']';
}

QByteArray cardPayload(const core::AcquisitionState &state)
{
    if (state.portLost == core::True)
        return QByteArrayLiteral("port lost");
    return state.cardConnected == core::True ? QByteArrayLiteral("connected")
                                             : QByteArrayLiteral("disconnected");
}

} // namespace tarv::publish
