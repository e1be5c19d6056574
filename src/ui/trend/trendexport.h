#pragma once

#include "core/acquisitionstate.h"
#include "ui/trend/trendmemory.h"
#include "ui/trend/trendmodel.h"

#include <QByteArray>
#include <QSize>

namespace tarv::ui {

// Seconds first..last of the memory (those still kept) as CSV, UTF-8, CR LF: a
// header "time" and the names of the channels drawn, then one row a second. The
// time is local ISO 8601 with its UTC offset, so rows stay in order and unique
// across a clock change; values are the shortest "." digits that read back as
// the same float. Fields holding a comma, a double quote or a line break are
// quoted, their quotes doubled.
QByteArray trendCsv(const TrendMemory &memory, qint64 first, qint64 last,
    const std::array<bool, core::ChannelCount> &drawn, const core::ChannelArray<QString> &names);

// The chart as a PNG of size x ratio pixels, drawn at that density rather than
// scaled up, so a picture from a dense screen is as sharp as the screen.
QByteArray trendPng(const TrendModel &model, QSize size, qreal ratio);

} // namespace tarv::ui
