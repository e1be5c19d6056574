#include "history/trendmemory.h"

#include <algorithm>

namespace tarv::history {

void TrendMemory::append(const QDateTime &when, const core::ChannelArray<core::Single> &values)
{
    Second second {when.toMSecsSinceEpoch(), {}};
    std::copy_n(values.begin(), core::ChannelCount, second.values.begin());
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
