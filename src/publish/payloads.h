#pragma once

#include "core/acquisitionstate.h"
#include "link/conversionerror.h"

#include <QByteArray>
#include <QDateTime>

namespace tarv::publish {

// What goes on each topic, as pure functions of the shared state, so every payload
// can be checked without a broker. Numbers are in core::numberText's form; JSON
// has no text for a value that is not a finite number, so such a value is null.

// <prefix>/analog: the frame's arrival (UTC, milliseconds), the ambient
// temperature, and per channel its value, input type and conversion fault.
QByteArray analogPayload(const core::AcquisitionState &state, const QDateTime &arrived,
    const link::ChannelFailures &failures);

// <prefix>/channel/<n>: the value alone; empty when it is not a finite number
// (nothing is published then).
QByteArray channelPayload(const core::AcquisitionState &state, int channel);

// <prefix>/digital: both 16-bit words and both lines as arrays, entry n line n.
QByteArray digitalPayload(const core::AcquisitionState &state, const QDateTime &arrived);

// <prefix>/card: "connected", "disconnected" or "port lost".
QByteArray cardPayload(const core::AcquisitionState &state);

} // namespace tarv::publish
