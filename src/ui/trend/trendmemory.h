#pragma once

#include "core/acquisitionstate.h"
#include "ui/trend/trendmodel.h"

#include <QDateTime>

#include <array>
#include <cstddef>
#include <vector>

namespace tarv::ui {

// Every second the trend window has seen while open, up to a day: the stamp of
// the tick and the eight channel values, whatever the span shows. When full, the
// oldest second goes first. Seconds are numbered from 0 at the window's first
// tick, so a number names the same second for as long as it is kept.
class TrendMemory
{
public:
    static constexpr qint64 Capacity = 24 * 60 * 60;

    struct Second
    {
        qint64 msecs; // the tick's local time, as milliseconds since the epoch
        std::array<float, core::ChannelCount> values;
    };

    void append(const QDateTime &when, const core::ChannelArray<core::Single> &values);

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

// The chart of the seconds ending at `newest`, drawn with the span, range,
// colours and plotted channels of `shape`: slot pointCount holds second newest
// and slot 0 the second pointCount earlier; seconds not kept read 0, as a fresh
// window's history does. The end label is that second's own stamp and the start
// label the span before it, as the live chart labels its edges.
TrendModel lookBackModel(const TrendMemory &memory, qint64 newest, const TrendModel &shape);

} // namespace tarv::ui
