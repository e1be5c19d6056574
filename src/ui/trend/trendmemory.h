#pragma once

#include "history/trendmemory.h"
#include "ui/trend/trendmodel.h"

namespace tarv::ui {

// The trend window keeps the seconds it has seen while open.
using TrendMemory = history::TrendMemory;

// The chart of the seconds ending at `newest`, drawn with the span, range,
// colours and plotted channels of `shape`: slot pointCount holds second newest
// and slot 0 the second pointCount earlier; seconds not kept read 0, as a fresh
// window's history does. The end label is that second's own stamp and the start
// label the span before it, as the live chart labels its edges.
TrendModel lookBackModel(const TrendMemory &memory, qint64 newest, const TrendModel &shape);

} // namespace tarv::ui
