#include "acquisition/outputwriter.h"

#include "link/cardlink.h"

namespace tarv::acquisition {

OutputWriter::OutputWriter(
    const core::AcquisitionState &state, link::CardLink &link, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_link(link)
{
    m_soon.setSingleShot(true);
    m_soon.setInterval(0);
    connect(&m_soon, &QTimer::timeout, this, &OutputWriter::flush);
    m_hold.setSingleShot(true);
    m_hold.setInterval(Hold);
    connect(&m_hold, &QTimer::timeout, this, &OutputWriter::onHoldEnded);
}

void OutputWriter::request()
{
    if (m_hold.isActive())
        m_pending = true;
    else if (!m_soon.isActive())
        m_soon.start();
}

void OutputWriter::flush()
{
    m_soon.stop();
    m_pending = false;
    m_written = link::CardLink::digitalOutputCommand(m_state);
    m_link.writeOutputs();
    m_hold.start();
}

void OutputWriter::onHoldEnded()
{
    // Changed and changed back within the hold: the card already has it.
    if (m_pending && link::CardLink::digitalOutputCommand(m_state) != m_written)
        flush();
    m_pending = false;
}

} // namespace tarv::acquisition
