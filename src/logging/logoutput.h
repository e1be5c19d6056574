#pragma once

#include "acquisition/output.h"
#include "acquisition/reportingprompts.h"
#include "logging/logger.h"

namespace tarv::logging {

// The periodic logger as one of the session's outputs. The desktop program starts
// logging from its dialog; an unattended run starts it with the run, continuing the
// log, and keeps it on across a reload even when the file cannot be written then.
class LogOutput final : public acquisition::Output
{
public:
    LogOutput(acquisition::OutputHost &host, bool logAtStart);

    Logger &logger() { return m_logger; }
    // The first start could not create the log: the run cannot log at all.
    bool startFailed() const { return m_startFailed; }

    void start(const core::IniFile &ini, QStringList &problems) override;
    void tick() override { m_logger.tick(); }
    std::vector<acquisition::Metric> metrics() const override;

private:
    acquisition::OutputHost &m_host;
    acquisition::ReportingPrompts m_prompts;
    Logger m_logger;
    bool m_logAtStart;
    bool m_started = false;
    bool m_startFailed = false;
};

} // namespace tarv::logging
