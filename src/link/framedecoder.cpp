#include "link/framedecoder.h"

#include "core/numeric.h"

#include <cmath>
#include <limits>

namespace tarv::link {

namespace {

constexpr qsizetype AnalogFrameLength = 62;
constexpr qsizetype DigitalFrameLength = 9;
constexpr qsizetype CountFieldWidth = 6; // sign and five digits
constexpr qsizetype CountFieldPitch = 7; // the field and its comma
constexpr qsizetype AmbientFieldStart = 56; // 0-based; positions 57..61
constexpr qsizetype AmbientFieldWidth = 5;

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

// Four hex digits, most significant first: 0..65535, or -1 when one is not hex.
int hexWord(QStringView digits)
{
    int word = 0;
    for (QChar c : digits) {
        const int d = hexDigit(c);
        if (d < 0)
            return -1;
        word = word * 16 + d;
    }
    return word;
}

} // namespace

QString describe(DecodeOutcome outcome)
{
    switch (outcome) {
    case DecodeOutcome::Accepted:
        return QStringLiteral("accepted");
    case DecodeOutcome::WrongLength:
        return QStringLiteral("not a frame of this length");
    case DecodeOutcome::CountOutOfRange:
        return QStringLiteral("a count field lies outside -32768..32767");
    case DecodeOutcome::AmbientOutOfRange:
        return QStringLiteral("the ambient temperature field is out of range");
    case DecodeOutcome::NotHexadecimal:
        return QStringLiteral("a line state digit is not hexadecimal");
    }
    return QString();
}

DecodeOutcome DecodeAnalogFrame(core::AcquisitionState &state)
{
    const QString &frame = state.analogFrame;
    if (frame.size() != AnalogFrameLength)
        return DecodeOutcome::WrongLength;

    // Read every field before writing any, so a bad field leaves the previous
    // readings whole instead of half-updated.
    std::array<core::Integer, core::ChannelCount> counts {};
    for (int i = 0; i < core::ChannelCount; ++i) {
        const QStringView field = QStringView(frame).mid(CountFieldPitch * i, CountFieldWidth);
        const auto count = core::toInteger(core::leadingNumber(field));
        if (!count)
            return DecodeOutcome::CountOutOfRange;
        counts[i] = *count;
    }
    const double ambient
        = core::leadingNumber(QStringView(frame).mid(AmbientFieldStart, AmbientFieldWidth));
    if (!std::isfinite(ambient) || std::fabs(ambient) > std::numeric_limits<float>::max())
        return DecodeOutcome::AmbientOutOfRange;

    for (int i = 0; i < core::ChannelCount; ++i)
        state.rawCounts[i] = counts[i];
    state.ambientTemp = static_cast<core::Single>(ambient);
    return DecodeOutcome::Accepted;
}

DecodeOutcome DecodeDigitalFrame(core::AcquisitionState &state)
{
    const QString &frame = state.digitalFrame;
    if (frame.size() != DigitalFrameLength)
        return DecodeOutcome::WrongLength;

    const int inputs = hexWord(QStringView(frame).mid(0, 4));
    const int outputs = hexWord(QStringView(frame).mid(4, 4));
    if (inputs < 0 || outputs < 0)
        return DecodeOutcome::NotHexadecimal;

    for (int n = 0; n < core::LineCount; ++n) {
        state.diStates[n] = core::toFlag((inputs >> n) & 1);
        state.doStates[n] = core::toFlag((outputs >> n) & 1);
    }
    return DecodeOutcome::Accepted;
}

} // namespace tarv::link
