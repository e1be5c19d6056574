#include "ui/trend/trendmemory.h"

#include <algorithm>

namespace tarv::ui {

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
