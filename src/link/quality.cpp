#include "link/quality.h"

#include "core/numeric.h"
#include "link/linearisation.h"

#include <algorithm>
#include <cmath>

namespace tarv::link {

namespace {

using core::ChannelQuality;
using core::Quality;
using core::QualityReason;

constexpr ChannelQuality Good {Quality::Good, QualityReason::None};

constexpr ChannelQuality uncertain(QualityReason reason)
{
    return {Quality::Uncertain, reason};
}

constexpr ChannelQuality bad(QualityReason reason)
{
    return {Quality::Bad, reason};
}

// More than 2 % beyond [low, high] of a range: uncertain.
ChannelQuality linearRange(double value, double low, double high, double range)
{
    const double margin = 0.02 * std::fabs(range);
    if (value > high + margin)
        return uncertain(QualityReason::OverRange);
    if (value < low - margin)
        return uncertain(QualityReason::UnderRange);
    return Good;
}

// NE 43 bands of a 4-20 mA loop.
ChannelQuality loopCurrent(double mA)
{
    if (mA < 3.6)
        return bad(QualityReason::SensorFaultLow);
    if (mA < 3.8)
        return uncertain(QualityReason::SensorFaultLow);
    if (mA < 4.0)
        return uncertain(QualityReason::UnderRange);
    if (mA <= 20.5)
        return Good;
    if (mA <= 21.0)
        return uncertain(QualityReason::OverRange);
    return bad(QualityReason::SensorFaultHigh);
}

// Where x lies against the ends of an increasing scale whose points first, second,
// nextToLast and last are one degree apart at either end.
ChannelQuality againstEnds(double x, double first, double second, double nextToLast, double last)
{
    if (x < first)
        return bad(QualityReason::SensorFaultLow);
    if (x >= last)
        return bad(QualityReason::SensorFaultHigh);
    if (x < second)
        return uncertain(QualityReason::UnderRange);
    if (x >= nextToLast)
        return uncertain(QualityReason::OverRange);
    return Good;
}

ChannelQuality pt100(const core::AcquisitionState &s, int c)
{
    // The solver clamps below its second grid point (-199.9) and at 850 deg C.
    static constexpr double ends[]
        = {pt100Ratio(-199.9), pt100Ratio(-199), pt100Ratio(849), pt100Ratio(850)};
    const double ratio = double(s.rawCounts[c]) / double(s.rtdCal[c]) - 1;
    return againstEnds(ratio, ends[0], ends[1], ends[2], ends[3]);
}

// cj: the cold junction's whole degree, which a successful conversion found within
// the table.
ChannelQuality thermocouple(const core::AcquisitionState &s, int c, bool typeK, int cj)
{
    cj += typeK ? 200 : 0;
    const core::TcTable &table = typeK ? s.kTable : s.jTable;
    const int last = typeK ? 1569 : 1099;
    const double emf = table[std::size_t(cj)]
        + double(s.rawCounts[c] - s.zero200mV[c]) * 200.0 / double(s.span200mV[c] - s.zero200mV[c]);
    return againstEnds(
        emf, table[0], table[1], table[std::size_t(last - 1)], table[std::size_t(last)]);
}

bool calibrated(const core::AcquisitionState &s, int c)
{
    switch (s.inputType[c]) {
    case 0:
        return s.zero10V[c] != s.span10V[c];
    case 1:
    case 2:
    case 3:
    case 5:
    case 6:
        return s.zero200mV[c] != s.span200mV[c];
    case 4:
        return s.rtdCal[c] != 0;
    default:
        return true;
    }
}

} // namespace

ChannelQuality assessChannel(const core::AcquisitionState &s, int c, bool failed)
{
    return assessChannel(s, c, failed, core::toInteger(s.ambientTemp));
}

ChannelQuality assessChannel(
    const core::AcquisitionState &s, int c, bool failed, std::optional<core::Integer> coldJunction)
{
    if (!calibrated(s, c))
        return bad(QualityReason::NotCalibrated);
    // A converter at its end is the sensor's fault, whatever the conversion made of it.
    const core::Integer raw = s.rawCounts[c];
    if (raw == 32767)
        return bad(QualityReason::SensorFaultHigh);
    if (raw == -32768)
        return bad(QualityReason::SensorFaultLow);
    const double value = s.channelValues[c];
    if (failed || !std::isfinite(value))
        return bad(QualityReason::ConversionFault);
    const double range = s.inputRange[c];
    switch (s.inputType[c]) {
    case 0:
        return linearRange(value, -range, range, range);
    case 1:
    case 3:
        return linearRange(value, 0, range, range);
    case 2:
        return loopCurrent(
            20.0 * double(raw - s.zero200mV[c]) / double(s.span200mV[c] - s.zero200mV[c]));
    case 4:
        return pt100(s, c);
    case 5:
    case 6:
        // A successful conversion found the cold junction; a failed one is told above.
        return coldJunction ? thermocouple(s, c, s.inputType[c] == 6, *coldJunction)
                            : bad(QualityReason::ConversionFault);
    default:
        return Good;
    }
}

void AssessChannels(core::AcquisitionState &state, const ChannelFailures &failures)
{
    // Rounding the ambient costs more than assessing a channel: only for thermocouples.
    const bool anyThermocouple
        = std::any_of(state.inputType.begin(), state.inputType.begin() + core::ChannelCount,
            [](core::Integer t) { return t == 5 || t == 6; });
    const std::optional<core::Integer> coldJunction
        = anyThermocouple ? core::toInteger(state.ambientTemp) : std::nullopt;
    auto failure = failures.begin(); // in channel order, at most one each
    for (int c = 0; c < core::ChannelCount; ++c) {
        const bool failed = failure != failures.end() && failure->channel == c;
        if (failed)
            ++failure;
        state.channelQuality[c] = assessChannel(state, c, failed, coldJunction);
    }
}

} // namespace tarv::link
