#pragma once

#include "core/acquisitionstate.h"

#include <QDateTime>

#include <array>
#include <cstddef>
#include <vector>

namespace tarv::history {

// Every second seen, up to a day: the stamp of the tick and the eight channel
// values. When full, the oldest second goes first. Seconds are numbered from 0 at
// the first one kept, so a number names the same second for as long as it is kept.
// No windows here: the trend window keeps one while it is open, and a session keeps
// one for whatever shows history without a window.
class TrendMemory
{
public:
    static constexpr qint64 Capacity = 24 * 60 * 60;

    struct Second
    {
        qint64 msecs; // the tick's local time, as milliseconds since the epoch
        std::array<float, core::ChannelCount> values; // NaN where the value was bad
        std::array<core::ChannelQuality, core::ChannelCount> quality;
    };

    // A value whose quality is bad is kept as NaN: drawn, it is a gap, not a spike
    // at a number no sensor measured.
    void append(const QDateTime &when, const core::ChannelArray<core::Single> &values,
        const core::ChannelArray<core::ChannelQuality> &quality = {});

    qint64 oldest() const { return m_count - qint64(m_seconds.size()); }
    qint64 newest() const { return m_count - 1; } // -1 before the first tick
    bool contains(qint64 second) const { return second >= oldest() && second <= newest(); }
    const Second &at(qint64 second) const { return m_seconds[std::size_t(second % Capacity)]; }

    // Heap bytes held for the seconds, reserved ones included.
    std::size_t bytes() const { return m_seconds.capacity() * sizeof(Second); }

private:
    // Grows as the seconds come, so a short session holds little; once a day is
    // held, each new second overwrites the oldest in place.
    std::vector<Second> m_seconds;
    qint64 m_count = 0;
};

} // namespace tarv::history
