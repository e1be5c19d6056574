#pragma once

#include "acquisition/output.h"
#include "acquisition/qualitywatch.h"
#include "core/startup.h"
#include "link/conversionerror.h"

#include <QObject>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

namespace tarv::core {
class Clock;
}
namespace tarv::link {
class CardLink;
}

namespace tarv::acquisition {

class OutputWriter;
class PortKeeper;
class Reporter;

struct SessionOptions
{
    // The service's way: a port that is not there is looked for until it comes, a
    // port another program holds ends the run, the task starts as soon as the card
    // answers, and "@F" goes out at the end only to a card whose task runs. The
    // desktop program leaves all of that to the operator.
    bool unattended = false;
    // Logging starts with the run and continues the log (the service without
    // --no-log); the desktop program starts it from File > Save.
    bool logAtStart = false;
    // Without outputs only the link runs, and quality changes are not told (the
    // service's --once, which tells for itself).
    bool outputs = true;
    std::optional<int> comPort; // instead of tarv.con's
    // The broker's first reconnect pause (doubling to a minute); tests shorten it.
    std::chrono::milliseconds brokerRetry {1000};
};

// One acquisition run, as both front ends assemble it: the card link and its port,
// the settings files and tarvane.ini (read at the start and again on reload), the
// one-second tick, every output, and the one way to the digital outputs. What
// changes is told once through the reporter; the windows keep reading the state.
class AcquisitionSession : public QObject, public OutputHost
{
    Q_OBJECT
public:
    enum class Outcome { Running, TablesUnusable, LogNotCreated, PortInUse };

    AcquisitionSession(core::AcquisitionState &state, const core::Clock &clock, Reporter &reporter,
        const SessionOptions &options, QObject *parent = nullptr);
    ~AcquisitionSession() override;

    // The unattended start: tables and settings files (never written back), then
    // begin().
    Outcome start(const core::StartupOptions &startup);
    // Once the settings are in the state: outputs started from tarvane.ini, the port
    // opened and the card asked for its version.
    Outcome begin();
    // tarvane.ini again, every output restarted with it (the desktop's dialogs).
    void startOutputs();
    // The settings files and tarvane.ini again (the service's SIGHUP): logging goes
    // on with the new settings, a new port number moves the link.
    Outcome reload();
    // Once a second: the logger's tick, then every other output's.
    void tick();
    // The end of the run: "@F", then every output stops.
    void stop();

    link::CardLink &link() { return *m_link; }
    // The registered output of that type, or null.
    template<typename T> T *output() const
    {
        for (const auto &o : m_outputs)
            if (auto *found = dynamic_cast<T *>(o.get()))
                return found;
        return nullptr;
    }
    // The outputs' lines for the status window.
    std::vector<OutputStatus> statuses() const;

    // OutputHost
    core::AcquisitionState &state() override { return m_state; }
    const core::Clock &clock() const override { return m_clock; }
    const link::ChannelFailures &conversionFaults() const override { return m_failures; }
    void report(const Report &report) override;
    std::vector<Metric> metrics() const override;
    const history::TrendMemory *history() const override;
    OutputRefusal setOutput(int line, bool on, OutputSource source) override;
    void flushOutputs() override;

private:
    void onConversion(const link::ChannelFailures &failures);
    void startOutputsFrom(const core::IniFile &ini);
    template<typename F> void eachOutput(F call)
    {
        for (const auto &o : m_outputs)
            call(*o);
    }

    core::AcquisitionState &m_state;
    const core::Clock &m_clock;
    Reporter &m_reporter;
    SessionOptions m_options;
    link::CardLink *m_link = nullptr;
    PortKeeper *m_port = nullptr;
    OutputWriter *m_writer = nullptr;
    QualityWatch m_quality {*this, m_options.outputs};
    std::vector<std::unique_ptr<Output>> m_outputs;
    link::ChannelFailures m_failures; // the last frame's
    link::ChannelFailures m_failuresReported;
    quint64 m_portLosses = 0;
};

// The outputs every session has, in the order they hear the tick: adding one is a
// line in registeredoutputs.cpp.
std::vector<std::unique_ptr<Output>> registeredOutputs(
    OutputHost &host, const SessionOptions &options);

} // namespace tarv::acquisition
