#include "logging/logger.h"

#include "core/clock.h"
#include "core/prompts.h"
#include "core/texts.h"
#include "logging/logfile.h"
#include "logging/logformat.h"
#include "logging/logsplit.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace tarv::logging {

namespace {

// Seconds per unit: 1 seconds, 2 minutes, 3 hours. The settings dialog stores only
// those; anything else counts as seconds. An interval below 1 counts as 1, so a
// hand-edited value cannot leave the logger writing one line and then none.
core::Long periodTicks(const core::AcquisitionState &state)
{
    qint64 perUnit = 1;
    if (state.saveIntervalUnit == 2)
        perUnit = 60;
    else if (state.saveIntervalUnit == 3)
        perUnit = 3600;
    return core::Long(std::max<qint64>(1, state.saveInterval) * perUnit);
}

// How much of a log's end is read to find where its serial numbers stopped: many
// lines of any width the format allows.
constexpr qint64 TailBytes = 64 * 1024;

} // namespace

Logger::Logger(core::AcquisitionState &state, const core::Clock &clock, core::Prompts &prompts,
    QObject *parent)
    : QObject(parent)
    , m_state(state)
    , m_clock(clock)
    , m_prompts(prompts)
{ }

Logger::StartResult Logger::start(StartMode mode, bool keepOnFailure)
{
    const QDateTime now = m_clock.now();
    const QString path = splitFilePath(m_state.saveFileName, m_options.split, now);
    core::Long serialNo = 0;
    if (mode == StartMode::Continue && m_state.stampMode == 1)
        serialNo = lastSerialNumberBefore(path);
    const QString error = prepareFile(mode, path);
    if (!error.isEmpty() && !keepOnFailure)
        return {false, error};

    m_state.savePeriodTicks = periodTicks(m_state);
    m_state.saveSerialNo = serialNo;
    m_state.saveTickCount = m_state.savePeriodTicks - 1;
    m_state.savingActive = core::True;
    m_unprepared.reset();
    m_path = path;
    removeExpiredFiles(now.date());
    if (error.isEmpty()) {
        // A new log: an old failure is forgotten and reported afresh if it comes back.
        m_problem.clear();
        m_skipped = 0;
    } else {
        // Still failing: told once, and the lines skipped go on counting.
        m_unprepared = mode;
        reportFailure(error, false);
    }
    return {true, {}};
}

core::Long Logger::lastSerialNumberBefore(const QString &path) const
{
    QString source = path;
    if (m_options.split != Split::None && QFileInfo(path).size() == 0) {
        const std::vector<SplitFile> files = splitFiles(m_state.saveFileName);
        const bool hourly = m_options.split == Split::Hourly;
        const auto newest = std::find_if(files.rbegin(), files.rend(), [&](const SplitFile &f) {
            return (f.hour >= 0) == hourly && QFileInfo(f.path).size() > 0;
        });
        if (newest != files.rend())
            source = newest->path;
    }
    const qint64 size = QFileInfo(source).size(); // 0 for a file that is not there
    return size > 0 ? lastSerialNumber(readTail(source, TailBytes), size <= TailBytes) : 0;
}

QString Logger::prepareFile(StartMode mode, const QString &path) const
{
    const qint64 size = QFileInfo(path).size();
    if (m_state.useChannelHeaders == core::True && (mode == StartMode::Restart || size == 0))
        return replaceWithLine(path, encodeLine(buildHeader(m_state, m_options.alarmColumn)));
    if (mode == StartMode::Continue && size > 0) {
        const QByteArray tail = readTail(path, TailBytes);
        return tail.isEmpty() || tail.endsWith('\n') ? checkAppendable(path)
                                                     : appendLine(path, "\r\n");
    }
    return checkAppendable(path);
}

void Logger::tick()
{
    if (m_state.cardConnected != core::True || m_state.savingActive != core::True)
        return;
    ++m_state.saveTickCount;
    if (m_state.saveTickCount != m_state.savePeriodTicks)
        return;
    m_state.saveTickCount = 0;

    // The task manager can clear every channel while logging runs; a stamp with no
    // values would only be noise in the file.
    if (!anyChannelEnabled(m_state))
        return;

    // The serial number goes to the line when it is built, so a line that cannot be
    // written leaves a gap in the numbers as it does in the time stamps.
    if (m_state.stampMode == 1)
        ++m_state.saveSerialNo;
    const RegionalSeparators separators = regionalSeparators();
    const QDateTime now = m_clock.now();
    QString line = dataLinePrefix(m_state.stampMode, m_state.saveSerialNo, now, separators)
        + channelValueFields(m_state, separators.decimalPoint, m_options.markBad);
    if (m_options.alarmColumn)
        line += fieldSeparator(m_state.separatorMode) + alarmField(m_state);

    // The line's own stamp picks its file. A file the split moves on to starts as a
    // continued log does: whatever it already holds (the hour after a clock went back,
    // a day a time zone came back to) is kept, the header goes only into an empty one,
    // and the serial numbers go on.
    const QString path = splitFilePath(m_state.saveFileName, m_options.split, now);
    if (std::exchange(m_path, path) != path && m_options.split != Split::None) {
        m_unprepared = StartMode::Continue;
        removeExpiredFiles(now.date());
    }
    QString error = m_unprepared ? prepareFile(*m_unprepared, path) : QString();
    if (error.isEmpty()) {
        m_unprepared.reset();
        error = appendLine(path, encodeLine(line));
    }
    if (!error.isEmpty()) {
        ++m_skippedTotal;
        reportFailure(error, true);
        return;
    }
    ++m_written;
    if (!m_problem.isEmpty())
        reportResumed();
}

void Logger::reportFailure(const QString &problem, bool lineSkipped)
{
    m_skipped += lineSkipped;
    const bool firstFailure = m_problem.isEmpty();
    m_problem = problem;
    if (firstFailure)
        m_prompts.notify(problem
                + QStringLiteral(" Logging stays on; lines are skipped until the "
                                 "file can be written again."),
            QStringLiteral("Saving Error"), core::PromptIcon::Error);
}

void Logger::removeExpiredFiles(QDate today)
{
    if (m_options.split == Split::None)
        return;
    for (const QString &failure :
        removeExpired(m_state.saveFileName, m_options.keepDays, today, m_path))
        m_prompts.notify(failure, QStringLiteral("Saving Error"), core::PromptIcon::Warning);
}

void Logger::reportResumed()
{
    const QString skipped = m_skipped == 1 ? QStringLiteral("1 line was skipped")
                                           : QStringLiteral("%1 lines were skipped").arg(m_skipped);
    m_prompts.notify(QStringLiteral("Writing to the log file \"%1\" has resumed; %2.")
                         .arg(QDir::toNativeSeparators(m_path), skipped),
        core::ApplicationTitle, core::PromptIcon::Information);
    m_problem.clear();
    m_skipped = 0;
}

} // namespace tarv::logging
