#include "ui/trend/trendmemory.h"

#include <algorithm>

namespace tarv::ui {

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

TrendModel lookBackModel(const TrendMemory &memory, qint64 newest, const TrendModel &shape)
{
    TrendModel model = shape;
    const int span = std::clamp(shape.pointCount, 1, TrendModel::SlotCount - 1);
    for (int c = 0; c < core::ChannelCount; ++c) {
        model.history[c].fill(0);
        for (int j = 0; j <= span; ++j)
            if (const qint64 second = newest - span + j; memory.contains(second))
                model.history[c][j] = memory.at(second).values[c];
    }
    if (memory.contains(newest)) {
        const QDateTime end = QDateTime::fromMSecsSinceEpoch(memory.at(newest).msecs);
        model.endTime = end.toString(QStringLiteral("hh:mm:ss"));
        model.startTime = end.addSecs(-span).toString(QStringLiteral("hh:mm:ss"));
    }
    return model;
}

} // namespace tarv::ui
