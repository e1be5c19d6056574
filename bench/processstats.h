#pragma once

// For the benchmarks that run the service as the unit runs it: a working directory as
// the desktop program leaves it, and another process's CPU time and resident memory.

#include "core/settingsfiles.h"
#include "support/endtoend.h"

#include <QFile>
#include <QString>

#include <chrono>
#include <cstdio>

#include <unistd.h>

namespace tarv::bench {

// Lets the event loop run for the whole duration, the service's output read as it comes.
inline void runFor(std::chrono::milliseconds duration)
{
    using namespace std::chrono_literals;
    const auto end = std::chrono::steady_clock::now() + duration;
    testsupport::runUntil(
        [&] { return std::chrono::steady_clock::now() >= end; }, duration + 1s, 200ms);
}

// The three settings files from the state, and the shipped tables, in dir.
inline void writeServiceDir(const core::AcquisitionState &state, const QString &dir)
{
    for (const auto &written : {core::writeComPortFile(state), core::SaveCardSettings(state),
             core::SaveLogSettings(state)})
        if (!written.ok)
            std::fprintf(stderr, "settings: %s\n", qPrintable(written.error));
    for (const char *table : {"j.tc", "k.tc"})
        QFile::copy(QStringLiteral(TARV_SOURCE_DIR "/data/") + QLatin1String(table),
            dir + u'/' + QLatin1String(table));
}

// User plus system CPU seconds of a process, from /proc/<pid>/stat.
inline double processCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // Fields after the command's closing parenthesis; utime and stime are 14 and 15.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks / double(::sysconf(_SC_CLK_TCK));
}

inline long processResidentKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Another process watched for `seconds`, its resident memory printed each minute: the
// CPU it took and the wall time passed.
struct Watched
{
    double cpu = 0;
    double wall = 0;
    long residentAtStart = 0;
};

inline Watched watchProcess(qint64 pid, int seconds)
{
    using namespace std::chrono_literals;
    Watched w;
    const double cpu0 = processCpuSeconds(pid);
    const auto wall0 = std::chrono::steady_clock::now();
    w.residentAtStart = processResidentKb(pid);
    for (int s = 60; s <= seconds; s += 60) {
        runFor(60s);
        std::printf("after %2d min: service VmRSS %ld kB\n", s / 60, processResidentKb(pid));
        std::fflush(stdout);
    }
    runFor(std::chrono::seconds(seconds % 60));
    w.cpu = processCpuSeconds(pid) - cpu0;
    w.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    return w;
}

} // namespace tarv::bench
