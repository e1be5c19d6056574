// Analog frames and their conversion: the frame text and each channel's input
// type, calibration and range come from the fuzzer; the thermocouple tables are
// the shipped ones.

#include "core/acquisitionstate.h"
#include "core/thermotables.h"
#include "fuzzsupport.h"
#include "link/channelconverter.h"
#include "link/framedecoder.h"
#include "link/linearisation.h"

#include <array>
#include <cmath>

using namespace tarv;
using fuzz::FuzzInput;
using fuzz::sameBits;

namespace {

constexpr qsizetype FrameLength = 62;

// Ranges an operator might type, and the extremes a settings file may carry.
constexpr std::array<double, 16> Ranges = {0.0, 1.0, 10.0, 100.0, 1000.0, -10.0, 0.5, 1e-300, 1e300,
    3.4e38, 1e-45, -1e308, 200.0, 20.0, 4.0, 850.0};

const core::AcquisitionState &tables()
{
    static const core::AcquisitionState loaded = [] {
        core::AcquisitionState s;
        const bool j = core::loadThermocoupleTable(
            QStringLiteral(TARV_DATA_SOURCE_DIR "/j.tc"), core::JTableCount, s.jTable)
                           .ok;
        const bool k = core::loadThermocoupleTable(
            QStringLiteral(TARV_DATA_SOURCE_DIR "/k.tc"), core::KTableCount, s.kTable)
                           .ok;
        FUZZ_REQUIRE(j && k);
        return s;
    }();
    return loaded;
}

void configure(FuzzInput &in, core::AcquisitionState &s)
{
    for (int c = 0; c < core::ChannelCount; ++c) {
        s.inputType[c] = static_cast<core::Integer>(in.byte() % 11 - 2); // -2..8
        s.inputRange[c] = Ranges[in.byte() % Ranges.size()];
        s.zero10V[c] = s.zero200mV[c] = in.int16();
        s.span10V[c] = s.span200mV[c] = in.int16();
        s.rtdCal[c] = in.int16();
        s.rawCounts[c] = static_cast<core::Integer>(7000 + c);
        s.channelValues[c] = 12345.5f + float(c);
    }
    s.ambientTemp = 21.5f;
}

bool isHalfDegree(float v)
{
    return std::floor(double(v) * 2) == double(v) * 2;
}

// What a channel that converted without a fault may hold.
void checkValue(const core::AcquisitionState &s, int c)
{
    const float v = s.channelValues[c];
    FUZZ_REQUIRE(std::isfinite(v));
    switch (s.inputType[c]) {
    case 4: {
        const link::SolveResult r = link::SolvePt100(s.rawCounts[c], s.rtdCal[c]);
        FUZZ_REQUIRE(!r.error);
        FUZZ_REQUIRE(r.value >= -200.0 && r.value <= 850.0000000002);
        FUZZ_REQUIRE(v == static_cast<float>(r.value));
        break;
    }
    case 5:
        FUZZ_REQUIRE(v >= 0.0f && v <= 1099.0f && isHalfDegree(v));
        break;
    case 6:
        FUZZ_REQUIRE(v >= -200.0f && v <= 1369.0f && isHalfDegree(v));
        break;
    default:
        if (s.inputType[c] < 0 || s.inputType[c] > 6)
            FUZZ_REQUIRE(v == float(s.rawCounts[c]));
        break;
    }
}

void checkConversion(const core::AcquisitionState &before, const core::AcquisitionState &s,
    const link::ChannelFailures &failures)
{
    std::array<bool, core::ChannelCount> failed {};
    int previous = -1;
    for (const link::ChannelFailure &f : failures) {
        FUZZ_REQUIRE(f.channel > previous && f.channel < core::ChannelCount);
        previous = f.channel;
        failed[f.channel] = true;
    }
    for (int c = 0; c < core::ChannelCount; ++c) {
        const core::Integer type = s.inputType[c];
        if (!failed[c]) {
            checkValue(s, c);
            continue;
        }
        FUZZ_REQUIRE(type >= 0 && type <= 6);
        FUZZ_REQUIRE(type != 4 || s.rtdCal[c] == 0);
        // A failing channel keeps its value, except that the linear types store a
        // quotient that went infinite or NaN.
        const bool kept = sameBits(s.channelValues[c], before.channelValues[c]);
        FUZZ_REQUIRE(kept || (type <= 3 && !std::isfinite(s.channelValues[c])));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    const std::uint8_t flags = in.byte();
    core::AcquisitionState s;
    s.jTable = tables().jTable;
    s.kTable = tables().kTable;
    configure(in, s);

    const QByteArray text = in.rest();
    // The link only ever stores Latin-1 text; other characters test the decoder's
    // own guard against digits and signs from elsewhere in Unicode.
    s.analogFrame = (flags & 2) ? QString::fromUtf8(text) : QString::fromLatin1(text);
    if (flags & 1) // reach the field checks rather than the length check
        s.analogFrame = s.analogFrame.leftJustified(FrameLength, u' ', true);

    const core::AcquisitionState before = s;
    const link::DecodeOutcome outcome = link::DecodeAnalogFrame(s);
    FUZZ_REQUIRE(
        (outcome == link::DecodeOutcome::WrongLength) == (s.analogFrame.size() != FrameLength));
    if (outcome != link::DecodeOutcome::Accepted) {
        FUZZ_REQUIRE(outcome == link::DecodeOutcome::WrongLength
            || outcome == link::DecodeOutcome::CountOutOfRange
            || outcome == link::DecodeOutcome::AmbientOutOfRange);
        FUZZ_REQUIRE(s.rawCounts == before.rawCounts);
        FUZZ_REQUIRE(sameBits(s.ambientTemp, before.ambientTemp));
        return 0;
    }
    FUZZ_REQUIRE(std::isfinite(s.ambientTemp));

    const core::AcquisitionState decoded = s;
    const link::ChannelFailures failures = link::ConvertChannels(s);
    checkConversion(decoded, s, failures);
    return 0;
}
