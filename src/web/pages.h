#pragma once

#include "acquisition/output.h"
#include "core/acquisitionstate.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <vector>

namespace tarv::history {
class TrendMemory;
}

namespace tarv::web {

// What the page's addresses answer, as pure functions of the state, so each can be
// checked without a network.

// Each channel's value (absent while bad or not a number) and quality (0 good,
// 1 uncertain, 2 bad) labelled with its number and name, and the card. The outputs
// give the rest (the alarms their own count).
std::vector<acquisition::Metric> stateMetrics(const core::AcquisitionState &state);

// The Prometheus text format: for each metric name, in the order first met, one
// # HELP and one # TYPE line, then every sample of that name.
QByteArray metricsText(const std::vector<acquisition::Metric> &metrics);

// The page's update, once a second: the card and its port, each channel (name, value
// in the analog view's form, quality, reason), the sixteen lines, the active alarms
// and the newest second of the history. `frame`: the last analog frame's arrival,
// milliseconds since the epoch, 0 before the first.
QByteArray liveMessage(
    const core::AcquisitionState &state, const history::TrendMemory *history, qint64 frame);

// The last `seconds` of the history (60 to a day), at most MaxTrendPoints of them
// evenly spaced: {"step": s, "t": [ms, ...], "v": [[8 values or null], ...]}.
inline constexpr int MaxTrendPoints = 3600;
QByteArray historyJson(const history::TrendMemory *history, int seconds);

} // namespace tarv::web
