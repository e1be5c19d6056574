// The whole program's cost at the card's real pace: the main window (offscreen) with
// every view open, all eight channels plotted, logging a line every second, fed by
// the simulated card at 9600 baud. After a warm-up, reports the share of one core
// the process used (user + system CPU time), frames accepted per second, log lines
// written and the resident memory.
//
// Usage: bench_cpu_linerate [seconds] [--publish] [--rules N]   (default 30, after a 3 s warm-up;
// the resident memory is printed every minute; --publish also publishes to a local
// broker, as tarvane.ini would have it; --rules N adds N alarm rules that the
// signals never set)

#include "core/clock.h"
#include "link/cardlink.h"
#include "logging/logger.h"
#include "publish/publisher.h"
#include "publishing.h"
#include "support/endtoend.h"
#include "support/scriptedprompts.h"
#include "support/tablefixture.h"
#include "ui/main/mdidaq.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
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
using testsupport::residentKb;
using testsupport::runUntil;

// Every channel plotted, the first four logged.
void prepareCardState(core::AcquisitionState &state, const QString &dir)
{
    testsupport::prepareState(state, dir);
    for (int c = 0; c < core::ChannelCount; ++c) {
        state.plotEnable[c] = core::True;
        state.saveEnable[c] = core::toFlag(c < 4);
    }
    state.comPort = 1;
}

qint64 lineCount(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : -1;
}

void runFor(std::chrono::milliseconds duration)
{
    const auto end = Clock::now() + duration;
    runUntil([&] { return Clock::now() >= end; }, duration + 1s);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const bool publishing = args.contains(QStringLiteral("--publish"));
    const int seconds = args.isEmpty() || args[0].startsWith(u'-') ? 30 : args[0].toInt();
    const long rssStart = residentKb();

    QTemporaryDir dir;
    core::AcquisitionState state;
    prepareCardState(state, dir.path());
    if (const int rules = bench::alarmRuleCount(args); rules > 0)
        bench::addAlarmRules(dir.path(), rules);
    testsupport::TestBroker broker;
    if (publishing && !bench::startPublishingTo(broker, dir.path()))
        return 1;

    QProcess sim;
    QString simOut;
    if (!testsupport::startSimulatedCard(sim, simOut, {"--dir", dir.path(), "--line-rate"})) {
        std::fprintf(stderr, "simulator did not start: %s\n", qPrintable(simOut));
        return 1;
    }

    testsupport::ScriptedPrompts prompts;
    core::SystemClock clock;
    ui::MdiDaq window(state, prompts, clock, ui::MdiDaqOptions {std::chrono::milliseconds(0)});
    window.resize(1280, 960);
    window.load();
    for (const char *child : {"ViewAnalogData", "ViewDigitalData", "ViewTrend", "TaskManager",
             "OptionsCalibrate", "OptionsCardConfig"})
        if (!window.openChild(QString::fromLatin1(child)))
            std::fprintf(stderr, "could not open %s\n", child);
    if (!runUntil([&] { return state.cardConnected == core::True; }, 10s)) {
        std::fprintf(stderr, "card did not answer\n");
        return 1;
    }

    const QString logPath = dir.filePath(QStringLiteral("bench.log"));
    state.saveFileName = logPath;
    state.useChannelHeaders = core::True;
    state.saveInterval = 1;
    state.saveIntervalUnit = 1;
    state.stampMode = 3;
    const logging::Logger::StartResult started = window.logger().start();
    if (!started.ok)
        std::fprintf(stderr, "logging: %s\n", qPrintable(started.error));
    window.action(QStringLiteral("TaskStart"))->trigger();

    runFor(3s);
    const double cpu0 = cpuSeconds();
    const auto wall0 = Clock::now();
    const quint64 frames0 = window.link().counters().analogAccepted;
    const qint64 lines0 = lineCount(logPath);
    const long rss0 = residentKb();

    // The memory minute by minute, to show it stays flat over a long run.
    QTimer minutes;
    int minute = 0;
    QObject::connect(&minutes, &QTimer::timeout, &minutes, [&] {
        std::printf("after %2d min: VmRSS %ld kB\n", ++minute, residentKb());
        std::fflush(stdout);
    });
    minutes.start(60s);
    runFor(std::chrono::seconds(seconds));
    minutes.stop();

    const double cpu = cpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    const link::LinkCounters &n = window.link().counters();
    const qint64 lines = lineCount(logPath);
    const long rss1 = residentKb();

    std::printf("measured %.2f s wall after 3 s warm-up\n", wall);
    std::printf("CPU %.3f s = %.2f %% of one core\n", cpu, 100.0 * cpu / wall);
    std::printf("analog frames accepted %llu in interval: %.2f /s (total %llu, digital %llu)\n",
        static_cast<unsigned long long>(n.analogAccepted - frames0),
        (n.analogAccepted - frames0) / wall, static_cast<unsigned long long>(n.analogAccepted),
        static_cast<unsigned long long>(n.digitalAccepted));
    std::printf("discarded lines %llu, dropped frames %llu\n",
        static_cast<unsigned long long>(n.linesDiscarded),
        static_cast<unsigned long long>(n.framesDropped));
    std::printf("log lines: %lld in interval, %lld in file (with header)\n", lines - lines0, lines);
    std::printf("VmRSS kB: process start %ld, interval start %ld, end %ld\n", rssStart, rss0, rss1);
    if (publishing)
        std::printf("publishing: %llu messages sent, %llu dropped, %s\n",
            static_cast<unsigned long long>(window.publisher().sent()),
            static_cast<unsigned long long>(window.publisher().dropped()),
            window.publisher().isConnected() ? "connected" : "NOT CONNECTED");
    std::printf("prompts shown: %lld\n", static_cast<long long>(prompts.shown.size()));
    for (const auto &shown : prompts.shown)
        std::printf("  prompt: %s | %s\n", qPrintable(shown.title), qPrintable(shown.text));

    sim.terminate();
    sim.waitForFinished(5000);
    return 0;
}
