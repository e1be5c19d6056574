// Start-up latency of the real program: from starting its process (offscreen, in a
// fresh directory with the two tables and the simulated card's COM1 link, no
// settings files) to its version query "?" arriving at the card. The main window
// shows just before the port opens, so this bounds the time to a shown window from
// above; it includes the About splash the program shows first.
//
// Usage: bench_startup [runs] [program]   (default 5, <build>/app/tarvane2020)

#include "benchsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

using tarv::bench::runUntil;

// Milliseconds from starting the program to "?" at the card, or -1.
double oneRun(const QString &program)
{
    QTemporaryDir dir;
    for (const char *table : {"j.tc", "k.tc"})
        QFile::copy(QStringLiteral(TARV_SOURCE_DIR "/data/") + QLatin1String(table),
            dir.filePath(QLatin1String(table)));

    QProcess sim;
    QString simOut;
    QObject::connect(&sim, &QProcess::readyReadStandardOutput, &sim,
        [&] { simOut += QString::fromLatin1(sim.readAllStandardOutput()); });
    sim.start(QStringLiteral(TARV_SIM_PATH), {"--dir", dir.path()});
    if (!runUntil([&] { return simOut.contains("tarvsim: COM1 -> "); }, 10s, 1ms))
        return -1;

    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    app.setProcessEnvironment(env);
    app.setWorkingDirectory(dir.path());
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const auto start = Clock::now();
    app.start(program, {});
    const bool asked = runUntil([&] { return simOut.contains("rx: ?"); }, 20s, 1ms);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    app.kill();
    app.waitForFinished(5000);
    sim.terminate();
    sim.waitForFinished(5000);
    return asked ? ms : -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication core(argc, argv);
    const int runs = argc > 1 ? QByteArray(argv[1]).toInt() : 5;
    const QString program = argc > 2
        ? QString::fromLocal8Bit(argv[2])
        : QFileInfo(QStringLiteral(TARV_SIM_PATH)).dir().filePath("../app/tarvane2020");
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double ms = oneRun(program);
        std::printf("run %d: process start to \"?\" at the card %.1f ms\n", i + 1, ms);
        if (ms >= 0)
            times.push_back(ms);
    }
    if (times.empty())
        return 1;
    std::sort(times.begin(), times.end());
    std::printf("median %.1f ms, min %.1f ms, max %.1f ms (%zu runs)\n", times[times.size() / 2],
        times.front(), times.back(), times.size());
    return 0;
}
