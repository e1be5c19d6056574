#include "logging/logoutput.h"

#include "core/inifile.h"
#include "logging/logformat.h"
#include "logging/logoptions.h"

#include <QDir>

namespace tarv::logging {

LogOutput::LogOutput(acquisition::OutputHost &host, bool logAtStart)
    : m_host(host)
    , m_prompts(host, acquisition::Topic::Log)
    , m_logger(host.state(), host.clock(), m_prompts)
    , m_logAtStart(logAtStart)
{ }

void LogOutput::start(const core::IniFile &ini, QStringList &problems)
{
    const core::IniGroup group = ini.group(QStringLiteral("log"), QStringLiteral("[log] "));
    m_logger.setOptions(readLogOptions(group, problems));
    if (!m_logAtStart)
        return;
    using acquisition::Severity;
    using acquisition::Topic;
    core::AcquisitionState &state = m_host.state();
    const bool reload = std::exchange(m_started, true);
    state.savingActive = core::False;
    if (!anyChannelEnabled(state)) {
        m_host.report({Topic::Log, Severity::Warning,
            QStringLiteral("no channel is enabled for saving; acquiring without a log")});
        return;
    }
    // At the start a log that cannot be written ends the run, so the unit says so
    // at once; later the run is already logging and goes on, skipping lines until
    // the file can be written.
    const Logger::StartResult started = m_logger.start(Logger::StartMode::Continue, reload);
    if (!started.ok) {
        m_host.report({Topic::Log, Severity::Error, started.error});
        m_startFailed = true;
        return;
    }
    if (state.savingActive == core::True && m_logger.writeProblem().isEmpty())
        m_host.report({Topic::Log, Severity::Information,
            QStringLiteral("logging to %1 every %2 s")
                .arg(QDir::toNativeSeparators(m_logger.currentPath()))
                .arg(state.savePeriodTicks)});
}

std::vector<acquisition::Metric> LogOutput::metrics() const
{
    const QString counter = QStringLiteral("counter");
    return {{"tarvane_log_lines_written_total", "Log lines written", counter, {},
                double(m_logger.linesWritten())},
        {"tarvane_log_lines_skipped_total", "Log lines that could not be written", counter, {},
            double(m_logger.linesSkipped())}};
}

} // namespace tarv::logging
