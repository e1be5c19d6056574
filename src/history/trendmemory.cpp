#include "history/trendmemory.h"

#include <algorithm>
#include <limits>

namespace tarv::history {

void TrendMemory::append(const QDateTime &when, const core::ChannelArray<core::Single> &values,
    const core::ChannelArray<core::ChannelQuality> &quality)
{
    Second second {when.toMSecsSinceEpoch(), {}, {}};
    for (int c = 0; c < core::ChannelCount; ++c) {
        second.quality[c] = quality[c];
        second.values[c] = quality[c].level == core::Quality::Bad
            ? std::numeric_limits<float>::quiet_NaN()
            : values[c];
    }
    if (m_count < Capacity) {
        // Doubling, but never past a day: a full memory holds no spare capacity.
        if (m_seconds.size() == m_seconds.capacity())
            m_seconds.reserve(std::size_t(std::min(Capacity, std::max<qint64>(1024, 2 * m_count))));
        m_seconds.push_back(second);
    } else {
        m_seconds[std::size_t(m_count % Capacity)] = second;
    }
    ++m_count;
}

} // namespace tarv::history
