#include "acquisition/acquisitionsession.h"

#include "acquisition/outputwriter.h"
#include "acquisition/portkeeper.h"
#include "acquisition/reporter.h"
#include "core/inifile.h"
#include "history/historyoutput.h"
#include "link/cardlink.h"
#include "logging/logoutput.h"

#include <QDir>

namespace tarv::acquisition {

AcquisitionSession::AcquisitionSession(core::AcquisitionState &state, const core::Clock &clock,
    Reporter &reporter, const SessionOptions &options, QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_clock(clock)
    , m_reporter(reporter)
    , m_options(options)
    , m_link(new link::CardLink(state, this))
    , m_port(new PortKeeper(state, *m_link, reporter, options.unattended, this))
    , m_writer(new OutputWriter(state, *m_link, this))
{
    if (options.outputs)
        m_outputs = registeredOutputs(*this, options);

    connect(m_link, &link::CardLink::conversionFailed, this, &AcquisitionSession::onConversion);
    connect(m_link, &link::CardLink::analogFrameAccepted, this, [this] {
        m_quality.analogFrame();
        eachOutput([](Output &o) { o.analogFrame(); });
    });
    connect(m_link, &link::CardLink::digitalFrameAccepted, this,
        [this] { eachOutput([](Output &o) { o.digitalFrame(); }); });
    const auto cardChanged = [this] {
        m_quality.cardChanged();
        eachOutput([](Output &o) { o.cardChanged(); });
    };
    connect(m_link, &link::CardLink::portLost, this, cardChanged);
    connect(m_link, &link::CardLink::portLost, this, [this] { ++m_portLosses; });
    connect(m_link, &link::CardLink::portReopened, this, cardChanged);
    connect(m_link, &link::CardLink::versionReceived, this, [this, cardChanged](const QString &v) {
        report({Topic::Card, Severity::Information,
            QStringLiteral("card answered, version %1").arg(v.trimmed())});
        cardChanged();
        // After a loss the link restarts a task that was running by itself.
        if (m_options.unattended && m_state.taskRunning != core::True)
            m_link->taskStart();
    });
    connect(m_link, &link::CardLink::taskStateChanged, this, [this](bool running) {
        report({Topic::Task, Severity::Information,
            running ? QStringLiteral("task started") : QStringLiteral("task stopped")});
        eachOutput([running](Output &o) { o.taskChanged(running); });
    });
}

AcquisitionSession::~AcquisitionSession()
{
    // Outputs may still hold connections that report to this session.
    m_outputs.clear();
}

AcquisitionSession::Outcome AcquisitionSession::start(const core::StartupOptions &startup)
{
    core::StartupOptions options = startup;
    options.rewriteOnFallback = false; // the operator's files are not ours to write
    const core::StartupResult started = core::Main(m_state, options, nullptr);
    if (!started.ok) {
        report({Topic::Settings, Severity::Error, started.errorMessage});
        return Outcome::TablesUnusable;
    }
    if (started.fallbackTaken)
        report({Topic::Settings, Severity::Warning,
            QStringLiteral("settings: %1; the rest are the defaults").arg(started.fallbackReason)});
    return begin();
}

AcquisitionSession::Outcome AcquisitionSession::begin()
{
    if (m_options.comPort)
        m_state.comPort = core::Integer(*m_options.comPort);
    startOutputs();
    if (const auto *log = output<logging::LogOutput>(); log && log->startFailed())
        return Outcome::LogNotCreated;
    const PortKeeper::Result opened = m_port->open();
    m_quality.cardChanged(); // no card has answered yet
    return opened == PortKeeper::Result::InUse ? Outcome::PortInUse : Outcome::Running;
}

void AcquisitionSession::startOutputs()
{
    startOutputsFrom(core::IniFile::read(m_state.appPath));
}

void AcquisitionSession::startOutputsFrom(const core::IniFile &ini)
{
    QStringList problems;
    if (!ini.readError().isEmpty())
        problems << ini.readError();
    eachOutput([&](Output &o) { o.start(ini, problems); });
    if (!problems.isEmpty())
        m_reporter.iniProblems(problems);
}

AcquisitionSession::Outcome AcquisitionSession::reload()
{
    core::AcquisitionState fresh;
    core::applyDefaults(fresh);
    fresh.appPath = m_state.appPath;
    if (const core::ReadResult read = core::readSettingsFiles(fresh); !read.ok) {
        fresh.comPort = 1;
        report({Topic::Settings, Severity::Warning,
            QStringLiteral("settings: %1: %2; the rest are the defaults")
                .arg(QDir::toNativeSeparators(read.path), read.error)});
    }
    if (m_options.comPort)
        fresh.comPort = core::Integer(*m_options.comPort);
    const bool newPort = fresh.comPort != m_state.comPort;
    core::copySettings(fresh, m_state);
    report({Topic::Settings, Severity::Information, QStringLiteral("settings read again")});
    startOutputs();
    if (newPort && m_port->move() == PortKeeper::Result::InUse)
        return Outcome::PortInUse;
    m_quality.cardChanged();
    eachOutput([](Output &o) { o.cardChanged(); });
    return Outcome::Running;
}

void AcquisitionSession::tick()
{
    m_quality.tick();
    eachOutput([](Output &o) { o.tick(); });
}

void AcquisitionSession::stop()
{
    // The outputs first: a safe state goes out before the card is told to stop.
    eachOutput([](Output &o) { o.stop(); });
    if (!m_options.unattended || m_state.taskRunning == core::True)
        m_link->stopAtClose();
}

std::vector<OutputStatus> AcquisitionSession::statuses() const
{
    std::vector<OutputStatus> lines;
    for (const auto &o : m_outputs)
        if (const auto status = o->status())
            lines.push_back(*status);
    return lines;
}

std::vector<Metric> AcquisitionSession::metrics() const
{
    const link::LinkCounters &n = m_link->counters();
    const QString counter = QStringLiteral("counter");
    std::vector<Metric> all {
        {"tarvane_frames_accepted_total", "Frames accepted from the card", counter,
            {{"kind", "analog"}}, double(n.analogAccepted)},
        {"tarvane_frames_accepted_total", "Frames accepted from the card", counter,
            {{"kind", "digital"}}, double(n.digitalAccepted)},
        {"tarvane_frames_dropped_total", "Lines of the right length with unusable fields", counter,
            {}, double(n.framesDropped)},
        {"tarvane_lines_discarded_total", "Received lines of no known length", counter, {},
            double(n.linesDiscarded)},
        {"tarvane_port_losses_total", "Times the open port was lost", counter, {},
            double(m_portLosses)},
    };
    for (const auto &o : m_outputs)
        for (Metric &m : o->metrics())
            all.push_back(std::move(m));
    return all;
}

const history::TrendMemory *AcquisitionSession::history() const
{
    const auto *kept = output<history::HistoryOutput>();
    return kept ? &kept->memory() : nullptr;
}

void AcquisitionSession::report(const Report &report)
{
    m_reporter.report(report);
}

OutputRefusal AcquisitionSession::setOutput(int line, bool on, OutputSource source)
{
    if (line < 0 || line >= core::LineCount)
        return OutputRefusal::NoSuchLine;
    const bool connected = m_state.cardConnected == core::True;
    const bool byRule = source == OutputSource::Alarm || source == OutputSource::SafeState;
    auto &command = m_state.doCommand[std::size_t(line)];
    // A line an alarm rule names is the rule's alone.
    if (!byRule && !m_state.lineOwner[std::size_t(line)].isEmpty())
        return OutputRefusal::OwnedByRule;
    // The operator's button works on any line and is remembered while the card is
    // silent: the next word sent carries it. Others may switch only output lines
    // of a card that listens, and only when something changes.
    if (source != OutputSource::Operator) {
        if (!connected)
            return OutputRefusal::NotConnected;
        if (m_state.dioDirection[std::size_t(line)] != core::True)
            return OutputRefusal::InputLine;
        if ((command == core::True) == on)
            return OutputRefusal::None;
    }
    command = core::toFlag(on);
    if (connected)
        m_writer->request();
    return OutputRefusal::None;
}

void AcquisitionSession::flushOutputs()
{
    if (m_state.cardConnected == core::True)
        m_writer->flush();
}

void AcquisitionSession::onConversion(const link::ChannelFailures &failures)
{
    m_failures = failures;
    // A set of faults is told once; a clean frame forgets it, so a fault that comes
    // back later is told again.
    if (failures == m_failuresReported)
        return;
    m_failuresReported = failures;
    m_reporter.conversionFaults(failures);
}

} // namespace tarv::acquisition
