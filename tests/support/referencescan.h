#pragma once

// Plain transcriptions of the temperature scans as the card's documentation
// describes them: walk the grid upward from the bottom of the range. They are the
// oracle for the shipped solvers, which must give bit-identical answers faster.

#include "core/acquisitionstate.h"
#include "link/linearisation.h"

#include <optional>

namespace tarv::testsupport {

// Nothing when rtdCal is 0 (a division by zero).
inline std::optional<double> referencePt100(core::Integer raw, core::Integer rtdCal)
{
    if (rtdCal == 0)
        return std::nullopt;
    const double ratio = double(raw) / double(rtdCal) - 1;
    double t = -200;
    while (t < 850) {
        if (link::pt100Ratio(t) == ratio)
            return t;
        if (link::pt100Ratio(t + 0.1) > ratio)
            return t + 0.05;
        t = t + 0.1;
    }
    return t;
}

// The table scan for a given EMF; `last` is 1099 for type J and 1569 for type K.
inline double referenceTableScan(const core::TcTable &table, int last, double emf)
{
    double t = 0;
    for (;;) {
        const int k = int(t);
        if (emf == table[k])
            return t;
        if (emf < table[k + 1])
            return t + 0.5;
        t = t + 1;
        if (!(t < last))
            return t;
    }
}

} // namespace tarv::testsupport
