#include "history/historyoutput.h"

#include "core/clock.h"

#include <limits>

namespace tarv::history {

void HistoryOutput::tick()
{
    core::ChannelArray<core::Single> values;
    if (std::exchange(m_fresh, false))
        values = m_host.state().channelValues;
    else
        values.fill(std::numeric_limits<float>::quiet_NaN());
    m_memory.append(m_host.clock().now(), values);
}

} // namespace tarv::history
