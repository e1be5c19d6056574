#include "alarms/alarmrules.h"

#include "core/inifile.h"
#include "core/numberformat.h"

#include <QDir>
#include <QSettings>

#include <algorithm>

namespace tarv::alarms {

namespace {

const QString Prefix = QStringLiteral("alarm.");

// The rule of one group, or the reason it is refused.
std::optional<AlarmRule> readRule(const core::IniGroup &group, int number,
    const core::AcquisitionState &state, QStringList &problems, QString &refusal)
{
    AlarmRule rule;
    rule.number = number;
    rule.name = group.text(QStringLiteral("name"), QStringLiteral("Alarm %1").arg(number));
    QStringList fatal;
    rule.channel = group.integer(QStringLiteral("channel"), -1, 0, core::ChannelCount - 1, fatal);
    if (rule.channel < 0) {
        refusal = fatal.isEmpty() ? QStringLiteral("it names no channel (0 to 7)") : fatal.first();
        return std::nullopt;
    }
    rule.high = group.real(QStringLiteral("high"), fatal);
    rule.low = group.real(QStringLiteral("low"), fatal);
    if (!fatal.isEmpty() || (!rule.high && !rule.low)) {
        refusal = fatal.isEmpty() ? QStringLiteral("it has neither high nor low") : fatal.first();
        return std::nullopt;
    }
    if (rule.high && rule.low && *rule.low >= *rule.high) {
        refusal = QStringLiteral("low is not below high");
        return std::nullopt;
    }
    const auto nonNegative = [&](const QString &key) {
        const auto value = group.real(key, problems);
        if (value && *value < 0)
            group.problem(problems, QStringLiteral("%1 is below 0").arg(key));
        return value && *value >= 0 ? *value : 0.0;
    };
    rule.deadband = nonNegative(QStringLiteral("deadband"));
    rule.onDelay = nonNegative(QStringLiteral("on_delay"));
    rule.offDelay = nonNegative(QStringLiteral("off_delay"));
    const QString onBad = group.text(QStringLiteral("on_bad"), QStringLiteral("set")).toLower();
    if (onBad == u"clear")
        rule.onBad = AlarmRule::OnBad::Clear;
    else if (onBad == u"hold")
        rule.onBad = AlarmRule::OnBad::Hold;
    else if (onBad != u"set")
        group.problem(problems, QStringLiteral("on_bad=%1 is not set, clear or hold").arg(onBad));
    rule.activeState = group.flag(QStringLiteral("active_state"), true, problems);
    if (group.contains(QStringLiteral("output"))) {
        const int line = group.integer(QStringLiteral("output"), -1, 0, core::LineCount - 1, fatal);
        if (line < 0) {
            refusal = fatal.first();
            return std::nullopt;
        }
        if (state.dioDirection[std::size_t(line)] != core::True) {
            refusal = QStringLiteral("output %1 is configured as an input").arg(line);
            return std::nullopt;
        }
        rule.output = line;
    }
    return rule;
}

} // namespace

AlarmSettings readAlarmSettings(
    const core::IniFile &ini, const core::AcquisitionState &state, QStringList &problems)
{
    AlarmSettings settings;
    const core::IniGroup outputs
        = ini.group(QStringLiteral("outputs"), QStringLiteral("[outputs] "));
    if (const QString mask = outputs.text(QStringLiteral("safe_state")); !mask.isEmpty()) {
        bool ok = false;
        const uint word = mask.toUInt(&ok, 16);
        if (ok && word <= 0xFFFF && mask.size() <= 4)
            settings.safeState = quint16(word);
        else
            outputs.problem(problems,
                QStringLiteral("safe_state=%1 is not a hexadecimal word (0000 to FFFF)").arg(mask));
    }
    for (const QString &name : ini.groups()) {
        if (!name.startsWith(Prefix))
            continue;
        const QString label = QStringLiteral("[%1] ").arg(name);
        bool ok = false;
        const int number = name.mid(Prefix.size()).toInt(&ok);
        if (!ok || number < 1 || number > MaxRules) {
            problems << label + QStringLiteral("ignored: rules are numbered 1 to %1").arg(MaxRules);
            continue;
        }
        QString refusal;
        const auto rule = readRule(ini.group(name, label), number, state, problems, refusal);
        // Rules on one line must agree on its state while set: any set rule sets it.
        const auto clash
            = std::find_if(settings.rules.begin(), settings.rules.end(), [&](const AlarmRule &r) {
                  return rule && rule->output && r.output == rule->output
                      && r.activeState != rule->activeState;
              });
        if (rule && clash != settings.rules.end())
            refusal = QStringLiteral("output %1 is driven by alarm %2 with another active_state")
                          .arg(*rule->output)
                          .arg(clash->number);
        if (!refusal.isEmpty())
            problems << label + QStringLiteral("refused: ") + refusal;
        else
            settings.rules.push_back(*rule);
    }
    std::ranges::sort(settings.rules, {}, &AlarmRule::number);
    return settings;
}

QString onBadText(AlarmRule::OnBad onBad)
{
    switch (onBad) {
    case AlarmRule::OnBad::Set:
        return QStringLiteral("set");
    case AlarmRule::OnBad::Clear:
        return QStringLiteral("clear");
    case AlarmRule::OnBad::Hold:
        return QStringLiteral("hold");
    }
    return {};
}

bool writeAlarmSettings(const QString &dir, const AlarmSettings &settings, QString *error)
{
    QSettings ini(core::IniFile::pathIn(dir), QSettings::IniFormat);
    for (const QString &group : ini.childGroups())
        if (group.startsWith(Prefix))
            ini.remove(group);
    ini.setValue(QStringLiteral("outputs/safe_state"),
        QString::number(settings.safeState, 16).toUpper().rightJustified(4, u'0'));
    const auto number = [](double value) { return QString::fromLatin1(core::numberText(value)); };
    for (const AlarmRule &rule : settings.rules) {
        ini.beginGroup(Prefix + QString::number(rule.number));
        ini.setValue(QStringLiteral("name"), rule.name);
        ini.setValue(QStringLiteral("channel"), rule.channel);
        if (rule.high)
            ini.setValue(QStringLiteral("high"), number(*rule.high));
        if (rule.low)
            ini.setValue(QStringLiteral("low"), number(*rule.low));
        ini.setValue(QStringLiteral("deadband"), number(rule.deadband));
        ini.setValue(QStringLiteral("on_delay"), number(rule.onDelay));
        ini.setValue(QStringLiteral("off_delay"), number(rule.offDelay));
        ini.setValue(QStringLiteral("on_bad"), onBadText(rule.onBad));
        if (rule.output)
            ini.setValue(QStringLiteral("output"), *rule.output);
        ini.setValue(QStringLiteral("active_state"), rule.activeState ? "on" : "off");
        ini.endGroup();
    }
    return core::finishWriting(ini, error);
}

} // namespace tarv::alarms
