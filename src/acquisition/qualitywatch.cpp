#include "acquisition/qualitywatch.h"

#include "acquisition/output.h"

namespace tarv::acquisition {

using core::Quality;
using core::QualityReason;

void QualityWatch::analogFrame()
{
    m_ticksSinceFrame = 0;
    m_silenceTold = false;
    if (m_tell)
        tellChanges();
}

void QualityWatch::tick()
{
    ++m_ticksSinceFrame;
    checkForData();
}

void QualityWatch::cardChanged()
{
    checkForData();
}

void QualityWatch::checkForData()
{
    core::AcquisitionState &s = m_host.state();
    const bool linkDown = s.cardConnected != core::True || s.portLost == core::True;
    const bool silent = s.taskRunning == core::True && m_ticksSinceFrame >= SilentTicks;
    if (!linkDown && !silent)
        return;
    s.channelQuality.fill({Quality::Bad, QualityReason::NoData});
    // A lost port or a silent card is told by the link; a card that answers but
    // sends nothing while its task runs is told here.
    if (m_tell && silent && !linkDown && !std::exchange(m_silenceTold, true))
        m_host.report({Topic::Quality, Severity::Warning,
            QStringLiteral(
                "no analog frame for %1 s while the task runs: every channel bad, no data")
                .arg(SilentTicks)});
}

void QualityWatch::tellChanges()
{
    const core::AcquisitionState &s = m_host.state();
    for (int c = 0; c < core::ChannelCount; ++c) {
        const core::ChannelQuality &now = s.channelQuality[c];
        if (now.reason == QualityReason::NoData || now == m_told[c])
            continue;
        m_told[c] = now;
        m_host.report(
            {Topic::Quality, now.level == Quality::Bad ? Severity::Warning : Severity::Information,
                QStringLiteral("channel %1 (%2): %3")
                    .arg(c)
                    .arg(s.channelNames[c], core::qualityDescription(now))});
    }
}

} // namespace tarv::acquisition
