#pragma once

#include "acquisition/output.h"
#include "alarms/alarmevaluator.h"
#include "alarms/alarmrules.h"

#include <vector>

namespace tarv::alarms {

// Limit alarms as one of the session's outputs: every rule evaluated on every analog
// frame and every tick, in the session, never behind a window or the broker. Lines a
// rule names are the rules': while the task runs each is set to its active state when
// any of its rules is set, else to the other; the safe state is written when the task
// stops, when the session stops, and once on reconnect before any rule acts again.
// Without rules the outputs are the operator's, as they always were.
class AlarmOutput final : public acquisition::Output
{
public:
    explicit AlarmOutput(acquisition::OutputHost &host)
        : m_host(host)
    { }

    const AlarmSettings &settings() const { return m_settings; }

    void start(const core::IniFile &ini, QStringList &problems) override;
    void analogFrame() override { evaluate(); }
    void tick() override { evaluate(); }
    void cardChanged() override;
    void taskChanged(bool running) override;
    void stop() override { writeSafeState(); }
    std::optional<acquisition::OutputStatus> status() const override;
    std::vector<acquisition::Metric> metrics() const override;

private:
    void evaluate();
    void driveLines();
    void writeSafeState();
    void tell(std::size_t rule);

    acquisition::OutputHost &m_host;
    AlarmSettings m_settings;
    std::vector<AlarmEvaluator> m_evaluators; // one per rule
    bool m_cardAway = true; // no card since the last safe state
};

} // namespace tarv::alarms
