// The libFuzzer targets, one per kind of outside input the program reads, on one
// harness: CMake builds this file once per target, TARV_FUZZ_TARGET naming the function
// that takes the input.

#include "core/inifile.h"
#include "core/settingsfiles.h"
#include "core/thermotables.h"
#include "link/cardlink.h"
#include "link/channelconverter.h"
#include "link/framedecoder.h"
#include "link/linearisation.h"
#include "publish/commands.h"
#include "publish/publishsettings.h"
#include "support/feeddevice.h"
#include "support/tablefixture.h"
#include "ui/config/calibrationfile.h"
#include "ui/config/configfile.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <tuple>

using namespace tarv;
using core::AcquisitionState;
using link::DecodeOutcome;

// A broken invariant names itself and aborts, which libFuzzer records as a crash
// together with the input that caused it.
#define FUZZ_REQUIRE(condition)                                                                    \
    ((condition)                                                                                   \
            ? void()                                                                               \
            : (std::fprintf(stderr, "invariant broken at line %d: %s\n", __LINE__, #condition),    \
                std::abort()))

namespace tarv::fuzz {

// The fuzzer's bytes front to back; past the end every byte reads as 0, so a short
// input still makes a complete (if dull) set of choices.
struct Input
{
    const std::uint8_t *data;
    std::size_t size, pos = 0;

    std::uint8_t byte() { return pos < size ? data[pos++] : 0; }
    std::int16_t int16()
    {
        const std::uint8_t low = byte();
        return std::int16_t(std::uint16_t(byte()) << 8 | low);
    }
    QByteArray take(std::size_t n)
    {
        const std::size_t from = pos;
        pos = std::min(size, pos + n);
        return QByteArray(reinterpret_cast<const char *>(data + from), qsizetype(pos - from));
    }
    QByteArray rest() { return take(size); }
};

// Bitwise equality, so NaN == NaN and -0 != +0 where a value must stay untouched.
template<typename T> bool sameBits(const T &a, const T &b)
{
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// ASCII hex digits of either case as a number; nothing for no digits or another character.
std::optional<quint64> hexValue(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("\\A[0-9A-Fa-f]+\\z"));
    return digits.match(text).hasMatch() ? std::optional(text.toULongLong(nullptr, 16))
                                         : std::nullopt;
}

// Analog frames and their conversion: a byte of flags, each channel's input type,
// range and calibration, then the frame text; the thermocouple tables are the shipped ones.
void analog(Input in)
{
    // Ranges an operator might type, and the extremes a settings file may carry.
    constexpr std::array Ranges = {0.0, 1.0, 10.0, 100.0, 1000.0, -10.0, 0.5, 1e-300, 1e300, 3.4e38,
        1e-45, -1e308, 200.0, 20.0, 4.0, 850.0};
    static AcquisitionState tables;
    static const bool loaded = testsupport::loadShippedTables(tables);
    FUZZ_REQUIRE(loaded);
    AcquisitionState s = tables;
    const std::uint8_t flags = in.byte();
    for (int c = 0; c < core::ChannelCount; ++c) {
        s.inputType[c] = core::Integer(in.byte() % 11 - 2); // -2..8
        s.inputRange[c] = Ranges[in.byte() % Ranges.size()];
        s.zero10V[c] = s.zero200mV[c] = in.int16();
        s.span10V[c] = s.span200mV[c] = in.int16();
        s.rtdCal[c] = in.int16();
        s.rawCounts[c] = core::Integer(7000 + c);
        s.channelValues[c] = 12345.5f + float(c);
    }
    s.ambientTemp = 21.5f;
    // The link only ever stores Latin-1 text; other characters test the decoder's own
    // guard against digits and signs from elsewhere in Unicode. Flag 1 pads or cuts the
    // text to a frame's length, to reach the field checks.
    const QByteArray text = in.rest();
    s.analogFrame = (flags & 2) ? QString::fromUtf8(text) : QString::fromLatin1(text);
    if (flags & 1)
        s.analogFrame = s.analogFrame.leftJustified(62, u' ', true);

    const AcquisitionState before = s;
    const DecodeOutcome outcome = link::DecodeAnalogFrame(s);
    FUZZ_REQUIRE((outcome == DecodeOutcome::WrongLength) == (s.analogFrame.size() != 62));
    FUZZ_REQUIRE(outcome != DecodeOutcome::NotHexadecimal);
    if (outcome != DecodeOutcome::Accepted) { // dropped whole
        FUZZ_REQUIRE(
            s.rawCounts == before.rawCounts && sameBits(s.ambientTemp, before.ambientTemp));
        return;
    }
    FUZZ_REQUIRE(std::isfinite(s.ambientTemp));

    const AcquisitionState decoded = s;
    std::array<bool, core::ChannelCount> failed {};
    int previous = -1;
    for (const link::ChannelFailure &f : link::ConvertChannels(s)) {
        FUZZ_REQUIRE(f.channel > previous && f.channel < core::ChannelCount); // in order
        failed[previous = f.channel] = true;
    }
    for (int c = 0; c < core::ChannelCount; ++c) {
        const core::Integer type = s.inputType[c];
        const float v = s.channelValues[c];
        const bool halfDegree = std::floor(double(v) * 2) == double(v) * 2;
        const link::SolveResult pt100 = link::SolvePt100(s.rawCounts[c], s.rtdCal[c]);
        if (failed[c]) {
            // A failing channel keeps its value, except that the linear types store a
            // quotient that went infinite or NaN.
            FUZZ_REQUIRE(type >= 0 && type <= 6 && (type != 4 || s.rtdCal[c] == 0));
            FUZZ_REQUIRE(sameBits(v, decoded.channelValues[c]) || (type <= 3 && !std::isfinite(v)));
            continue;
        }
        FUZZ_REQUIRE(std::isfinite(v));
        FUZZ_REQUIRE(type != 4
            || (!pt100.error && pt100.value >= -200.0 && pt100.value <= 850.0000000002
                && v == float(pt100.value)));
        FUZZ_REQUIRE(type != 5 || (v >= 0.0f && v <= 1099.0f && halfDegree));
        FUZZ_REQUIRE(type != 6 || (v >= -200.0f && v <= 1369.0f && halfDegree));
        FUZZ_REQUIRE((type >= 0 && type <= 6) || v == float(s.rawCounts[c]));
    }
}

// Digital frames: the whole input is the frame text.
void digital(Input in)
{
    AcquisitionState s;
    s.digitalFrame = QString::fromLatin1(in.rest());
    for (int n = 0; n + 1 < core::LineCount; n += 3) // a pattern a decode must replace
        s.diStates[n] = s.doStates[n + 1] = core::True;
    const AcquisitionState before = s;
    const DecodeOutcome outcome = link::DecodeDigitalFrame(s);
    const bool nine = s.digitalFrame.size() == 9;
    const auto words = nine ? hexValue(s.digitalFrame.left(8)) : std::nullopt;
    FUZZ_REQUIRE((outcome == DecodeOutcome::Accepted) == words.has_value());
    FUZZ_REQUIRE((outcome == DecodeOutcome::WrongLength) == !nine);
    FUZZ_REQUIRE(words || !nine || outcome == DecodeOutcome::NotHexadecimal);
    // A dropped frame leaves the lines alone; bit n of each word is line n.
    for (int n = 0; n < int(s.diStates.size()); ++n) {
        const auto bit
            = [&](int b) { return core::toFlag(n < core::LineCount && ((*words >> b) & 1)); };
        FUZZ_REQUIRE(s.diStates[n] == (words ? bit(16 + n) : before.diStates[n]));
        FUZZ_REQUIRE(s.doStates[n] == (words ? bit(n) : before.doStates[n]));
    }
}

// The receive rules, written plainly: split at every CR, drop the start of an
// unterminated text beyond MaxPendingBytes together with the line it belongs to,
// dispatch by first character and length.
struct LinkModel
{
    link::LinkCounters counters;
    AcquisitionState state; // readings as the link should hold them
    AcquisitionState trial; // decodes a line without touching `state`
    std::optional<QByteArray> held; // chunk to deliver inside the next accepted line
    QByteArray pending;
    bool truncated = false;

    void feed(const QByteArray &bytes)
    {
        pending += bytes;
        for (qsizetype end; (end = pending.indexOf('\r')) >= 0;) {
            const QString line = QString::fromLatin1(pending.left(end + 1));
            pending.remove(0, end + 1);
            if (std::exchange(truncated, false))
                ++counters.linesDiscarded;
            else if (dispatch(line) && held)
                pending += *std::exchange(held, std::nullopt);
        }
        if (const qsizetype excess = pending.size() - link::CardLink::MaxPendingBytes; excess > 0) {
            pending.remove(0, excess);
            truncated = true;
            counters.bytesDiscarded += quint64(excess);
        }
    }

    // True for the lines whose handlers may deliver held text.
    bool dispatch(const QString &line)
    {
        const bool analog = line.size() == 62;
        if (line.startsWith(u'V')) {
            ++counters.versionReplies;
            state.cardConnected = core::True;
            state.cardVersion = line.mid(1, 4);
            return true;
        }
        if (!analog && line.size() != 9) {
            ++counters.linesDiscarded;
            return false;
        }
        (analog ? trial.analogFrame : trial.digitalFrame) = line;
        if ((analog ? link::DecodeAnalogFrame(trial) : link::DecodeDigitalFrame(trial))
            != DecodeOutcome::Accepted) {
            ++counters.framesDropped;
            return false;
        }
        if (analog)
            std::tie(state.analogFrame, state.rawCounts, state.ambientTemp)
                = std::tie(line, trial.rawCounts, trial.ambientTemp);
        else
            std::tie(state.digitalFrame, state.diStates, state.doStates)
                = std::tie(line, trial.diStates, trial.doStates);
        ++(analog ? counters.analogAccepted : counters.digitalAccepted);
        return analog;
    }
};

// The card link's receive handler. The input is a sequence of chunks, each a header
// byte and its payload:
//   bits 0..5  payload length (0..63 bytes)
//   bit 6      send the payload 64 times over (to reach the pending-text bound)
//   bit 7      hold the chunk back and deliver it from inside the handler of the next
//              accepted analog frame or version reply, as text that arrives while a
//              slot shows a modal box is delivered
// The model runs beside the link; after every chunk the link's counters, signals
// and readings must match it.
void cardlink(Input in)
{
    AcquisitionState state;
    link::CardLink cardLink(state);
    testsupport::FeedDevice device;
    cardLink.attachDevice(&device);
    LinkModel model;
    model.state = state;
    link::LinkCounters emitted; // as the signals tell them
    quint64 conversions = 0;
    std::optional<QByteArray> held;
    const auto count = [&](auto signal, quint64 &counter, bool deliversHeld) {
        QObject::connect(&cardLink, signal, [&counter, &held, &device, deliversHeld] {
            ++counter;
            if (deliversHeld && held)
                device.feed(*std::exchange(held, std::nullopt));
        });
    };
    count(&link::CardLink::versionReceived, emitted.versionReplies, true);
    count(&link::CardLink::analogFrameAccepted, emitted.analogAccepted, true);
    count(&link::CardLink::conversionFailed, conversions, false);
    count(&link::CardLink::digitalFrameAccepted, emitted.digitalAccepted, false);
    count(&link::CardLink::frameDropped, emitted.framesDropped, false);

    const auto readings = [](const AcquisitionState &x) {
        return std::tie(x.cardConnected, x.cardVersion, x.analogFrame, x.rawCounts, x.digitalFrame,
            x.diStates, x.doStates);
    };
    const auto deliver = [&](const QByteArray &bytes) {
        const QString before = state.analogFrame;
        device.feed(bytes);
        model.feed(bytes);
        const link::LinkCounters &c = cardLink.counters();
        emitted.linesDiscarded = c.linesDiscarded; // nothing is emitted for these
        emitted.bytesDiscarded = c.bytesDiscarded;
        FUZZ_REQUIRE(
            sameBits(c, model.counters) && sameBits(emitted, c) && conversions == c.analogAccepted);
        FUZZ_REQUIRE(readings(state) == readings(model.state)
            && sameBits(state.ambientTemp, model.state.ambientTemp));
        FUZZ_REQUIRE(state.analogFrame == before
            || (state.analogFrame.size() == 62 && state.analogFrame.endsWith(u'\r')));
    };
    // A held chunk that found no handler to ride in arrives on its own.
    const auto release = [&] {
        model.held.reset();
        if (held)
            deliver(*std::exchange(held, std::nullopt));
    };
    while (in.pos < in.size) {
        const std::uint8_t header = in.byte();
        const QByteArray payload = in.take(header & 0x3F).repeated((header & 0x40) ? 64 : 1);
        if (header & 0x80) {
            release();
            held = model.held = payload;
        } else {
            deliver(payload);
        }
    }
    release();
    deliver(QByteArrayLiteral("\r")); // whatever is still pending becomes one more line
}

// The settings readers. The first byte picks the file (tarv.con, tarvo.con, tarvs.con);
// the rest is its content. Whatever a reader accepts must come back unchanged through
// the matching writer.
void settings(Input in)
{
    const std::uint8_t file = in.byte() % 3;
    const QByteArray bytes = in.rest();
    AcquisitionState s, again;
    const core::ReadResult r = file == 0 ? core::readComPortFrom(bytes, s)
        : file == 1                      ? core::readCardSettingsFrom(bytes, s)
                                         : core::readLogSettingsFrom(bytes, s);
    FUZZ_REQUIRE(r.path.isEmpty() && r.ok == r.error.isEmpty());
    FUZZ_REQUIRE(r.ok || r.error.startsWith(QStringLiteral("line ")));
    // A flag holds -1 or 0 however far the file got.
    const auto isFlag = [](core::Flag f) { return f == core::True || f == core::False; };
    FUZZ_REQUIRE(std::ranges::all_of(s.dioDirection, isFlag)
        && std::ranges::all_of(s.plotEnable, isFlag) && std::ranges::all_of(s.saveEnable, isFlag)
        && isFlag(s.useChannelHeaders));
    if (!r.ok)
        return;
    const auto card = [](const AcquisitionState &x) {
        return std::tie(x.dioDirection, x.inputType, x.inputRange, x.zero10V, x.span10V,
            x.zero200mV, x.span200mV, x.rtdCal, x.plotEnable, x.saveEnable);
    };
    const auto log = [](const AcquisitionState &x) {
        return std::tie(x.saveFileName, x.channelNames, x.useChannelHeaders, x.separatorMode,
            x.stampMode, x.saveIntervalUnit, x.saveInterval);
    };
    if (file == 0)
        FUZZ_REQUIRE(core::readComPortFrom(core::comPortFileBytes(s), again).ok
            && again.comPort == s.comPort);
    if (file == 1)
        FUZZ_REQUIRE(core::readCardSettingsFrom(core::cardSettingsBytes(s), again).ok
            && card(again) == card(s));
    if (file != 2)
        return;
    // Texts are written in quotes without escaping, so one holding a quote cannot come
    // back whole; every other text must.
    const bool back = core::readLogSettingsFrom(core::logSettingsBytes(s), again).ok;
    const auto quoted = [](const QString &text) { return text.contains(u'"'); };
    if (!quoted(s.saveFileName) && std::ranges::none_of(s.channelNames, quoted))
        FUZZ_REQUIRE(back && log(again) == log(s));
}

// The direction mask: one to eight hex digits as the bits of a signed 32-bit value.
// Whatever line 1 may hold, the text written for that value reads back the same.
void checkMask(const QString &text)
{
    const auto hex = text.size() > 8 ? std::nullopt : hexValue(text);
    const std::optional<std::int32_t> mask = ui::config::parseMask(text);
    FUZZ_REQUIRE(mask.has_value() == hex.has_value() && (!mask || std::uint32_t(*mask) == *hex));
    if (!mask)
        return;
    const QString written = ui::config::maskText(*mask);
    FUZZ_REQUIRE(written.size() >= 4 && written == written.toUpper()
        && ui::config::parseMask(written) == mask);
}

// A text the writer puts on a line of its own and the reader gives back whole.
bool survivesALine(const QString &text)
{
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    return std::ranges::none_of(text, [](QChar c) { return QStringLiteral(",\r\n\"").contains(c); })
        && (text.isEmpty() || (!blank(text.front()) && !blank(text.back())));
}

// The card configuration file; the same bytes as text also go to the mask parser.
void configfile(Input in)
{
    const QByteArray bytes = in.rest();
    checkMask(QString::fromLatin1(bytes));
    const auto contents = ui::config::readConfigFileFrom(bytes);
    if (!contents)
        return;
    checkMask(contents->dioMaskText);
    const auto again = ui::config::readConfigFileFrom(ui::config::configFileBytes(*contents));
    const auto texts = [](const ui::config::ConfigFileContents &c) {
        return std::tie(c.dioMaskText, c.inputTypesText, c.rangeTexts);
    };
    if (survivesALine(contents->dioMaskText) && survivesALine(contents->inputTypesText)
        && std::ranges::all_of(contents->rangeTexts, survivesALine))
        FUZZ_REQUIRE(again && texts(*again) == texts(*contents));
}

// Calibration file import: the whole input is the file. Only channels 0..7 are ever
// written; a file of another kind changes nothing; what a complete import took, an
// export gives back.
void calibration(Input in)
{
    constexpr std::array Counts = {&AcquisitionState::zero10V, &AcquisitionState::zero200mV,
        &AcquisitionState::span10V, &AcquisitionState::span200mV, &AcquisitionState::rtdCal};
    AcquisitionState before;
    for (std::size_t a = 0; a < Counts.size(); ++a)
        for (std::size_t c = 0; c < (before.*Counts[a]).size(); ++c)
            (before.*Counts[a])[c] = core::Integer(101 * (a + 1) + c);
    const auto same = [&](const AcquisitionState &x, const AcquisitionState &y, int from = 0) {
        return std::ranges::all_of(Counts, [&](auto a) {
            return std::equal((x.*a).begin() + from, (x.*a).end(), (y.*a).begin() + from);
        });
    };
    AcquisitionState s = before, again = before;
    using ui::config::CalibrationImport;
    const CalibrationImport result = ui::config::importCalibrationFrom(in.rest(), s);
    FUZZ_REQUIRE(result != CalibrationImport::NotOpened && same(s, before, core::ChannelCount));
    FUZZ_REQUIRE(result != CalibrationImport::Incompatible || same(s, before));
    FUZZ_REQUIRE(result != CalibrationImport::Complete
        || (ui::config::importCalibrationFrom(ui::config::calibrationBytes(s), again)
                == CalibrationImport::Complete
            && same(again, s)));
}

// Thermocouple table files. The first byte sets how many values are needed (a few, or
// a real table's count); the rest is the file. A failed read leaves the table alone;
// the solvers rely on a strictly increasing table of finite millivolt values.
void thermotables(Input in)
{
    const std::uint8_t choice = in.byte();
    const int needed = choice == 255 ? core::JTableCount : 1 + choice % 32;
    static core::TcTable table;
    table.fill(7.0);
    const QString path = QStringLiteral("/tables/fuzz.tc");
    const core::TableLoad r = core::parseThermocoupleTable(in.rest(), path, needed, table);
    FUZZ_REQUIRE(r.path == path && r.ok == r.message.isEmpty());
    FUZZ_REQUIRE(r.ok || r.message.contains(QStringLiteral("fuzz.tc")));
    for (int k = 0; k < int(table.size()); ++k)
        FUZZ_REQUIRE(!r.ok   ? table[k] == 7.0
                : k < needed ? std::isfinite(table[k]) && (k == 0 || table[k] > table[k - 1])
                             : table[k] == 0.0);
}

// A <prefix>/do/set message from the network: the first byte says whether the broker
// marked it retained, the rest is the payload. Either a command for a line 0..15 or a
// refusal in words, never both; a retained or oversized one is never a command.
void command(Input in)
{
    const bool retained = in.byte() & 1;
    const QByteArray payload = in.rest();
    const publish::ParsedCommand parsed = publish::parseCommand(payload, retained);
    FUZZ_REQUIRE(parsed.command.has_value() == parsed.refusal.isEmpty());
    FUZZ_REQUIRE(!parsed.command || (parsed.command->line >= 0 && parsed.command->line < 16));
    FUZZ_REQUIRE(!(retained || payload.size() > publish::MaxCommandBytes) || !parsed.command);
}

// tarvane.ini as a hand or a script may leave it: whatever it holds, the settings in
// force are within their bounds, and every bad value is a problem, not a crash.
void ini(Input in)
{
    static QTemporaryDir dir;
    QFile file(core::IniFile::pathIn(dir.path()));
    FUZZ_REQUIRE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(in.rest());
    file.close();
    const core::IniFile ini = core::IniFile::read(dir.path());
    const publish::PublishSettings s = publish::readPublishSettings(ini).settings;
    FUZZ_REQUIRE(s.port >= 1 && s.port <= 65535 && (s.qos == 0 || s.qos == 1));
    FUZZ_REQUIRE(s.keepalive >= 5 && !s.host.isEmpty());
    FUZZ_REQUIRE(s.certFile.isEmpty() == s.keyFile.isEmpty());
    FUZZ_REQUIRE(!s.topicPrefix.endsWith(u'/'));
    for (const QString &name : ini.groups()) {
        QStringList problems;
        const core::IniGroup group = ini.group(name);
        const int n = group.integer(QStringLiteral("channel"), -1, 0, 7, problems);
        FUZZ_REQUIRE(n == -1 || (n >= 0 && n <= 7));
        const auto high = group.real(QStringLiteral("high"), problems);
        FUZZ_REQUIRE(!high || std::isfinite(*high));
    }
}

} // namespace tarv::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    fuzz::TARV_FUZZ_TARGET({data, size});
    return 0;
}
