#pragma once

#include "core/acquisitionstate.h"
#include "link/conversionerror.h"

namespace tarv::link {

// Turns rawCounts 0..7 into channelValues 0..7 by each channel's input type and
// calibration. Every channel is converted; a failing channel keeps its previous
// value, except that for types 0..3 a quotient that went infinite or NaN at the
// final division is stored as it is. The failures come back in channel order for
// the caller to show; the core never shows anything.
ChannelFailures ConvertChannels(core::AcquisitionState &state);

} // namespace tarv::link
