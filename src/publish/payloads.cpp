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

QByteArray cardPayload(const core::AcquisitionState &state)
{
    if (state.portLost == core::True)
        return QByteArrayLiteral("port lost");
    return state.cardConnected == core::True ? QByteArrayLiteral("connected")
                                             : QByteArrayLiteral("disconnected");
}

} // namespace tarv::publish
