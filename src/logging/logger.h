#pragma once

#include "core/acquisitionstate.h"
#include "logging/logoptions.h"

#include <QObject>
#include <QString>

#include <optional>

namespace tarv::core {
class Clock;
class Prompts;
} // namespace tarv::core

namespace tarv::logging {

// The periodic logger: writes the values of the channels enabled for saving to the
// log file, one line per logging period, while logging is on and the card is
// connected. The counters live in the shared state (savePeriodTicks, saveTickCount,
// saveSerialNo); the logger itself only remembers whether writing is failing.
//
// Every write opens the file, writes, flushes to the disk and closes it again, so
// other programs can read the log while it grows and a crash or power cut loses at
// most the line being written.
class Logger : public QObject
{
    Q_OBJECT
public:
    Logger(core::AcquisitionState &state, const core::Clock &clock, core::Prompts &prompts,
        QObject *parent = nullptr);

    struct StartResult
    {
        bool ok = false;
        QString error; // names the file and the reason when !ok
    };

    enum class StartMode {
        // The logging dialog's: with headers on the file is emptied and the header
        // becomes its only line; serial numbers start again from 1.
        Restart,
        // An unattended service's, which must never lose what a log holds: the file
        // is appended to, the header is written only to an absent or empty file,
        // a line cut off by a power cut is ended first, and serial numbers go on
        // after the last one in the file.
        Continue,
    };

    // Starts, or restarts, logging with the settings in the state. With headers
    // off, or a file that keeps its content, the file is only checked to open for
    // appending, so a bad path is reported here rather than at the first line.
    // Then the period is set, the serial number set, the tick count armed so the
    // first line comes at the first counted tick, and savingActive switched on.
    // On failure nothing in the state changes, unless keepOnFailure: then logging
    // is on all the same (a running service's reload must not end its logging), the
    // failure is told as a write failure is, due lines are skipped and counted, and
    // the file is prepared at the first line that can be written.
    StartResult start(StartMode mode = StartMode::Restart, bool keepOnFailure = false);

    // Once a second (tmrSave). Counts only while the card is connected and logging
    // is on; writes a line when the period is complete. A line due with no channel
    // enabled writes nothing. Never stops logging and never blocks: a line that
    // cannot be written is counted as skipped, the first failure is reported once
    // without waiting for the operator, and the next line that can be written
    // reports how many were skipped.
    void tick();

    // tarvane.ini's [log] group. A new split takes effect at the next line, whose
    // file then starts as a new day's does.
    void setOptions(const LogOptions &options) { m_options = options; }

    // The file the lines go to: the log's name, or with a split the day's or the
    // hour's file. Empty until logging first starts.
    QString currentPath() const { return m_path; }

    // Why the last line could not be written (file and reason); empty while writing
    // works. For the status window.
    QString writeProblem() const { return m_problem; }
    // Lines skipped since writing started failing; 0 while writing works.
    qint64 skippedLines() const { return m_skipped; }
    // Since the program started, for metrics.
    quint64 linesWritten() const { return m_written; }
    quint64 linesSkipped() const { return m_skippedTotal; }

private:
    // The file's part of a start: the header, the end of a cut-off line, or only a
    // check that it opens for appending. Empty on success, else the reason.
    QString prepareFile(StartMode mode, const QString &path) const;
    // Where a continued log's serial numbers stopped: in the file itself, or with a
    // split, in the newest of its files that holds anything.
    core::Long lastSerialNumberBefore(const QString &path) const;
    void removeExpiredFiles(QDate today);
    void reportFailure(const QString &problem, bool lineSkipped);
    void reportResumed();

    core::AcquisitionState &m_state;
    const core::Clock &m_clock;
    core::Prompts &m_prompts;
    QString m_problem;
    qint64 m_skipped = 0;
    std::optional<StartMode> m_unprepared; // the file still needs its start
    LogOptions m_options;
    QString m_path; // the file lines go to
    quint64 m_written = 0;
    quint64 m_skippedTotal = 0;
};

} // namespace tarv::logging
