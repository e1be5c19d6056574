#pragma once

#include "acquisition/output.h"
#include "history/trendmemory.h"

namespace tarv::history {

// The session's own memory of the last day, one entry a tick, for whatever shows
// history without a window. A second in which no analog frame came holds NaN in
// every channel, so it shows as a gap rather than as the last value again.
class HistoryOutput final : public acquisition::Output
{
public:
    explicit HistoryOutput(acquisition::OutputHost &host)
        : m_host(host)
    { }

    const TrendMemory &memory() const { return m_memory; }

    void start(const core::IniFile &, QStringList &) override { }
    void analogFrame() override { m_fresh = true; }
    void tick() override;

private:
    acquisition::OutputHost &m_host;
    TrendMemory m_memory;
    bool m_fresh = false;
};

} // namespace tarv::history
