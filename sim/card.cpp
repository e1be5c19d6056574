#include "sim/card.h"

#include <charconv>

namespace tarv::sim {

namespace {

std::optional<std::uint16_t> parseHexWord(std::string_view digits)
{
    if (digits.size() != 4)
        return std::nullopt;
    unsigned value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + 4, value, 16);
    if (error != std::errc() || end != digits.data() + 4)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

} // namespace

Card::Card(const CardSettings &settings, OutputQueue &out, Clock::time_point poweredUp)
    : m_settings(settings)
    , m_out(out)
    , m_faults(settings.faults, settings.seed)
    , m_poweredUp(poweredUp)
    , m_reference(settings.reference)
    , m_started(settings.autostart)
    , m_batch(m_faults.mergeBatch())
    , m_quietStart(poweredUp)
    , m_quietEnd(poweredUp)
{ }

bool Card::receive(std::string_view command, Clock::time_point now)
{
    if (command == "?") {
        // The reply goes out whole and at once, ahead of anything still gathered.
        flushGathered(now);
        queue("V" + m_settings.version + "\r", now);
        return true;
    }
    if (command.starts_with("@TA"))
        return true; // task setup: the card has nothing to say to it
    if (command == "@N") {
        m_started = true;
        return true;
    }
    if (command == "@F") {
        m_started = false;
        flushGathered(now);
        return true;
    }
    if (command.starts_with("#D")) {
        if (const auto word = parseHexWord(command.substr(2))) {
            m_outputWord = *word;
            return true;
        }
    }
    return false;
}

bool Card::streaming() const
{
    return m_started && !limitReached();
}

bool Card::limitReached() const
{
    return m_settings.frameLimit > 0 && m_tally.validAnalog >= m_settings.frameLimit;
}

std::optional<Clock::time_point> Card::quietUntil(Clock::time_point now)
{
    if (m_settings.faults.silenceSeconds <= 0)
        return std::nullopt;
    const auto length = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(m_settings.faults.silenceSeconds));
    while (now >= m_quietEnd) {
        m_quietStart = m_quietEnd + m_faults.quietGap();
        m_quietEnd = m_quietStart + length;
    }
    if (now >= m_quietStart)
        return m_quietEnd;
    return std::nullopt;
}

bool Card::sendFrames(Clock::time_point now)
{
    if (!streaming() || quietUntil(now))
        return false;
    const double seconds = std::chrono::duration<double>(now - m_poweredUp).count();
    const FaultSettings &faults = m_settings.faults;

    if (m_faults.roll(faults.garbage)) {
        send(m_faults.junkLine(), now);
        ++m_tally.faulty;
    }
    if (m_faults.roll(faults.overlong)) {
        send(m_faults.overlongLine(), now);
        ++m_tally.faulty;
    }

    AnalogSample sample = analogSampleAt(seconds, m_reference);
    if (m_settings.noise)
        addNoise(sample, m_framesSent);
    for (int c = 0; c < channelCount; ++c)
        applyBreak(sample, c, m_settings.breaks[std::size_t(c)]);
    ++m_framesSent;
    if (m_faults.roll(faults.malformed)) {
        send(m_faults.damageAnalog(analogFrameText(sample)), now);
        ++m_tally.faulty;
    } else {
        send(analogFrameText(sample), now);
        ++m_tally.validAnalog;
    }

    const std::string digital = digitalFrameText(inputWordAt(seconds), m_outputWord);
    if (m_faults.roll(faults.malformed)) {
        send(m_faults.damageDigital(digital), now);
        ++m_tally.faulty;
    } else {
        send(digital, now);
        ++m_tally.validDigital;
    }

    // The last frame must not sit in the merge buffer after streaming ends.
    if (limitReached())
        flushGathered(now);
    return true;
}

void Card::powerCycle()
{
    m_out.clear();
    m_gathered.clear();
    m_gatheredLines = 0;
    m_outputWord = 0;
    m_started = m_settings.autostart;
}

void Card::send(const std::string &line, Clock::time_point now)
{
    if (!m_settings.faults.merge) {
        queue(line, now);
        return;
    }
    m_gathered += line;
    if (++m_gatheredLines >= m_batch)
        flushGathered(now);
}

void Card::flushGathered(Clock::time_point now)
{
    if (m_gathered.empty())
        return;
    queue(m_gathered, now);
    m_gathered.clear();
    m_gatheredLines = 0;
    m_batch = m_faults.mergeBatch();
}

void Card::queue(const std::string &text, Clock::time_point now)
{
    Clock::time_point at = now;
    for (Piece &piece : m_faults.pieces(text)) {
        at += piece.delay;
        m_out.push(std::move(piece.bytes), at);
    }
}

} // namespace tarv::sim
