// The settings readers. The first byte picks the file (tarv.con, tarvo.con,
// tarvs.con); the rest is its content. Whatever a reader accepts must come back
// unchanged through the matching writer.

#include "core/acquisitionstate.h"
#include "core/settingsfiles.h"
#include "fuzzsupport.h"

using namespace tarv;
using fuzz::FuzzInput;

namespace {

bool isFlag(core::Flag f)
{
    return f == core::True || f == core::False;
}

void checkResult(const core::ReadResult &r)
{
    FUZZ_REQUIRE(r.path.isEmpty());
    FUZZ_REQUIRE(r.ok == r.error.isEmpty());
    FUZZ_REQUIRE(r.ok || r.error.startsWith(QStringLiteral("line ")));
}

void comPort(const QByteArray &bytes)
{
    core::AcquisitionState s;
    const core::ReadResult r = core::readComPortFrom(bytes, s);
    checkResult(r);
    if (!r.ok)
        return;
    core::AcquisitionState again;
    FUZZ_REQUIRE(core::readComPortFrom(core::comPortFileBytes(s), again).ok);
    FUZZ_REQUIRE(again.comPort == s.comPort);
}

void cardSettings(const QByteArray &bytes)
{
    core::AcquisitionState s;
    const core::ReadResult r = core::readCardSettingsFrom(bytes, s);
    checkResult(r);
    // A flag holds -1 or 0 however far the file got.
    for (core::Flag f : s.dioDirection)
        FUZZ_REQUIRE(isFlag(f));
    for (int c = 0; c < core::ChannelCount; ++c)
        FUZZ_REQUIRE(isFlag(s.plotEnable[c]) && isFlag(s.saveEnable[c]));
    if (!r.ok)
        return;

    core::AcquisitionState again;
    FUZZ_REQUIRE(core::readCardSettingsFrom(core::cardSettingsBytes(s), again).ok);
    FUZZ_REQUIRE(again.dioDirection == s.dioDirection && again.inputType == s.inputType);
    FUZZ_REQUIRE(again.inputRange == s.inputRange);
    FUZZ_REQUIRE(again.zero10V == s.zero10V && again.span10V == s.span10V);
    FUZZ_REQUIRE(again.zero200mV == s.zero200mV && again.span200mV == s.span200mV);
    FUZZ_REQUIRE(again.rtdCal == s.rtdCal);
    FUZZ_REQUIRE(again.plotEnable == s.plotEnable && again.saveEnable == s.saveEnable);
}

void logSettings(const QByteArray &bytes)
{
    core::AcquisitionState s;
    const core::ReadResult r = core::readLogSettingsFrom(bytes, s);
    checkResult(r);
    FUZZ_REQUIRE(isFlag(s.useChannelHeaders));
    if (!r.ok)
        return;

    // Texts are written in quotes without escaping, so one holding a quote cannot
    // come back whole; every other text must.
    bool quote = s.saveFileName.contains(u'"');
    for (const QString &name : s.channelNames)
        quote = quote || name.contains(u'"');
    core::AcquisitionState again;
    const core::ReadResult back = core::readLogSettingsFrom(core::logSettingsBytes(s), again);
    if (quote)
        return;
    FUZZ_REQUIRE(back.ok);
    FUZZ_REQUIRE(again.saveFileName == s.saveFileName && again.channelNames == s.channelNames);
    FUZZ_REQUIRE(again.useChannelHeaders == s.useChannelHeaders);
    FUZZ_REQUIRE(again.separatorMode == s.separatorMode && again.stampMode == s.stampMode);
    FUZZ_REQUIRE(again.saveIntervalUnit == s.saveIntervalUnit);
    FUZZ_REQUIRE(again.saveInterval == s.saveInterval);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    const std::uint8_t file = in.byte() % 3;
    const QByteArray bytes = in.rest();
    if (file == 0)
        comPort(bytes);
    else if (file == 1)
        cardSettings(bytes);
    else
        logSettings(bytes);
    return 0;
}
