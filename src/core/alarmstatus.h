#pragma once

#include "core/quality.h"

#include <QString>

namespace tarv::core {

// Where one alarm rule stands, for everything that shows alarms (the status window,
// the broker, the log, the web page). The rule itself lives with the alarms.
struct AlarmStatus
{
    int number = 0; // N of [alarm.N] in tarvane.ini
    QString name;
    int channel = 0;
    int output = -1; // the line it drives; -1 for none
    bool active = false;
    qint64 since = 0; // when it last set or cleared, milliseconds since the epoch; 0: never
    float value = 0; // the channel's value then
    ChannelQuality quality; // and its quality
};

} // namespace tarv::core
