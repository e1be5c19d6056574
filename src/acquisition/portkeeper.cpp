#include "acquisition/portkeeper.h"

#include "acquisition/reporter.h"
#include "core/acquisitionstate.h"
#include "link/cardlink.h"
#include "link/portdiagnosis.h"
#include "link/portresolver.h"

namespace tarv::acquisition {

PortKeeper::PortKeeper(core::AcquisitionState &state, link::CardLink &link, Reporter &reporter,
    bool unattended, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_link(link)
    , m_reporter(reporter)
    , m_unattended(unattended)
{
    connect(&link, &link::CardLink::openAttemptFailed, this,
        [this](const QString &device, const QString &error) {
            reportNotOpen(device.isEmpty() ? link::missingPort(m_state.comPort, m_state.appPath)
                                           : link::diagnoseOpenFailure(device, error));
        });
    connect(&link, &link::CardLink::portLost, this, [this](const QString &reason) {
        m_reporter.report({Topic::Port, Severity::Warning,
            QStringLiteral("%1 lost (%2); looking for it every 2 s").arg(comName(), reason)});
    });
    connect(&link, &link::CardLink::portReopened, this, [this] {
        m_lastProblem.clear();
        m_state.portFailure.clear();
        m_reporter.report({Topic::Port, Severity::Information, comName() + " opened"});
    });
}

QString PortKeeper::comName() const
{
    return QStringLiteral("COM %1").arg(m_state.comPort);
}

PortKeeper::Result PortKeeper::open()
{
    // A card unplugged and plugged back is looked for under the same port number,
    // which may lead to another device path by then.
    m_link.setDeviceFinder([comPort = m_state.comPort, appPath = m_state.appPath] {
        return link::resolvePortDevice(comPort, appPath);
    });
    const QString device = link::resolvePortDevice(m_state.comPort, m_state.appPath);
    if (!device.isEmpty() && m_link.openPort(device)) {
        m_lastProblem.clear();
        m_state.portFailure.clear();
        m_reporter.report({Topic::Port, Severity::Information,
            QStringLiteral("%1 opened (%2)").arg(comName(), device)});
        return Result::Opened;
    }
    // Why goes to the status window's tooltip: a missing device, one this user may
    // not open and one another program holds need different remedies.
    const link::PortProblem problem = device.isEmpty()
        ? link::missingPort(m_state.comPort, m_state.appPath)
        : link::diagnoseOpenFailure(device, m_link.portErrorString());
    m_state.portOpened = core::False;
    m_state.portFailure = problem.reason;
    // The desktop program leaves a port that is not there alone; the operator sees
    // "COM not found". A service has no operator to tell.
    if (!m_unattended)
        return Result::NotOpen;
    // Another program has the port: the unit tries again after a pause, by which
    // time the desktop program may have let it go.
    if (problem.fault == link::PortFault::InUse) {
        m_reporter.report({Topic::Port, Severity::Error,
            QStringLiteral("%1: %2").arg(comName(), problem.reason)});
        return Result::InUse;
    }
    reportNotOpen(problem);
    m_link.keepLookingForPort();
    return Result::NotOpen;
}

PortKeeper::Result PortKeeper::move()
{
    if (m_state.taskRunning == core::True)
        m_link.stopAtClose();
    m_link.closePort();
    m_lastProblem.clear();
    return open();
}

void PortKeeper::reportNotOpen(const link::PortProblem &problem)
{
    m_state.portFailure = problem.reason;
    if (problem.reason == m_lastProblem)
        return;
    m_lastProblem = problem.reason;
    m_reporter.report({Topic::Port, Severity::Warning,
        QStringLiteral("%1 not open: %2; looking for it every 2 s")
            .arg(comName(), problem.reason)});
}

} // namespace tarv::acquisition
