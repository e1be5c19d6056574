#pragma once

#include "acquisition/report.h"
#include "core/acquisitionstate.h"
#include "link/conversionerror.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace tarv::core {
class Clock;
class IniFile;
} // namespace tarv::core
namespace tarv::history {
class TrendMemory;
}

namespace tarv::acquisition {

// Who asks for a digital output to change. The session decides between them.
enum class OutputSource { Operator, Remote, Alarm, SafeState };

// Why a wanted output state was not taken; None when it was.
enum class OutputRefusal { None, NoSuchLine, NotConnected, InputLine, OwnedByRule };

// An output's line in the status window: `name` is the label's objectName; the
// line shows only while `shown` (while publishing is on, while rules exist), so
// without them the window is as it always was.
struct OutputStatus
{
    QString name;
    QString text;
    QString tip;
    bool shown = false;
};

// One figure for a metrics endpoint, in the Prometheus text format's terms: name and
// help text, "gauge" or "counter", labels as name and value pairs.
struct Metric
{
    QString name;
    QString help;
    QString type;
    QList<std::pair<QString, QString>> labels;
    double value = 0;
};

// What an output may use of the acquisition session it belongs to. The interfaces
// here are header-only, so an output needs the session's headers but not its code.
class OutputHost
{
public:
    virtual core::AcquisitionState &state() = 0;
    virtual const core::Clock &clock() const = 0;
    // The last analog frame's conversion faults, in channel order.
    virtual const link::ChannelFailures &conversionFaults() const = 0;
    virtual void report(const Report &report) = 0;
    // The link's counts and every output's own figures.
    virtual std::vector<Metric> metrics() const = 0;
    // The session's memory of the last day, when it keeps one.
    virtual const history::TrendMemory *history() const = 0;
    // The one way to a digital output line: collapsed with other changes and written
    // when the link can take it.
    virtual OutputRefusal setOutput(int line, bool on, OutputSource source) = 0;
    // Writes the wanted outputs now, hold or not: a safe state before "@F".
    virtual void flushOutputs() = 0;

protected:
    ~OutputHost() = default;
};

// A consumer of the values (the logger, the publisher, the history, ...). The
// session calls these on its own thread, in this order: start, then frames and
// ticks as they come, stop; start again after the settings were read again.
class Output
{
public:
    virtual ~Output() = default;

    // (Re)starts from tarvane.ini and the settings in the state. A value the file
    // holds that cannot be used falls back to its default and is added to problems.
    virtual void start(const core::IniFile &ini, QStringList &problems) = 0;
    virtual void analogFrame() { } // an analog frame was accepted and converted
    virtual void digitalFrame() { }
    virtual void cardChanged() { } // answered, lost, back, or the port moved
    // The task started or stopped; a stop is told before "@F" goes out.
    virtual void taskChanged(bool running) { (void)running; }
    virtual void tick() { } // once a second
    virtual void stop() { }
    virtual std::optional<OutputStatus> status() const { return std::nullopt; }
    virtual std::vector<Metric> metrics() const { return {}; }
};

} // namespace tarv::acquisition
