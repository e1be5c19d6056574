#include "history/historyoutput.h"

#include "core/clock.h"

namespace tarv::history {

void HistoryOutput::tick()
{
    const core::AcquisitionState &state = m_host.state();
    m_memory.append(m_host.clock().now(), state.channelValues, state.channelQuality);
}

} // namespace tarv::history
