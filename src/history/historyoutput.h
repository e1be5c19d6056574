#pragma once

#include "acquisition/output.h"
#include "history/trendmemory.h"

namespace tarv::history {

// The session's own memory of the last day, one entry a tick, for whatever shows
// history without a window: the web page. Kept only while that is on (a day costs
// about 5 MB); turned off, what was kept is let go. A bad value, and every channel of
// a second without data, is kept as a gap rather than as a number no sensor measured.
class HistoryOutput final : public acquisition::Output
{
public:
    explicit HistoryOutput(acquisition::OutputHost &host)
        : m_host(host)
    { }

    const TrendMemory &memory() const { return m_memory; }

    void start(const core::IniFile &ini, QStringList &problems) override;
    void tick() override;

private:
    acquisition::OutputHost &m_host;
    TrendMemory m_memory;
    bool m_keep = false;
};

} // namespace tarv::history
