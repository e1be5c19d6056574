#pragma once

#include "core/acquisitionstate.h"
#include "service/journal.h"
#include "service/journalreporter.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

class QTimer;

namespace tarv::acquisition {
class AcquisitionSession;
}
namespace tarv::core {
class Clock;
}
namespace tarv::link {
class CardLink;
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
    // Print the first accepted frame's values on standard output, then stop: exit 0
    // when every channel that matters is good, 6 when one is not.
    bool once = false;
    bool json = false; // --once prints the analog JSON of the broker's topic instead
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
    NotGood = 6, // --once: a channel enabled for logging is uncertain or bad
};

// The desktop program's acquisition without its windows: the session run
// unattended, its reports as journal lines, the command line's choices and the exit
// codes. The settings files are read as the desktop program reads them and never
// written; the log is continued rather than emptied.
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
    // Once a second: the session's tick.
    void tick();

    acquisition::AcquisitionSession &session() { return *m_session; }
    core::AcquisitionState &state() { return m_state; }
    link::CardLink &link();
    publish::Publisher &publisher();

signals:
    void finished(int exitCode);

private:
    void onAnalogFrame();
    void finish(int code);

    ServiceOptions m_options;
    const core::Clock &m_clock;
    Journal &m_journal;
    JournalReporter m_reporter;
    core::AcquisitionState m_state;
    acquisition::AcquisitionSession *m_session = nullptr;
    QTimer *m_tmrSave = nullptr;
    QTimer *m_onceLimit = nullptr;
    bool m_finished = false;
    int m_exitCode = CleanStop;
};

} // namespace tarv::service
