#include "publish/discovery.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tarv::publish {

namespace {

// The unit and device class of a channel's value by its input type.
std::pair<QString, QString> unitOf(int inputType)
{
    switch (inputType) {
    case 0:
        return {QStringLiteral("V"), QStringLiteral("voltage")};
    case 1:
    case 2:
        return {QStringLiteral("mA"), QStringLiteral("current")};
    case 3:
        return {QStringLiteral("mV"), QStringLiteral("voltage")};
    case 4:
    case 5:
    case 6:
        return {QStringLiteral("°C"), QStringLiteral("temperature")};
    default:
        return {};
    }
}

struct Entities
{
    explicit Entities(const PublishSettings &s)
        : settings(s)
    { }

    const PublishSettings &settings;
    const QString node = discoveryNode(settings);
    const QString prefix = settings.prefix();
    QJsonObject device;
    QJsonObject origin;
    std::map<QString, QByteArray> configs;

    // The parts every entity shares: its ids, the rig as its device, and the rig's
    // status as (the first) availability.
    QJsonObject entity(const QString &objectId, const QString &name) const
    {
        return {{"name", name}, {"unique_id", node + u'_' + objectId}, {"device", device},
            {"origin", origin},
            {"availability", QJsonArray {QJsonObject {{"topic", prefix + "/status"}}}}};
    }
    void add(const QString &component, const QString &objectId, const QJsonObject &config)
    {
        configs[settings.discoveryPrefix + u'/' + component + u'/' + node + u'/' + objectId
            + QStringLiteral("/config")]
            = QJsonDocument(config).toJson(QJsonDocument::Compact);
    }
    // A line's state out of the digital topic's array.
    static QString lineTemplate(const char *array, int line)
    {
        return QStringLiteral("{{ 'ON' if value_json.%1[%2] else 'OFF' }}").arg(array).arg(line);
    }
};

} // namespace

QString discoveryNode(const PublishSettings &settings)
{
    QString node = settings.rig();
    for (QChar &c : node)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != u'_' && c != u'-')
            c = u'_';
    return node;
}

QString discoveryFilter(const PublishSettings &settings)
{
    return settings.discoveryPrefix + QStringLiteral("/+/") + discoveryNode(settings)
        + QStringLiteral("/+/config");
}

bool isOwnConfig(const PublishSettings &settings, const QString &topic)
{
    const QStringList levels = topic.mid(settings.discoveryPrefix.size() + 1).split(u'/');
    return topic.startsWith(settings.discoveryPrefix + u'/') && levels.size() == 4
        && levels[1] == discoveryNode(settings) && levels[3] == u"config";
}

std::map<QString, QByteArray> discoveryConfigs(
    const PublishSettings &settings, const core::AcquisitionState &state, const QString &version)
{
    Entities e(settings);
    e.device = {{"identifiers", QJsonArray {settings.client()}}, {"name", settings.rig()},
        {"model", "Tarvane 2020"}, {"sw_version", version}};
    e.origin = {{"name", "Tarvane 2020"}, {"sw_version", version}};
    for (int c = 0; c < core::ChannelCount; ++c) {
        if (!settings.channels[std::size_t(c)])
            continue;
        const QString channel = e.prefix + QStringLiteral("/channel/%1").arg(c);
        QJsonObject config = e.entity(QStringLiteral("ch%1").arg(c), state.channelNames[c]);
        config["state_topic"] = channel;
        config["state_class"] = "measurement";
        const auto [unit, deviceClass] = unitOf(state.inputType[c]);
        if (!unit.isEmpty()) {
            config["unit_of_measurement"] = unit;
            config["device_class"] = deviceClass;
        }
        // Available while the rig is online and the value is not known to be bad.
        QJsonArray availability = config["availability"].toArray();
        availability.append(QJsonObject {{"topic", channel + "/quality"},
            {"value_template", "{{ 'offline' if value_json.quality == 'bad' else 'online' }}"}});
        config["availability"] = availability;
        config["availability_mode"] = "all";
        config["json_attributes_topic"] = channel + "/quality";
        e.add(QStringLiteral("sensor"), QStringLiteral("ch%1").arg(c), config);
    }
    for (int line = 0; line < core::LineCount; ++line) {
        const bool output = state.dioDirection[std::size_t(line)] == core::True;
        if (output && !settings.commands)
            continue;
        const QString id = (output ? QStringLiteral("do%1") : QStringLiteral("di%1")).arg(line);
        QJsonObject config = e.entity(
            id, (output ? QStringLiteral("Output D%1") : QStringLiteral("Input D%1")).arg(line));
        config["state_topic"] = e.prefix + "/digital";
        config["value_template"] = Entities::lineTemplate(output ? "out" : "in", line);
        if (output) {
            config["command_topic"] = e.prefix + "/do/set";
            config["command_template"] = QStringLiteral(
                "{\"line\": %1, \"state\": {{ 'true' if value == 'ON' else 'false' }}}")
                                             .arg(line);
        }
        e.add(output ? QStringLiteral("switch") : QStringLiteral("binary_sensor"), id, config);
    }
    for (const core::AlarmStatus &alarm : state.alarms) {
        const QString id = QStringLiteral("alarm%1").arg(alarm.number);
        QJsonObject config = e.entity(id, alarm.name);
        config["device_class"] = "problem";
        config["state_topic"] = e.prefix + QStringLiteral("/alarm/%1").arg(alarm.number);
        config["value_template"] = "{{ 'ON' if value_json.active else 'OFF' }}";
        e.add(QStringLiteral("binary_sensor"), id, config);
    }
    return std::move(e.configs);
}

} // namespace tarv::publish
