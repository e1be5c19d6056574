#pragma once

#include "core/acquisitionstate.h"
#include "link/conversionerror.h"

#include <optional>

namespace tarv::link {

// The quality of channel c's value as the last conversion left it, from the same
// counts, calibration and tables; `failed` says its conversion failed this frame.
//   all types   zero count = span count (PT-100: a zero rtdCal): bad, not calibrated;
//               a failed conversion or a value that is not a number: bad, conversion
//               fault; the converter at full scale (32767 / -32768): bad, sensor fault
//   4-20 mA     on the loop current the counts stand for, 20 mA at the span (NE 43):
//               < 3.6 bad, 3.6-3.8 uncertain (sensor fault low), 3.8-4.0 uncertain
//               (under range), 4.0-20.5 good, 20.5-21.0 uncertain (over range),
//               > 21.0 bad (sensor fault high)
//   +-10 V      beyond -+ the range by more than 2 %: uncertain
//   0-20 mA, 0-200 mV   below 0 or above the range by more than 2 % of it: uncertain
//   PT-100, T/C beyond the solver's grid or the table (where it clamps): bad; within
//               its first or last degree: uncertain
core::ChannelQuality assessChannel(const core::AcquisitionState &state, int c, bool failed);
// The same with the cold junction's whole degree worked out once for all channels.
core::ChannelQuality assessChannel(const core::AcquisitionState &state, int c, bool failed,
    std::optional<core::Integer> coldJunction);

// Every channel's quality after a frame, into channelQuality.
void AssessChannels(core::AcquisitionState &state, const ChannelFailures &failures);

} // namespace tarv::link
