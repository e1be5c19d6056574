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
// temperature, and per channel its value, input type, conversion fault, quality and
// the reason for it (null when good).
QByteArray analogPayload(const core::AcquisitionState &state, const QDateTime &arrived,
    const link::ChannelFailures &failures);

// <prefix>/channel/<n>: the value alone; empty when it is not a finite number or its
// quality is bad (nothing is published then: a dashboard keeps showing the quality,
// not a fake number).
QByteArray channelPayload(const core::AcquisitionState &state, int channel);

// <prefix>/channel/<n>/quality: {"quality": "bad", "reason": "sensor fault high"}.
QByteArray qualityPayload(const core::AcquisitionState &state, int channel);

// <prefix>/digital: both 16-bit words and both lines as arrays, entry n line n.
QByteArray digitalPayload(const core::AcquisitionState &state, const QDateTime &arrived);

// <prefix>/alarm/<n>: {"name", "channel", "active", "since", "value", "quality",
// "reason", "output"}: since (UTC, null before the first change), the channel's value
// and quality when it last changed, and the line it drives ("on", "off", "unknown"
// while the card is away, null for none).
QByteArray alarmPayload(const core::AcquisitionState &state, const core::AlarmStatus &alarm);
// <prefix>/alarms: the set ones, [{"number": 1, "name": "Oven high"}, ...].
QByteArray activeAlarmsPayload(const core::AcquisitionState &state);

// <prefix>/card: "connected", "disconnected" or "port lost".
QByteArray cardPayload(const core::AcquisitionState &state);

} // namespace tarv::publish
