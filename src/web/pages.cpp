#include "web/pages.h"

#include "core/numberformat.h"
#include "history/trendmemory.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace tarv::web {

namespace {

using acquisition::Metric;

// A float as the double with its shortest digits, so JSON and the text format show
// 12.7 and not 12.699999809265137.
QJsonValue number(float value)
{
    if (!std::isfinite(value))
        return QJsonValue::Null;
    return core::numberText(value).toDouble();
}

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QByteArray escaped(const QString &text, bool quotes)
{
    QByteArray out = text.toUtf8();
    out.replace('\\', "\\\\").replace('\n', "\\n");
    return quotes ? out.replace('"', "\\\"") : out;
}

QByteArray sampleValue(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    return core::numberText(value);
}

QJsonArray secondValues(const history::TrendMemory::Second &second)
{
    QJsonArray values;
    for (float v : second.values)
        values.append(number(v));
    return values;
}

} // namespace

std::vector<Metric> stateMetrics(const core::AcquisitionState &state)
{
    const QString gauge = QStringLiteral("gauge");
    std::vector<Metric> all;
    for (int c = 0; c < core::ChannelCount; ++c) {
        const auto i = std::size_t(c);
        const QList<std::pair<QString, QString>> labels {
            {"channel", QString::number(c)}, {"name", state.channelNames[i]}};
        const float value = state.channelValues[i];
        if (state.channelQuality[i].level != core::Quality::Bad && std::isfinite(value))
            all.push_back({"tarvane_channel_value",
                "The channel's value in its unit, absent while its quality is bad", gauge, labels,
                number(value).toDouble()});
        all.push_back({"tarvane_channel_quality", "0 good, 1 uncertain, 2 bad", gauge, labels,
            double(state.channelQuality[i].level)});
    }
    all.push_back({"tarvane_card_connected", "1 while the card answers", gauge, {},
        state.cardConnected == core::True ? 1.0 : 0.0});
    return all;
}

QByteArray metricsText(const std::vector<Metric> &metrics)
{
    QByteArray out;
    std::vector<bool> written(metrics.size(), false);
    for (std::size_t i = 0; i < metrics.size(); ++i) {
        if (written[i])
            continue;
        const QByteArray name = metrics[i].name.toUtf8();
        out += "# HELP " + name + ' ' + escaped(metrics[i].help, false) + '\n';
        out += "# TYPE " + name + ' ' + metrics[i].type.toUtf8() + '\n';
        for (std::size_t j = i; j < metrics.size(); ++j) {
            if (written[j] || metrics[j].name != metrics[i].name)
                continue;
            written[j] = true;
            out += name;
            for (qsizetype k = 0; k < metrics[j].labels.size(); ++k)
                out += (k ? ',' : '{') + metrics[j].labels[k].first.toUtf8() + "=\""
                    + escaped(metrics[j].labels[k].second, true) + '"';
            out += QByteArray(metrics[j].labels.isEmpty() ? "" : "}") + ' '
                + sampleValue(metrics[j].value) + '\n';
        }
    }
    return out;
}

QByteArray liveMessage(
    const core::AcquisitionState &state, const history::TrendMemory *history, qint64 frame)
{
    const auto flag = [](core::Flag f) { return f == core::True; };
    QJsonObject card {{"connected", flag(state.cardConnected)}, {"opened", flag(state.portOpened)},
        {"lost", flag(state.portLost)}, {"failure", state.portFailure},
        {"task", flag(state.taskRunning)}, {"version", state.cardVersion.trimmed()},
        {"port", state.comPort}};
    QJsonArray channels;
    for (int c = 0; c < core::ChannelCount; ++c) {
        const auto i = std::size_t(c);
        const int type = state.inputType[i];
        const core::ChannelQuality &q = state.channelQuality[i];
        channels.append(QJsonObject {{"name", state.channelNames[i]},
            {"type",
                type >= 0 && type < core::InputTypeCount ? core::inputTypeCaptions()[type]
                                                         : QString()},
            {"text", core::formatForInputType(state.channelValues[i], type)},
            {"value", number(state.channelValues[i])}, {"quality", core::qualityText(q.level)},
            {"reason", textOrNull(core::reasonText(q.reason))},
            {"plot", flag(state.plotEnable[i])}});
    }
    QJsonArray lines;
    for (std::size_t k = 0; k < core::LineCount; ++k) {
        const bool output = flag(state.dioDirection[k]);
        lines.append(QJsonObject {
            {"output", output}, {"on", flag(output ? state.doStates[k] : state.diStates[k])}});
    }
    QJsonArray alarms;
    for (const core::AlarmStatus &a : state.alarms)
        if (a.active)
            alarms.append(
                QJsonObject {{"name", a.name}, {"channel", a.channel}, {"since", double(a.since)}});
    QJsonValue second = QJsonValue::Null;
    if (history && history->newest() >= 0) {
        const history::TrendMemory::Second &s = history->at(history->newest());
        second = QJsonObject {{"t", double(s.msecs)}, {"v", secondValues(s)}};
    }
    return QJsonDocument(
        QJsonObject {{"frame", frame ? QJsonValue(double(frame)) : QJsonValue()}, {"card", card},
            {"channels", channels}, {"lines", lines}, {"rules", int(state.alarms.size())},
            {"alarms", alarms}, {"second", second}})
        .toJson(QJsonDocument::Compact);
}

QByteArray historyJson(const history::TrendMemory *history, int seconds)
{
    seconds = std::clamp(seconds, 60, int(history::TrendMemory::Capacity));
    const int step = (seconds + MaxTrendPoints - 1) / MaxTrendPoints;
    QJsonArray times;
    QJsonArray values;
    if (history && history->newest() >= 0) {
        // Whole steps counted from the first second kept, so later pages of the same
        // span pick the same seconds.
        qint64 first = std::max(history->oldest(), history->newest() - seconds + 1);
        first += (step - first % step) % step;
        for (qint64 s = first; s <= history->newest(); s += step) {
            times.append(double(history->at(s).msecs));
            values.append(secondValues(history->at(s)));
        }
    }
    return QJsonDocument(QJsonObject {{"step", step}, {"t", times}, {"v", values}})
        .toJson(QJsonDocument::Compact);
}

} // namespace tarv::web
