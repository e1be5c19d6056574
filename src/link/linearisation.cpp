#include "link/linearisation.h"

#include "core/numeric.h"

#include <algorithm>
#include <vector>

namespace tarv::link {

namespace {

// The PT-100 grid: T starts at -200 and advances by repeated addition of the
// double nearest 0.1, so point k carries the rounding accumulated over k steps.
// pt100Ratio is strictly increasing over -200..850, which lets a bisection find
// the same point an upward scan would.
constexpr int Pt100Steps = 10500;

struct Pt100Grid
{
    std::vector<double> t; // Pt100Steps + 1 points
    std::vector<double> f; // pt100Ratio at each point
};

const Pt100Grid &pt100Grid()
{
    static const Pt100Grid grid = [] {
        Pt100Grid g;
        g.t.reserve(Pt100Steps + 1);
        g.f.reserve(Pt100Steps + 1);
        double t = -200;
        for (int k = 0; k <= Pt100Steps; ++k) {
            g.t.push_back(t);
            g.f.push_back(pt100Ratio(t));
            t = t + 0.1;
        }
        return g;
    }();
    return grid;
}

// First k in [0, last) at which an upward scan stops: where table[k] == emf, or
// emf < table[k + 1]. Returns `last` when the scan runs off the end.
int scanStop(const double *table, int last, double emf)
{
    // For an increasing table the scan stops at the first k with emf < table[k+1];
    // before it, emf >= table[k+1] > table[k], so no earlier equality can stop it.
    const double *upper = std::upper_bound(table + 1, table + last + 1, emf);
    return int(upper - (table + 1));
}

double tableTemperature(const core::TcTable &table, int last, double emf)
{
    const int k = scanStop(table.data(), last, emf);
    if (k >= last)
        return last;
    return table[k] == emf ? double(k) : k + 0.5;
}

} // namespace

SolveResult SolvePt100(core::Integer raw, core::Integer rtdCal)
{
    if (rtdCal == 0)
        return SolveResult::fail(ConversionError::DivisionByZero);
    const double ratio = double(raw) / double(rtdCal) - 1;

    const Pt100Grid &g = pt100Grid();
    // The scan stops at the first k whose next point lies above the ratio; if none
    // does it ends on the last point.
    const auto upper = std::upper_bound(g.f.begin() + 1, g.f.end(), ratio);
    const auto k = upper - (g.f.begin() + 1);
    if (k >= Pt100Steps)
        return SolveResult::ok(g.t[Pt100Steps]);
    if (g.f[k] == ratio)
        return SolveResult::ok(g.t[k]);
    return SolveResult::ok(g.t[k] + 0.05);
}

SolveResult ThermocoupleTemperature(core::Integer countsAboveZero, core::Integer tcType,
    double mvPerCount, const core::AcquisitionState &state)
{
    const auto cj = core::toInteger(state.ambientTemp);
    if (!cj)
        return SolveResult::fail(ConversionError::Overflow);
    const double offset = double(countsAboveZero) * mvPerCount;

    if (tcType == 0) {
        if (*cj < 0 || *cj > 2000)
            return SolveResult::fail(ConversionError::SubscriptOutOfRange);
        const double emf = state.jTable[*cj] + offset;
        return SolveResult::ok(tableTemperature(state.jTable, 1099, emf));
    }
    if (tcType == 1) {
        const auto index = core::subtractInteger(*cj, -200);
        if (!index)
            return SolveResult::fail(ConversionError::Overflow);
        if (*index < 0 || *index > 2000)
            return SolveResult::fail(ConversionError::SubscriptOutOfRange);
        const double emf = state.kTable[*index] + offset;
        return SolveResult::ok(tableTemperature(state.kTable, 1569, emf) - 200);
    }
    return SolveResult::ok(0.0);
}

} // namespace tarv::link
