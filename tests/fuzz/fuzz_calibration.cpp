// Calibration file import: the whole input is the file.

#include "core/acquisitionstate.h"
#include "fuzzsupport.h"
#include "ui/config/calibrationfile.h"

using namespace tarv;
using ui::config::CalibrationImport;

namespace {

void fillPattern(core::AcquisitionState &s)
{
    for (int c = 0; c < int(s.zero10V.size()); ++c) {
        s.zero10V[c] = static_cast<core::Integer>(101 + c);
        s.zero200mV[c] = static_cast<core::Integer>(202 + c);
        s.span10V[c] = static_cast<core::Integer>(303 + c);
        s.span200mV[c] = static_cast<core::Integer>(404 + c);
        s.rtdCal[c] = static_cast<core::Integer>(505 + c);
    }
}

bool sameCounts(const core::AcquisitionState &a, const core::AcquisitionState &b)
{
    return a.zero10V == b.zero10V && a.zero200mV == b.zero200mV && a.span10V == b.span10V
        && a.span200mV == b.span200mV && a.rtdCal == b.rtdCal;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    core::AcquisitionState s;
    fillPattern(s);
    const core::AcquisitionState before = s;

    const CalibrationImport result = ui::config::importCalibrationFrom(bytes, s);
    FUZZ_REQUIRE(result != CalibrationImport::NotOpened);
    // Only channels 0..7 are ever written.
    for (int c = core::ChannelCount; c < int(s.zero10V.size()); ++c) {
        FUZZ_REQUIRE(s.zero10V[c] == before.zero10V[c] && s.span10V[c] == before.span10V[c]);
        FUZZ_REQUIRE(s.zero200mV[c] == before.zero200mV[c]);
        FUZZ_REQUIRE(s.span200mV[c] == before.span200mV[c] && s.rtdCal[c] == before.rtdCal[c]);
    }
    if (result == CalibrationImport::Incompatible)
        FUZZ_REQUIRE(sameCounts(s, before));
    if (result != CalibrationImport::Complete)
        return 0;

    core::AcquisitionState again;
    fillPattern(again);
    FUZZ_REQUIRE(ui::config::importCalibrationFrom(ui::config::calibrationBytes(s), again)
        == CalibrationImport::Complete);
    FUZZ_REQUIRE(sameCounts(again, s));
    return 0;
}
