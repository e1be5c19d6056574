#include "service/acquisitionservice.h"

#include "core/clock.h"
#include "core/numberformat.h"
#include "core/startup.h"
#include "link/cardlink.h"
#include "link/portdiagnosis.h"
#include "link/portresolver.h"
#include "logging/logformat.h"
#include "logging/logger.h"
#include "publish/publisher.h"

#include <QDir>
#include <QStringList>
#include <QTimer>

namespace tarv::service {

namespace {

using namespace std::chrono_literals;

QString portName(int comPort)
{
    return QStringLiteral("COM %1").arg(comPort);
}

QString failureText(const link::ChannelFailures &failures)
{
    QStringList parts;
    for (const link::ChannelFailure &failure : failures)
        parts.append(QStringLiteral("channel %1: %2")
                         .arg(failure.channel)
                         .arg(link::describe(failure.error)));
    return parts.join(QStringLiteral(", "));
}

} // namespace

AcquisitionService::AcquisitionService(
    const ServiceOptions &options, const core::Clock &clock, Journal &journal, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_clock(clock)
    , m_journal(journal)
    , m_prompts(journal)
    , m_link(new link::CardLink(m_state, this))
    , m_logger(new logging::Logger(m_state, clock, m_prompts, this))
    , m_publisher(new publish::Publisher(m_state, *m_link, clock, this))
    , m_tmrSave(new QTimer(this))
{
    m_tmrSave->setObjectName(QStringLiteral("tmrSave"));
    m_tmrSave->setInterval(1s);
    connect(m_tmrSave, &QTimer::timeout, this, &AcquisitionService::tick);

    connect(m_link, &link::CardLink::versionReceived, this, &AcquisitionService::onVersion);
    connect(m_link, &link::CardLink::conversionFailed, this, &AcquisitionService::onConversion);
    connect(m_link, &link::CardLink::analogFrameAccepted, this, &AcquisitionService::onAnalogFrame);
    connect(
        m_link, &link::CardLink::openAttemptFailed, this, &AcquisitionService::reportOpenFailure);
    connect(m_link, &link::CardLink::taskStateChanged, this, [this](bool running) {
        m_journal.info(running ? QStringLiteral("task started") : QStringLiteral("task stopped"));
    });
    connect(m_link, &link::CardLink::portLost, this, [this](const QString &reason) {
        m_journal.warning(QStringLiteral("%1 lost (%2); looking for it every 2 s")
                              .arg(portName(m_state.comPort), reason));
    });
    connect(m_publisher, &publish::Publisher::connectionChanged, this,
        [this](bool connected, const QString &reason) {
            const QString broker = m_publisher->settings().brokerName();
            if (connected)
                m_journal.info(QStringLiteral("broker %1 connected").arg(broker));
            else
                m_journal.warning(
                    QStringLiteral("broker %1 not connected: %2").arg(broker, reason));
        });
    connect(m_publisher, &publish::Publisher::commandRefused, this, [this](const QString &kind) {
        m_journal.warning(QStringLiteral("output command refused: %1").arg(kind));
    });
    connect(m_link, &link::CardLink::portReopened, this, [this] {
        m_lastOpenProblem.clear();
        m_journal.info(QStringLiteral("%1 opened").arg(portName(m_state.comPort)));
    });
}

AcquisitionService::~AcquisitionService() = default;

bool AcquisitionService::start()
{
    core::StartupOptions startup;
    startup.appPath = m_options.dir;
    startup.tableDirs = m_options.tableDirs;
    startup.rewriteOnFallback = false;
    const core::StartupResult started = core::Main(m_state, startup, nullptr);
    if (!started.ok) {
        m_journal.error(started.errorMessage);
        m_exitCode = TablesUnusable;
        return false;
    }
    if (started.fallbackTaken)
        m_journal.warning(
            QStringLiteral("settings: %1; the rest are the defaults").arg(started.fallbackReason));
    if (m_options.comPort)
        m_state.comPort = core::Integer(*m_options.comPort);

    if (m_options.log && !m_options.once && !startLogging()) {
        m_exitCode = LogNotCreated;
        return false;
    }
    if (m_options.once) {
        m_onceLimit = new QTimer(this);
        m_onceLimit->setSingleShot(true);
        connect(m_onceLimit, &QTimer::timeout, this, [this] {
            m_journal.error(
                QStringLiteral("no analog frame came within %1 s%2")
                    .arg(m_options.onceLimit.count() / 1000.0)
                    .arg(m_lastOpenProblem.isEmpty() ? QString()
                                                     : QStringLiteral(": ") + m_lastOpenProblem));
            if (m_state.taskRunning == core::True)
                m_link->stopAtClose();
            finish(NoFrame);
        });
        m_onceLimit->start(m_options.onceLimit);
    }

    if (!m_options.once)
        startPublishing();
    openPort();
    if (m_exitCode != CleanStop)
        return false;
    m_tmrSave->start();
    return true;
}

void AcquisitionService::startPublishing()
{
    const publish::PublishSettingsRead read = publish::readPublishSettings(m_state.appPath);
    for (const QString &problem : read.problems)
        m_journal.warning(QStringLiteral("tarvane.ini: %1; its default is used").arg(problem));
    publish::ConnectionParams timing;
    timing.firstRetry = m_options.brokerRetry;
    m_publisher->configure(read.settings, read.password, timing);
    if (read.settings.enabled)
        m_journal.info(QStringLiteral("publishing to %1 under %2")
                           .arg(read.settings.brokerName(), read.settings.prefix()));
}

void AcquisitionService::openPort()
{
    const int comPort = m_state.comPort;
    const QString appPath = m_state.appPath;
    m_link->setDeviceFinder(
        [comPort, appPath] { return link::resolvePortDevice(comPort, appPath); });
    const QString device = link::resolvePortDevice(comPort, appPath);
    if (!device.isEmpty() && m_link->openPort(device)) {
        m_lastOpenProblem.clear();
        m_journal.info(QStringLiteral("%1 opened (%2)").arg(portName(comPort), device));
        return;
    }
    if (!device.isEmpty()) {
        const link::PortProblem problem
            = link::diagnoseOpenFailure(device, m_link->portErrorString());
        // Another program has the port: the unit tries again after a pause, by
        // which time the desktop program may have let it go.
        if (problem.fault == link::PortFault::InUse) {
            m_journal.error(QStringLiteral("%1: %2").arg(portName(comPort), problem.reason));
            m_exitCode = PortInUse;
            return;
        }
    }
    reportOpenFailure(device, m_link->portErrorString());
    m_link->keepLookingForPort();
}

void AcquisitionService::reportOpenFailure(const QString &device, const QString &error)
{
    const link::PortProblem problem = device.isEmpty()
        ? link::missingPort(m_state.comPort, m_state.appPath)
        : link::diagnoseOpenFailure(device, error);
    if (problem.reason == m_lastOpenProblem)
        return;
    m_lastOpenProblem = problem.reason;
    m_journal.warning(QStringLiteral("%1 not open: %2; looking for it every 2 s")
                          .arg(portName(m_state.comPort), problem.reason));
}

bool AcquisitionService::startLogging()
{
    if (!logging::anyChannelEnabled(m_state)) {
        m_journal.warning(
            QStringLiteral("no channel is enabled for saving; acquiring without a log"));
        return true;
    }
    const logging::Logger::StartResult started
        = m_logger->start(logging::Logger::StartMode::Continue);
    if (!started.ok) {
        m_journal.error(started.error);
        return false;
    }
    m_journal.info(QStringLiteral("logging to %1 every %2 s")
                       .arg(QDir::toNativeSeparators(m_state.saveFileName))
                       .arg(m_state.savePeriodTicks));
    return true;
}

void AcquisitionService::reload()
{
    core::AcquisitionState fresh;
    core::applyDefaults(fresh);
    fresh.appPath = m_state.appPath;
    if (const core::ReadResult read = core::readSettingsFiles(fresh); !read.ok) {
        fresh.comPort = 1;
        m_journal.warning(QStringLiteral("settings: %1: %2; the rest are the defaults")
                              .arg(QDir::toNativeSeparators(read.path), read.error));
    }
    if (m_options.comPort)
        fresh.comPort = core::Integer(*m_options.comPort);
    const bool newPort = fresh.comPort != m_state.comPort;
    core::copySettings(fresh, m_state);
    m_journal.info(QStringLiteral("settings read again"));

    // A log that cannot be created now is reported; acquisition goes on.
    m_state.savingActive = core::False;
    if (m_options.log && !m_options.once)
        startLogging();
    if (!m_options.once)
        startPublishing();
    if (newPort) {
        m_state.cardConnected = m_state.taskRunning = core::False;
        openPort();
        if (m_exitCode != CleanStop) {
            finish(m_exitCode);
            return;
        }
    }
}

void AcquisitionService::stop()
{
    if (m_state.taskRunning == core::True)
        m_link->stopAtClose();
    m_publisher->stop();
    m_journal.info(QStringLiteral("stopped"));
    finish(CleanStop);
}

void AcquisitionService::tick()
{
    m_logger->tick();
    m_publisher->tick();
}

void AcquisitionService::onVersion(const QString &version)
{
    m_journal.info(QStringLiteral("card answered, version %1").arg(version.trimmed()));
    // After a loss the link restarts a task that was running by itself.
    if (m_state.taskRunning != core::True)
        m_link->taskStart();
}

void AcquisitionService::onConversion(const link::ChannelFailures &failures)
{
    // As the desktop's box: a set of faults is told once; a clean frame forgets it.
    if (failures == m_failuresReported)
        return;
    m_failuresReported = failures;
    if (failures.empty())
        m_journal.info(QStringLiteral("every channel converts again"));
    else
        m_journal.warning(QStringLiteral("conversion failed: %1").arg(failureText(failures)));
}

void AcquisitionService::onAnalogFrame()
{
    if (!m_options.once || m_finished)
        return;
    // The values the logger would write, with "." whatever the regional settings.
    QStringList fields;
    for (int c = 0; c < core::ChannelCount; ++c)
        fields.append(core::formatGeneral(m_state.channelValues[c]));
    fields.append(core::formatGeneral(m_state.ambientTemp));
    m_journal.output(fields.join(u','));
    m_link->stopAtClose();
    finish(CleanStop);
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
