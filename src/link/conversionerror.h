#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace tarv::link {

// The run-time faults a channel's conversion can meet.
enum class ConversionError {
    DivisionByZero, // a span equal to its zero, or an RTD count of 0
    Overflow, // a 16-bit difference or rounding out of range, a float overflow
    SubscriptOutOfRange, // cold junction outside the thermocouple table
    InvalidOperation, // a floating operation without a defined result
};

// The description shown to the operator, e.g. "Division by zero".
QString describe(ConversionError error);

// A temperature solver's answer: a value, or the fault that stopped it.
struct SolveResult
{
    double value = 0.0;
    std::optional<ConversionError> error;

    static SolveResult ok(double v) { return {v, std::nullopt}; }
    static SolveResult fail(ConversionError e) { return {0.0, e}; }
};

struct ChannelFailure
{
    int channel = 0;
    ConversionError error = ConversionError::Overflow;

    // The description immediately followed by the channel number ("Division by zero0").
    QString text() const;
    friend bool operator==(const ChannelFailure &, const ChannelFailure &) = default;
};

using ChannelFailures = std::vector<ChannelFailure>;

} // namespace tarv::link
