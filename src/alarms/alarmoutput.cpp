#include "alarms/alarmoutput.h"

#include "core/clock.h"
#include "core/numberformat.h"

#include <QDateTime>

namespace tarv::alarms {

using acquisition::OutputSource;
using acquisition::Severity;
using acquisition::Topic;

void AlarmOutput::start(const core::IniFile &ini, QStringList &problems)
{
    core::AcquisitionState &state = m_host.state();
    AlarmSettings fresh = readAlarmSettings(ini, state, problems);
    // A rule that stays keeps where it stands, so a reload does not clear a set alarm.
    std::vector<AlarmEvaluator> evaluators(fresh.rules.size());
    for (std::size_t i = 0; i < fresh.rules.size(); ++i)
        for (std::size_t j = 0; j < m_settings.rules.size(); ++j)
            if (m_settings.rules[j] == fresh.rules[i])
                evaluators[i] = m_evaluators[j];
    m_settings = std::move(fresh);
    m_evaluators = std::move(evaluators);

    // A line no rule owns any longer keeps its state; it is the operator's again.
    state.lineOwner.fill({});
    state.alarms.clear();
    for (std::size_t i = 0; i < m_settings.rules.size(); ++i) {
        const AlarmRule &rule = m_settings.rules[i];
        if (rule.output && state.lineOwner[std::size_t(*rule.output)].isEmpty())
            state.lineOwner[std::size_t(*rule.output)] = rule.name;
        core::AlarmStatus status;
        status.number = rule.number;
        status.name = rule.name;
        status.channel = rule.channel;
        status.output = rule.output.value_or(-1);
        status.active = m_evaluators[i].active();
        status.since = m_evaluators[i].since();
        state.alarms.push_back(status);
    }
}

void AlarmOutput::evaluate()
{
    if (m_settings.rules.empty())
        return;
    const core::AcquisitionState &state = m_host.state();
    const qint64 now = m_host.clock().msecsSinceEpoch();
    for (std::size_t i = 0; i < m_settings.rules.size(); ++i) {
        const int c = m_settings.rules[i].channel;
        if (m_evaluators[i].evaluate(
                m_settings.rules[i], state.channelValues[c], state.channelQuality[c], now))
            tell(i);
    }
    driveLines();
}

void AlarmOutput::tell(std::size_t i)
{
    core::AcquisitionState &state = m_host.state();
    const AlarmRule &rule = m_settings.rules[i];
    core::AlarmStatus &status = state.alarms[i];
    status.active = m_evaluators[i].active();
    status.since = m_evaluators[i].since();
    status.value = state.channelValues[rule.channel];
    status.quality = state.channelQuality[rule.channel];
    m_host.report({Topic::Alarm, status.active ? Severity::Warning : Severity::Information,
        QStringLiteral("alarm %1 (%2) %3: channel %4 at %5, %6")
            .arg(rule.number)
            .arg(rule.name, status.active ? QStringLiteral("set") : QStringLiteral("cleared"))
            .arg(rule.channel)
            .arg(QString::fromLatin1(core::numberText(status.value)),
                core::qualityDescription(status.quality))});
}

void AlarmOutput::driveLines()
{
    const core::AcquisitionState &state = m_host.state();
    if (state.taskRunning != core::True)
        return;
    for (int line = 0; line < core::LineCount; ++line) {
        if (state.lineOwner[std::size_t(line)].isEmpty())
            continue;
        std::optional<bool> activeState;
        bool set = false;
        for (std::size_t i = 0; i < m_settings.rules.size(); ++i) {
            if (m_settings.rules[i].output != line)
                continue;
            activeState = m_settings.rules[i].activeState;
            set = set || m_evaluators[i].active();
        }
        if (activeState)
            m_host.setOutput(line, set == *activeState, OutputSource::Alarm);
    }
}

void AlarmOutput::writeSafeState()
{
    const core::AcquisitionState &state = m_host.state();
    bool owned = false;
    for (int line = 0; line < core::LineCount; ++line) {
        if (state.lineOwner[std::size_t(line)].isEmpty())
            continue;
        m_host.setOutput(line, m_settings.safeState & (1u << line), OutputSource::SafeState);
        owned = true;
    }
    // Written whatever the card was last told: it may have been lost on the way.
    if (owned)
        m_host.flushOutputs();
}

void AlarmOutput::cardChanged()
{
    const bool connected = m_host.state().cardConnected == core::True;
    if (!connected) {
        m_cardAway = true; // nothing can be written now
        return;
    }
    if (std::exchange(m_cardAway, false))
        writeSafeState();
}

void AlarmOutput::taskChanged(bool running)
{
    if (!running)
        writeSafeState();
}

std::optional<acquisition::OutputStatus> AlarmOutput::status() const
{
    const core::AcquisitionState &state = m_host.state();
    QStringList active, since;
    for (const core::AlarmStatus &alarm : state.alarms) {
        if (!alarm.active)
            continue;
        active << alarm.name;
        since << QStringLiteral("%1 since %2")
                     .arg(alarm.name,
                         QDateTime::fromMSecsSinceEpoch(alarm.since)
                             .toString(QStringLiteral("dd/MM/yy hh:mm:ss")));
    }
    QString text = QStringLiteral("No Alarm");
    if (!active.isEmpty())
        text = QStringLiteral("Alarm: ") + active.first()
            + (active.size() > 1 ? QStringLiteral(" +%1 more").arg(active.size() - 1) : QString());
    return acquisition::OutputStatus {QStringLiteral("lblAlarm"), text,
        since.isEmpty() ? QStringLiteral("No alarm is set") : since.join(u'\n'),
        !m_settings.rules.empty()};
}

std::vector<acquisition::Metric> AlarmOutput::metrics() const
{
    if (m_settings.rules.empty())
        return {};
    double active = 0;
    for (const core::AlarmStatus &alarm : m_host.state().alarms)
        active += alarm.active;
    return {{"tarvane_alarms_active", "Alarm rules set now", "gauge", {}, active}};
}

} // namespace tarv::alarms
