#include "service/acquisitionservice.h"

#include "acquisition/acquisitionsession.h"
#include "core/clock.h"
#include "core/numberformat.h"
#include "link/cardlink.h"
#include "logging/logformat.h"
#include "publish/payloads.h"
#include "publish/publisher.h"

#include <QStringList>
#include <QTimer>

namespace tarv::service {

namespace {

using namespace std::chrono_literals;
using Outcome = acquisition::AcquisitionSession::Outcome;

acquisition::SessionOptions sessionOptions(const ServiceOptions &options)
{
    acquisition::SessionOptions session;
    session.unattended = true;
    session.logAtStart = options.log;
    session.outputs = !options.once; // a quick check logs and publishes nothing
    session.comPort = options.comPort;
    session.brokerRetry = options.brokerRetry;
    return session;
}

int exitCodeFor(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Running:
        return CleanStop;
    case Outcome::TablesUnusable:
        return TablesUnusable;
    case Outcome::LogNotCreated:
        return LogNotCreated;
    case Outcome::PortInUse:
        return PortInUse;
    }
    return CleanStop;
}

} // namespace

AcquisitionService::AcquisitionService(
    const ServiceOptions &options, const core::Clock &clock, Journal &journal, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_clock(clock)
    , m_journal(journal)
    , m_reporter(journal)
    , m_session(new acquisition::AcquisitionSession(
          m_state, clock, m_reporter, sessionOptions(options), this))
    , m_tmrSave(new QTimer(this))
{
    m_tmrSave->setObjectName(QStringLiteral("tmrSave"));
    m_tmrSave->setInterval(1s);
    connect(m_tmrSave, &QTimer::timeout, this, &AcquisitionService::tick);
    connect(
        &link(), &link::CardLink::analogFrameAccepted, this, &AcquisitionService::onAnalogFrame);
}

AcquisitionService::~AcquisitionService() = default;

link::CardLink &AcquisitionService::link()
{
    return m_session->link();
}

publish::Publisher &AcquisitionService::publisher()
{
    return *m_session->output<publish::Publisher>();
}

bool AcquisitionService::start()
{
    if (m_options.once) {
        m_onceLimit = new QTimer(this);
        m_onceLimit->setSingleShot(true);
        connect(m_onceLimit, &QTimer::timeout, this, [this] {
            m_journal.error(QStringLiteral("no analog frame came within %1 s%2")
                                .arg(m_options.onceLimit.count() / 1000.0)
                                .arg(m_state.portFailure.isEmpty()
                                        ? QString()
                                        : QStringLiteral(": ") + m_state.portFailure));
            if (m_state.taskRunning == core::True)
                link().stopAtClose();
            finish(NoFrame);
        });
    }
    core::StartupOptions startup;
    startup.appPath = m_options.dir;
    startup.tableDirs = m_options.tableDirs;
    m_exitCode = exitCodeFor(m_session->start(startup));
    if (m_exitCode != CleanStop)
        return false;
    if (m_onceLimit)
        m_onceLimit->start(m_options.onceLimit);
    m_tmrSave->start();
    return true;
}

void AcquisitionService::reload()
{
    if (const int code = exitCodeFor(m_session->reload()); code != CleanStop)
        finish(code);
}

void AcquisitionService::stop()
{
    m_session->stop();
    m_journal.info(QStringLiteral("stopped"));
    finish(CleanStop);
}

void AcquisitionService::tick()
{
    m_session->tick();
}

void AcquisitionService::onAnalogFrame()
{
    if (!m_options.once || m_finished)
        return;
    if (m_options.json) {
        m_journal.output(QString::fromLatin1(publish::analogPayload(m_state,
            QDateTime::fromMSecsSinceEpoch(m_clock.msecsSinceEpoch(), Qt::UTC),
            m_session->conversionFaults())));
    } else {
        // The values the logger would write, with "." whatever the regional settings.
        QStringList fields;
        for (int c = 0; c < core::ChannelCount; ++c)
            fields.append(core::formatGeneral(m_state.channelValues[c]));
        fields.append(core::formatGeneral(m_state.ambientTemp));
        m_journal.output(fields.join(u','));
    }
    // A quick check of card, port and calibration: the channels that are logged (all
    // of them when none is) must be good.
    const bool anyLogged = logging::anyChannelEnabled(m_state);
    int code = CleanStop;
    for (int c = 0; c < core::ChannelCount; ++c) {
        const core::ChannelQuality &quality = m_state.channelQuality[c];
        if ((anyLogged && m_state.saveEnable[c] != core::True) || quality.good())
            continue;
        m_journal.warning(QStringLiteral("channel %1 (%2): %3")
                              .arg(c)
                              .arg(m_state.channelNames[c], core::qualityDescription(quality)));
        code = NotGood;
    }
    link().stopAtClose();
    finish(code);
}

void AcquisitionService::finish(int code)
{
    if (m_finished)
        return;
    m_finished = true;
    m_exitCode = code;
    m_tmrSave->stop();
    if (m_onceLimit)
        m_onceLimit->stop();
    emit finished(code);
}

} // namespace tarv::service
