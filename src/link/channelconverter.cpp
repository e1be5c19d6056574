#include "link/channelconverter.h"

#include "core/numeric.h"
#include "link/linearisation.h"

#include <cmath>
#include <limits>

namespace tarv::link {

namespace {

using core::AcquisitionState;
using core::Integer;

// What one channel's conversion produced: a value to store (possibly with an
// error to report as well), or only an error (the channel keeps its value).
struct ChannelOutcome
{
    std::optional<double> store;
    std::optional<ConversionError> error;
};

ChannelOutcome failure(ConversionError e)
{
    return {std::nullopt, e};
}

// Types 0..3: a linear scale through a zero and a span count. The final division
// is the one place where the quotient is stored even when it went infinite or NaN
// (the channel then reads inf/NaN and the error is reported).
ChannelOutcome linearScale(Integer raw, Integer zero, Integer span, double range, bool liveZero)
{
    const auto aboveZero = core::subtractInteger(raw, zero);
    const auto spanCounts = core::subtractInteger(span, zero);
    if (!aboveZero || !spanCounts)
        return failure(ConversionError::Overflow);

    double numerator;
    double denominator;
    if (liveZero) {
        // 4-20 mA: 20 % of the span is the live zero, the other 80 % is the range.
        numerator = (double(*aboveZero) - double(*spanCounts) * 0.2) * range;
        denominator = double(*spanCounts) * 0.8;
    } else {
        numerator = double(*aboveZero) * range;
        denominator = double(*spanCounts);
    }
    if (!std::isfinite(numerator))
        return failure(ConversionError::Overflow);

    const double quotient = numerator / denominator;
    if (denominator == 0)
        return {quotient, ConversionError::DivisionByZero};
    if (!std::isfinite(quotient))
        return {quotient, ConversionError::Overflow};
    return {quotient, std::nullopt};
}

ChannelOutcome thermocouple(const AcquisitionState &s, int c, Integer tcType)
{
    const auto aboveZero = core::subtractInteger(s.rawCounts[c], s.zero200mV[c]);
    const auto spanCounts = core::subtractInteger(s.span200mV[c], s.zero200mV[c]);
    if (!aboveZero || !spanCounts)
        return failure(ConversionError::Overflow);
    if (*spanCounts == 0)
        return failure(ConversionError::DivisionByZero);
    const double mvPerCount = 200.0 / double(*spanCounts);
    const SolveResult r = ThermocoupleTemperature(*aboveZero, tcType, mvPerCount, s);
    if (r.error)
        return failure(*r.error);
    return {r.value, std::nullopt};
}

ChannelOutcome convertOne(const AcquisitionState &s, int c)
{
    const Integer raw = s.rawCounts[c];
    const double range = s.inputRange[c];
    switch (s.inputType[c]) {
    case 0:
        return linearScale(raw, s.zero10V[c], s.span10V[c], range, false);
    case 1:
    case 3:
        return linearScale(raw, s.zero200mV[c], s.span200mV[c], range, false);
    case 2:
        return linearScale(raw, s.zero200mV[c], s.span200mV[c], range, true);
    case 4: {
        const SolveResult r = SolvePt100(raw, s.rtdCal[c]);
        if (r.error)
            return failure(*r.error);
        return {r.value, std::nullopt};
    }
    case 5:
        return thermocouple(s, c, 0);
    case 6:
        return thermocouple(s, c, 1);
    default:
        return {double(raw), std::nullopt};
    }
}

} // namespace

ChannelFailures ConvertChannels(AcquisitionState &state)
{
    ChannelFailures failures;
    for (int c = 0; c < core::ChannelCount; ++c) {
        ChannelOutcome outcome = convertOne(state, c);
        if (outcome.store) {
            const double v = *outcome.store;
            // A finite value beyond the single range cannot be stored.
            if (std::isfinite(v) && std::fabs(v) > std::numeric_limits<float>::max()) {
                if (!outcome.error)
                    outcome.error = ConversionError::Overflow;
            } else {
                state.channelValues[c] = static_cast<core::Single>(v);
            }
        }
        if (outcome.error)
            failures.push_back({c, *outcome.error});
    }
    return failures;
}

} // namespace tarv::link
