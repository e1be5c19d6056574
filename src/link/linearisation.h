#pragma once

#include "core/acquisitionstate.h"
#include "link/conversionerror.h"

namespace tarv::link {

// Temperature of a PT-100 from its raw count and the count it reads at 0 deg C.
// The answer is the grid point or step midpoint that an upward scan of a 0.1-degree
// grid from -200 deg C finds (grid built by repeated addition of 0.1, so it carries
// the accumulated rounding: the point near 0 is -7.09e-12), returned bit for bit;
// the shipped solver finds it by bisection over the precomputed grid. rtdCal = 0 is
// a division by zero.
SolveResult SolvePt100(core::Integer raw, core::Integer rtdCal);

// Temperature of a type J (tcType 0) or type K (tcType 1) thermocouple with
// cold-junction compensation at the ambient temperature rounded to a whole degree.
// countsAboveZero is the raw count minus the channel's 200 mV zero, mvPerCount is
// 200 / (span - zero). Whole degrees or half-degree midpoints, as the upward table
// scan gives them; bisection assumes the tables increase (start-up refuses tables
// that do not). Any other tcType answers 0.
SolveResult ThermocoupleTemperature(core::Integer countsAboveZero, core::Integer tcType,
    double mvPerCount, const core::AcquisitionState &state);

// The PT-100 resistance ratio R(t)/R(0) - 1, evaluated in exactly this order.
constexpr double pt100Ratio(double t)
{
    return t * 0.00390802 - (t * 5.802e-7) * t;
}

} // namespace tarv::link
