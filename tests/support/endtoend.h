#pragma once

// Shared by the end-to-end benchmarks and the soak: CPU time, resident memory, a state
// calibrated for the simulated card, and running the event loop until something happened.

#include "core/acquisitionstate.h"
#include "support/tablefixture.h"
#include "support/testfiles.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <functional>

namespace tarv::testsupport {

// User plus system CPU seconds of this process (RUSAGE_SELF) or its children.
inline double cpuSeconds(int who = RUSAGE_SELF)
{
    rusage usage {};
    getrusage(who, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// VmRSS of this process in kB, or -1.
inline long residentKb()
{
    const QByteArray text = fileBytes(QStringLiteral("/proc/self/status"));
    const qsizetype at = text.indexOf("VmRSS:");
    return at < 0 ? -1 : text.mid(at + 6).trimmed().split(' ').value(0).toLong();
}

// The defaults, the shipped tables, and the simulated card's calibration on every
// channel with one channel of each input type, so no conversion faults.
inline void prepareState(core::AcquisitionState &state, const QString &dir)
{
    core::applyDefaults(state);
    if (QString error; !loadShippedTables(state, &error))
        std::fprintf(stderr, "tables: %s\n", qPrintable(error));
    const int types[core::ChannelCount] = {0, 2, 1, 3, 4, 5, 6, 0};
    for (int c = 0; c < core::ChannelCount; ++c) {
        state.zero10V[c] = 100;
        state.span10V[c] = 27100;
        state.zero200mV[c] = 80;
        state.span200mV[c] = 24080;
        state.rtdCal[c] = 13000;
        state.inputType[c] = core::Integer(types[c]);
    }
    state.appPath = dir;
}

// Runs the event loop until done() holds (polled every `poll`) or the timeout passes.
inline bool runUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout,
    std::chrono::milliseconds poll = std::chrono::milliseconds(50))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    QEventLoop loop;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (done() || std::chrono::steady_clock::now() > deadline)
            loop.quit();
    });
    timer.start(poll);
    if (!done())
        loop.exec();
    return done();
}

// Starts the simulated card with `arguments`, gathering what it prints into
// `output`, and waits until its COM1 link is up; false when it did not come up.
inline bool startSimulatedCard(QProcess &sim, QString &output, const QStringList &arguments,
    std::chrono::milliseconds poll = std::chrono::milliseconds(50))
{
    QObject::connect(&sim, &QProcess::readyReadStandardOutput, &sim,
        [&sim, &output] { output += QString::fromLatin1(sim.readAllStandardOutput()); });
    sim.start(QStringLiteral(TARV_SIM_PATH), arguments);
    return runUntil([&output] { return output.contains(QStringLiteral("tarvsim: COM1 -> ")); },
        std::chrono::seconds(10), poll);
}

} // namespace tarv::testsupport
