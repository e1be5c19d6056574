// The unattended service's cost at the card's real pace: tarvane2020d as the unit
// runs it, logging four channels every second, fed by the simulated card at 9600
// baud. Reports the share of one core the service's process used (its own user and
// system time) and its resident memory, minute by minute.
//
// Usage: bench_service [seconds] [--publish] [--rules N]   (default 60, after a 3 s warm-up;
// --publish also publishes to a local broker, as tarvane.ini would have it; --rules N
// adds N alarm rules that the signals never set)

#include "core/settingsfiles.h"
#include "processstats.h"
#include "publishing.h"
#include "support/endtoend.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <unistd.h>

using namespace tarv;
using namespace std::chrono_literals;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const bool publishing = args.contains(QStringLiteral("--publish"));
    const int seconds = args.isEmpty() || args[0].startsWith(u'-') ? 60 : args[0].toInt();

    QTemporaryDir dir;
    testsupport::TestBroker broker;
    if (publishing && !bench::startPublishingTo(broker, dir.path()))
        return 1;
    core::AcquisitionState state;
    testsupport::prepareState(state, dir.path());
    if (const int rules = bench::alarmRuleCount(args); rules > 0)
        bench::addAlarmRules(dir.path(), rules);
    for (int c = 0; c < core::ChannelCount; ++c)
        state.saveEnable[c] = core::toFlag(c < 4);
    state.saveFileName = dir.filePath(QStringLiteral("bench.log"));
    state.saveInterval = 1;
    bench::writeServiceDir(state, dir.path());

    QProcess sim;
    QString simOut;
    if (!testsupport::startSimulatedCard(sim, simOut, {"--dir", dir.path(), "--line-rate"})) {
        std::fprintf(stderr, "simulator did not start: %s\n", qPrintable(simOut));
        return 1;
    }
    QProcess service;
    service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    service.start(QStringLiteral(TARV_SERVICE_PATH), {QStringLiteral("--dir"), dir.path()});
    if (!service.waitForStarted()) {
        std::fprintf(stderr, "the service did not start\n");
        return 1;
    }
    const qint64 pid = service.processId();

    bench::runFor(3s);
    const bench::Watched run = bench::watchProcess(pid, seconds);
    const double cpu = run.cpu;
    const double wall = run.wall;
    const long rss0 = run.residentAtStart;
    const long rss1 = bench::processResidentKb(pid);

    QFile log(state.saveFileName);
    const qint64 lines = log.open(QIODevice::ReadOnly) ? log.readAll().count('\n') : -1;
    std::printf("measured %.1f s wall after a 3 s warm-up\n", wall);
    std::printf("service CPU %.3f s = %.3f %% of one core\n", cpu, 100.0 * cpu / wall);
    std::printf("service VmRSS kB: after warm-up %ld, at the end %ld\n", rss0, rss1);
    std::printf("log lines in the file (with header): %lld\n", lines);

    service.terminate();
    service.waitForFinished(5000);
    sim.terminate();
    sim.waitForFinished(5000);
    return 0;
}
