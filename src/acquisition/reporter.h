#pragma once

#include "acquisition/report.h"
#include "link/conversionerror.h"

#include <QStringList>

namespace tarv::acquisition {

// Where the session tells what changed, each condition once. The service writes
// journal lines; the desktop program shows boxes for some and lets its status
// window read the rest from the state.
class Reporter
{
public:
    virtual ~Reporter() = default;
    virtual void report(const Report &report) = 0;
    // The set of failing conversions changed; empty when every channel converts again.
    virtual void conversionFaults(const link::ChannelFailures &failures) = 0;
    // Values of tarvane.ini that fell back to their defaults, all of one reading.
    virtual void iniProblems(const QStringList &problems) = 0;
};

} // namespace tarv::acquisition
