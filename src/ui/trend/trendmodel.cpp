#include "ui/trend/trendmodel.h"

#include <cstdint>

namespace tarv::ui {

void shiftIn(TrendModel::History &history, int pointCount, float sample)
{
    for (int j = 0; j < pointCount; ++j)
        history[j] = history[j + 1];
    history[pointCount] = sample;
}

float chartX(int slot, int pointCount)
{
    // Product in 32 bits, quotient and sum in double precision, and only the
    // result narrowed to single precision: wide spans then place slots exactly.
    const std::int32_t scaled = std::int32_t(slot) * 10000;
    return float(1000.0 + double(scaled) / double(pointCount));
}

float chartY(float value, float range)
{
    return 11000.0f - value * 10000.0f / range;
}

} // namespace tarv::ui
