#pragma once

#include "logging/logsplit.h"

#include <QStringList>

namespace tarv::core {
class IniGroup;
}

namespace tarv::logging {

// tarvane.ini's [log] group: what the written logging settings do not cover. Each
// is off by default, and off the log is byte for byte as it always was.
struct LogOptions
{
    bool markBad = false; // a bad value as an empty field
    bool alarmColumn = false; // a last column "Alarms" naming the active alarms
    Split split = Split::None;
    int keepDays = 0; // split files kept, by the date in their names; 0 keeps all
};

// A value that cannot be used falls back to its default and adds a problem.
LogOptions readLogOptions(const core::IniGroup &group, QStringList &problems);

} // namespace tarv::logging
