#pragma once

#include "core/acquisitionstate.h"
#include "link/conversionerror.h"
#include "service/journal.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

class QTimer;

namespace tarv::core {
class Clock;
}
namespace tarv::link {
class CardLink;
}
namespace tarv::logging {
class Logger;
}
namespace tarv::publish {
class Publisher;
}

namespace tarv::service {

struct ServiceOptions
{
    // The working directory: settings files, tables and relative log paths.
    QString dir;
    QStringList tableDirs; // where else to look for the tables
    std::optional<int> comPort; // instead of tarv.con's
    bool log = true; // false: acquire and report only
    // Print the first accepted frame's values on standard output, then stop.
    bool once = false;
    std::chrono::milliseconds onceLimit {10000};
    // The broker's first reconnect pause (doubling to a minute); tests shorten it.
    std::chrono::milliseconds brokerRetry {1000};
};

// Exit codes of the service; the unit restarts it on some of them.
enum ExitCode {
    CleanStop = 0,
    NoFrame = 1, // --once saw no frame in time
    BadCommandLine = 2,
    TablesUnusable = 3,
    PortInUse = 4, // another program holds the port; it may let go later
    LogNotCreated = 5,
};

// The desktop program's acquisition without its windows: the settings files read
// as it reads them (and never written), the card found by the same COM rule, the
// task started once the card answers, and the same logger writing the same lines,
// except that it continues a log instead of emptying it. A port that is missing
// or lost is looked for every two seconds; everything worth knowing goes to the
// journal, each condition once.
class AcquisitionService : public QObject
{
    Q_OBJECT
public:
    AcquisitionService(const ServiceOptions &options, const core::Clock &clock, Journal &journal,
        QObject *parent = nullptr);
    ~AcquisitionService() override;

    // Loads tables and settings, starts the log and looks for the card. False when
    // the service cannot run; finished() is not emitted then, exitCode() says why.
    bool start();
    int exitCode() const { return m_exitCode; }

    // SIGHUP: reads the settings files again and goes on with them; the log is
    // continued, a new port number is opened.
    void reload();
    // SIGTERM, SIGINT: "@F" when the task runs, then finished(0).
    void stop();
    // Once a second: the logger's tick.
    void tick();

    core::AcquisitionState &state() { return m_state; }
    link::CardLink &link() { return *m_link; }
    publish::Publisher &publisher() { return *m_publisher; }

signals:
    void finished(int exitCode);

private:
    void openPort();
    void reportOpenFailure(const QString &device, const QString &error);
    bool startLogging(); // false: the log cannot be written (reported)
    void startPublishing(); // as tarvane.ini says
    void onVersion(const QString &version);
    void onConversion(const link::ChannelFailures &failures);
    void onAnalogFrame();
    void finish(int code);

    ServiceOptions m_options;
    const core::Clock &m_clock;
    Journal &m_journal;
    JournalPrompts m_prompts;
    core::AcquisitionState m_state;
    link::CardLink *m_link = nullptr;
    logging::Logger *m_logger = nullptr;
    publish::Publisher *m_publisher = nullptr;
    QTimer *m_tmrSave = nullptr;
    QTimer *m_onceLimit = nullptr;
    QString m_lastOpenProblem; // reported once until it changes or the port opens
    link::ChannelFailures m_failuresReported;
    bool m_finished = false;
    int m_exitCode = CleanStop;
};

} // namespace tarv::service
