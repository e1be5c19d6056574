#pragma once

#include "core/acquisitionstate.h"

#include <QString>

namespace tarv::link {

enum class DecodeOutcome {
    Accepted,
    WrongLength, // not a frame of this kind: nothing changed
    CountOutOfRange, // a count field beyond -32768..32767: frame dropped whole
    AmbientOutOfRange, // the ambient field does not fit a single: frame dropped whole
    NotHexadecimal, // a digital word with a non-hex digit: frame dropped whole
};

QString describe(DecodeOutcome outcome);

// Analog frame (62 characters with the CR): eight fields of six characters at
// positions 1, 8, ..., 50 (sign and five digits, each followed by ","), then the
// ambient temperature in positions 57..61 ("." decimal), then CR. Writes rawCounts
// 0..7 and ambientTemp only when every field is usable.
DecodeOutcome DecodeAnalogFrame(core::AcquisitionState &state);

// Digital frame (9 characters with the CR): input word in 1..4, output word in 5..8,
// four hex digits each, most significant first; bit n is line n. Writes diStates and
// doStates 0..15 only when all eight digits are hexadecimal.
DecodeOutcome DecodeDigitalFrame(core::AcquisitionState &state);

} // namespace tarv::link
