#pragma once

#include "core/acquisitionstate.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tarv::core {
class IniFile;
}

namespace tarv::alarms {

inline constexpr int MaxRules = 32;

// One limit alarm, [alarm.N] in tarvane.ini. A high alarm sets when the value rises
// above `high` and clears when it falls below high - deadband; a low one mirrors it.
// The condition must hold on_delay seconds before the alarm sets, and its end
// off_delay seconds before it clears. The key names are an interface.
struct AlarmRule
{
    enum class OnBad { Set, Clear, Hold }; // what a bad value does

    int number = 0; // N
    QString name;
    int channel = 0;
    std::optional<double> high;
    std::optional<double> low;
    double deadband = 0;
    double onDelay = 0; // seconds
    double offDelay = 0;
    OnBad onBad = OnBad::Set; // a value known to be bad reads as the alarm's condition
    std::optional<int> output; // the line it drives
    bool activeState = true; // the line's state while the alarm is set

    friend bool operator==(const AlarmRule &, const AlarmRule &) = default;
};

struct AlarmSettings
{
    std::vector<AlarmRule> rules; // by number
    // [outputs] safe_state: bit k is line k's state when the task stops, the program
    // stops, and on reconnect before any rule acts again; for the alarms' lines only.
    quint16 safeState = 0;
};

// The rules of tarvane.ini. A value that cannot be used falls back and is a problem;
// a rule that cannot work at all (no channel, no limit, an input line as its output,
// a line shared with another active state) is refused whole, with the reason.
AlarmSettings readAlarmSettings(
    const core::IniFile &ini, const core::AcquisitionState &state, QStringList &problems);

// Writes the [alarm.N] groups and the safe state, replacing the ones there and
// keeping every other group; false with the reason when it cannot be written.
bool writeAlarmSettings(const QString &dir, const AlarmSettings &settings, QString *error);

QString onBadText(AlarmRule::OnBad onBad);

} // namespace tarv::alarms
