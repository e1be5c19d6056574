// Digital frames: the whole input is the frame text.

#include "core/acquisitionstate.h"
#include "fuzzsupport.h"
#include "link/framedecoder.h"

using namespace tarv;

namespace {

int hexValue(QChar c)
{
    const QString digits = QStringLiteral("0123456789abcdef");
    return int(digits.indexOf(c.toLower()));
}

// The frame's eight digits as two words, or -1 when one is not hexadecimal.
qint64 expectedWords(const QString &frame)
{
    qint64 words = 0;
    for (int i = 0; i < 8; ++i) {
        const QChar c = frame[i];
        const int d = c.unicode() < 128 ? hexValue(c) : -1;
        if (d < 0)
            return -1;
        words = words * 16 + d;
    }
    return words;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    core::AcquisitionState s;
    s.digitalFrame = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    for (int n = 0; n + 1 < core::LineCount; n += 3) // a pattern a decode must replace
        s.diStates[n] = s.doStates[n + 1] = core::True;
    const core::AcquisitionState before = s;

    const link::DecodeOutcome outcome = link::DecodeDigitalFrame(s);
    const qint64 words = s.digitalFrame.size() == 9 ? expectedWords(s.digitalFrame) : -1;
    FUZZ_REQUIRE((outcome == link::DecodeOutcome::Accepted) == (words >= 0));
    FUZZ_REQUIRE((outcome == link::DecodeOutcome::WrongLength) == (s.digitalFrame.size() != 9));
    if (outcome != link::DecodeOutcome::Accepted) {
        FUZZ_REQUIRE(outcome == link::DecodeOutcome::WrongLength
            || outcome == link::DecodeOutcome::NotHexadecimal);
        FUZZ_REQUIRE(s.diStates == before.diStates && s.doStates == before.doStates);
        return 0;
    }
    const int inputs = int(words >> 16);
    const int outputs = int(words & 0xFFFF);
    for (int n = 0; n < int(s.diStates.size()); ++n) {
        FUZZ_REQUIRE(s.diStates[n] == core::True || s.diStates[n] == core::False);
        FUZZ_REQUIRE(s.doStates[n] == core::True || s.doStates[n] == core::False);
        const bool used = n < core::LineCount;
        FUZZ_REQUIRE(s.diStates[n] == core::toFlag(used && ((inputs >> n) & 1)));
        FUZZ_REQUIRE(s.doStates[n] == core::toFlag(used && ((outputs >> n) & 1)));
    }
    return 0;
}
