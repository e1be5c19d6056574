// Pushes frame pairs from the simulated card through the card link as fast as the
// pseudo-terminal carries them, and reports how many the link accepted per second,
// how many it lost against what the card sent, and the CPU time both sides spent.
// Each pair is 71 bytes on the wire, CRs included, so the pseudo-terminal's
// throughput is the limit.
//
// Usage: bench_link_throughput [pairs]   (default 200000)

#include "link/cardlink.h"
#include "support/endtoend.h"
#include "support/tablefixture.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <functional>

#include <sys/resource.h>

using namespace tarv;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

using testsupport::cpuSeconds;
using testsupport::prepareState;
using testsupport::runUntil;

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 pairs = argc > 1 ? QByteArray(argv[1]).toLongLong() : 200000;

    QTemporaryDir dir;
    core::AcquisitionState state;
    prepareState(state, dir.path());

    QProcess sim;
    QString simOut;
    if (!testsupport::startSimulatedCard(sim, simOut,
            {"--dir", dir.path(), "--unthrottled", "--count", QString::number(pairs)})) {
        std::fprintf(stderr, "simulator did not start: %s\n", qPrintable(simOut));
        return 1;
    }

    link::CardLink link(state);
    if (!link.openPort(dir.filePath("COM1"))) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(dir.filePath("COM1")));
        return 1;
    }
    if (!runUntil([&] { return state.cardConnected == core::True; }, 10s)) {
        std::fprintf(stderr, "card did not answer\n");
        return 1;
    }

    Clock::time_point first {}, last {};
    QObject::connect(&link, &link::CardLink::analogFrameAccepted, &link, [&] {
        last = Clock::now();
        if (first == Clock::time_point {})
            first = last;
    });

    const double cpuStart = cpuSeconds(RUSAGE_SELF);
    const auto wallStart = Clock::now();
    link.taskStart();

    // Done when the card has sent everything and nothing more arrived for 500 ms.
    quint64 seen = 0;
    int quietPolls = 0;
    const bool finished = runUntil(
        [&] {
            const quint64 now = link.counters().analogAccepted;
            quietPolls = now == seen ? quietPolls + 1 : 0;
            seen = now;
            return simOut.contains("tarvsim: sent ") && quietPolls >= 10;
        },
        std::chrono::seconds(30 + pairs / 2000));
    const double cpuUsed = cpuSeconds(RUSAGE_SELF) - cpuStart;
    const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();

    sim.terminate();
    sim.waitForFinished(5000);
    simOut += QString::fromLatin1(sim.readAllStandardOutput());

    const auto sent = QRegularExpression("sent (\\d+) analog frames, (\\d+) digital").match(simOut);
    const qint64 sentAnalog = sent.hasMatch() ? sent.captured(1).toLongLong() : -1;
    const qint64 sentDigital = sent.hasMatch() ? sent.captured(2).toLongLong() : -1;
    const link::LinkCounters &n = link.counters();
    const double streaming = std::chrono::duration<double>(last - first).count();

    std::printf("pairs requested      %lld%s\n", pairs, finished ? "" : "  (TIMED OUT)");
    std::printf("analog  sent %lld accepted %llu lost %lld\n", sentAnalog,
        static_cast<unsigned long long>(n.analogAccepted),
        sentAnalog - static_cast<qint64>(n.analogAccepted));
    std::printf("digital sent %lld accepted %llu lost %lld\n", sentDigital,
        static_cast<unsigned long long>(n.digitalAccepted),
        sentDigital - static_cast<qint64>(n.digitalAccepted));
    std::printf("discarded lines %llu, dropped frames %llu, discarded bytes %llu\n",
        static_cast<unsigned long long>(n.linesDiscarded),
        static_cast<unsigned long long>(n.framesDropped),
        static_cast<unsigned long long>(n.bytesDiscarded));
    std::printf("first to last accepted frame %.3f s: %.0f analog frames/s (%.2f MB/s of pairs)\n",
        streaming, streaming > 0 ? n.analogAccepted / streaming : 0.0,
        streaming > 0 ? n.analogAccepted * 71 / streaming / 1e6 : 0.0);
    std::printf("program CPU %.3f s over %.3f s wall (incl. 0.5 s quiet tail): %.1f us/pair\n",
        cpuUsed, wall, n.analogAccepted ? cpuUsed * 1e6 / n.analogAccepted : 0.0);
    std::printf("simulator CPU %.3f s\n", cpuSeconds(RUSAGE_CHILDREN));
    const qsizetype at = simOut.lastIndexOf("tarvsim: valid analog");
    if (at >= 0)
        std::printf("%s\n", qPrintable(simOut.mid(at).trimmed()));
    return finished ? 0 : 2;
}
