#pragma once

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace tarv::sim {

// Ways the simulated card misbehaves on purpose, so that the program's receiver can
// be shown to survive a noisy line. Probabilities are per frame pair.
struct FaultSettings
{
    bool split = false; // each write in two or three pieces, a few ms apart
    bool merge = false; // two to four lines in one write
    double garbage = 0; // a junk line (random bytes, then CR) before the pair
    double overlong = 0; // a 5000-character line before the pair
    double malformed = 0; // each frame replaced by a damaged one of the right length
    double silenceSeconds = 0; // length of each quiet spell, 0 for none

    bool any() const
    {
        return split || merge || garbage > 0 || overlong > 0 || malformed > 0 || silenceSeconds > 0;
    }
};

// One write to the port and how long after the previous one it may go.
struct Piece
{
    std::string bytes;
    std::chrono::milliseconds delay {0};
};

// Draws every random decision from one seeded generator, so a run repeats exactly.
class FaultInjector
{
public:
    FaultInjector(const FaultSettings &settings, std::uint64_t seed);

    const FaultSettings &settings() const { return m_settings; }
    bool roll(double probability);

    // 1 to 80 bytes other than CR, then CR. Never 8 or 61 bytes long and never
    // starting with "V", so it cannot pass for a frame or a version reply.
    std::string junkLine();
    // 5000 printable characters, not starting with "V", then CR.
    std::string overlongLine();
    // The frame with one count field beyond a 16-bit count (32768..99999, either
    // sign). Same length, still ends in CR.
    std::string damageAnalog(std::string frame);
    // The frame with one digit made non-hexadecimal. Same length, still ends in CR.
    std::string damageDigital(std::string frame);

    // The text as the writes that carry it: one piece, or two or three when splitting.
    std::vector<Piece> pieces(const std::string &text);
    // Lines to gather into the next write: 1, or 2 to 4 when merging.
    int mergeBatch();
    // Time from the end of one quiet spell to the start of the next: 10 to 30 s.
    std::chrono::milliseconds quietGap();

private:
    int uniform(int low, int high);

    FaultSettings m_settings;
    std::mt19937_64 m_random;
};

} // namespace tarv::sim
