#include "history/historyoutput.h"

#include "core/clock.h"
#include "core/inifile.h"

namespace tarv::history {

void HistoryOutput::start(const core::IniFile &ini, QStringList &)
{
    // The web page's own reading of [web] reports its bad values; here only whether
    // it is on matters.
    QStringList ignored;
    m_keep = ini.group(QStringLiteral("web")).flag(QStringLiteral("enabled"), false, ignored);
    if (!m_keep)
        m_memory = {};
}

void HistoryOutput::tick()
{
    if (!m_keep)
        return;
    const core::AcquisitionState &state = m_host.state();
    m_memory.append(m_host.clock().now(), state.channelValues, state.channelQuality);
}

} // namespace tarv::history
