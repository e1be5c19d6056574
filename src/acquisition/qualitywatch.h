#pragma once

#include "core/acquisitionstate.h"

namespace tarv::acquisition {

class OutputHost;

// Keeps the channels' quality honest between frames and tells its changes. The link
// assesses every frame; this adds what no frame can say: no card, a lost port, or
// no analog frame for three seconds while the task runs make every channel bad (no
// data). A change of a channel is told once, with the channel's name from the
// logging settings; going without data is told once for all of them, and coming
// back from it is not news unless the channel itself changed meanwhile.
class QualityWatch
{
public:
    static constexpr int SilentTicks = 3;

    // Untold, only the state is kept honest (a quick check tells for itself).
    QualityWatch(OutputHost &host, bool tell)
        : m_host(host)
        , m_tell(tell)
    { }

    void analogFrame(); // after the link assessed it
    void tick();
    void cardChanged();

private:
    void checkForData();
    void tellChanges();

    OutputHost &m_host;
    bool m_tell;
    int m_ticksSinceFrame = 0;
    bool m_silenceTold = false;
    core::ChannelArray<core::ChannelQuality> m_told {}; // good until told otherwise
};

} // namespace tarv::acquisition
