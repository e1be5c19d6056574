#pragma once

#include "sim/faults.h"
#include "sim/outputqueue.h"
#include "sim/signalmodel.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarv::sim {

struct CardSettings
{
    std::string version = "1.02"; // sent after "V" in the version reply
    bool autostart = false; // stream from power-up without waiting for "@N"
    bool noise = false;
    Reference reference = Reference::None;
    long long frameLimit = 0; // valid analog frames before streaming stops; 0: none
    std::array<Break, channelCount> breaks {}; // sensors broken on purpose
    FaultSettings faults;
    std::uint64_t seed = 1;
};

// What went out, so a reader can compare with what it accepted. Damaged frames,
// junk and overlong lines count as faulty; the valid counts never include them.
struct Tally
{
    long long validAnalog = 0;
    long long validDigital = 0;
    long long faulty = 0;
};

// The card's protocol side: answers commands and produces frames into the queue.
// It does no I/O and keeps no time of its own: the caller says when it is.
class Card
{
public:
    Card(const CardSettings &settings, OutputQueue &out, Clock::time_point poweredUp);

    // One command from the host, without its CR. False for text the card ignores.
    bool receive(std::string_view command, Clock::time_point now);

    void setReference(Reference reference) { m_reference = reference; }
    void setBreak(int channel, Break kind) { m_settings.breaks[std::size_t(channel)] = kind; }
    Reference reference() const { return m_reference; }
    std::uint16_t outputWord() const { return m_outputWord; }

    // Started and still below the frame limit.
    bool streaming() const;
    bool limitReached() const;

    // One analog and one digital frame, with whatever faults fall due. False when
    // nothing was sent because the card is in a quiet spell or not streaming.
    bool sendFrames(Clock::time_point now);
    // End of the quiet spell running at `now`, if any.
    std::optional<Clock::time_point> quietUntil(Clock::time_point now);

    // The card comes back after losing power: output word 0, stopped unless it
    // starts by itself; what was queued for the old port is gone.
    void powerCycle();

    const Tally &tally() const { return m_tally; }

    // Queues the lines held back for a merged write now.
    void flushGathered(Clock::time_point now);

private:
    void send(const std::string &line, Clock::time_point now);
    void queue(const std::string &text, Clock::time_point now);

    CardSettings m_settings;
    OutputQueue &m_out;
    FaultInjector m_faults;
    Clock::time_point m_poweredUp;
    Reference m_reference;
    bool m_started;
    std::uint16_t m_outputWord = 0;
    std::uint64_t m_framesSent = 0;
    Tally m_tally;

    std::string m_gathered; // lines held back to go out in one write
    int m_gatheredLines = 0;
    int m_batch = 1;

    Clock::time_point m_quietStart;
    Clock::time_point m_quietEnd;
};

} // namespace tarv::sim
