#pragma once

#include "core/acquisitionstate.h"

#include <QColor>
#include <QString>

#include <array>

namespace tarv::ui {

// Everything one drawing of the trend chart needs: the per-channel history, the
// span and full scale in effect, and what the last tick decided about colours,
// plotted channels and the axis texts. The window keeps one as its live state and
// hands a copy to the chart at every tick, so a repaint between ticks shows
// exactly what that tick drew.
struct TrendModel
{
    // Slot pointCount holds the newest sample and slot 0 the oldest one drawn.
    // Slots above pointCount are not drawn but keep their samples, so a later
    // wider span shows them again.
    static constexpr int SlotCount = 501;
    using History = std::array<float, SlotCount>;

    std::array<History, core::ChannelCount> history {};
    int pointCount = 10; // segments per trace; one sample a second
    float trendRange = 100; // value on the top grid line, never below 1

    std::array<QColor, core::ChannelCount> colors {};
    std::array<bool, core::ChannelCount> plotted {};
    // Input type of each channel at the tick: values read off the chart take the
    // legend's number form.
    std::array<int, core::ChannelCount> inputTypes {};
    QString endTime; // under the right end of the time axis
    QString startTime; // under the left end
    QString bottomLabel; // beside the bottom grid line
    QString topLabel; // beside the top grid line, the full scale
};

// The spans offered, in list order.
inline constexpr std::array<int, 5> TrendSpans = {10, 50, 100, 200, 500};

// Moves one channel's drawn history a slot to the left (the oldest sample drawn
// is lost) and stores the new sample in slot pointCount.
void shiftIn(TrendModel::History &history, int pointCount, float sample);

// The chart has a user scale of 12000 x 12000 with y downwards; the plot area is
// the square 1000..11000 on both axes.
inline constexpr int ChartUnits = 12000;

// x of slot j: slot 0 on the left grid line, slot pointCount on the right one.
float chartX(int slot, int pointCount);

// y of a value: 0 on the bottom grid line, range on the top one. Values outside
// 0..range land outside the plot area; nothing is clamped.
float chartY(float value, float range);

} // namespace tarv::ui
