#pragma once

#include "core/acquisitionstate.h"

#include <QStringView>

#include <optional>

namespace tarv::core {

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double value);

// A real value as a signed 16-bit count: rounded halves-to-even; nothing when the
// result lies outside -32768..32767 or the value is not finite.
std::optional<Integer> toInteger(double value);

// The same for a signed 32-bit value.
std::optional<Long> toLong(double value);

// Difference of two 16-bit counts in 16-bit arithmetic: nothing on overflow.
std::optional<Integer> subtractInteger(Integer a, Integer b);

// Reads the number at the start of a text the way the card's fields and the
// operator's range boxes are read: blanks, tabs and line feeds are ignored
// wherever they stand; then an optional sign, digits, an optional "." fraction and
// an optional exponent ("E" or "e", optional sign, digits). The first character
// that cannot continue the number ends it; no number gives 0. The decimal point is
// always ".", whatever the locale. A number too large for a double gives +-inf.
double leadingNumber(QStringView text);

} // namespace tarv::core
