// A long run of the whole program under a hostile line: the main window (offscreen)
// with every window open and every channel plotted, logging a line every second,
// fed by the simulated card flat out with split and merged writes, junk, over-long
// lines, damaged frames, quiet spells and the port vanishing and coming back.
//
// At the end it checks, and says PASS or FAIL for each:
//   - every valid frame the card counted was accepted, and nothing else was;
//   - every line the card spoiled was thrown away, one for one;
//   - the log holds one line per counted second, numbered without a gap;
//   - the port was lost and found again, and the task restarted each time;
//   - resident memory grew less than 2 MB after the warm-up;
//   - no message box was needed.
// The process ends 0 only when all hold.
//
// Usage: tarvsoak [--seconds N] [--warmup W] [--seed S] [--keep DIR]

#include "core/clock.h"
#include "link/cardlink.h"
#include "logging/logger.h"
#include "support/endtoend.h"
#include "support/scriptedprompts.h"
#include "support/tablefixture.h"
#include "ui/main/mdidaq.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

using namespace tarv;
using namespace std::chrono_literals;
using SteadyClock = std::chrono::steady_clock;

namespace {

using testsupport::cpuSeconds;
using testsupport::residentKb;
using testsupport::runUntil;

constexpr int VanishEvery = 40; // seconds
constexpr int VanishFor = 3;

// Every channel plotted and logged, on top of the card's calibration.
void prepareSoakState(core::AcquisitionState &state, const QString &dir)
{
    testsupport::prepareState(state, dir);
    for (int c = 0; c < core::ChannelCount; ++c) {
        state.plotEnable[c] = core::True;
        state.saveEnable[c] = core::True;
    }
    state.comPort = 1;
}

struct Verdict
{
    int failures = 0;
    void check(bool ok, const QString &what)
    {
        std::printf("%s  %s\n", ok ? "PASS" : "FAIL", qPrintable(what));
        std::fflush(stdout);
        if (!ok)
            ++failures;
    }
};

// Checks that the log is a header and then `expected` lines numbered 1, 2, ...
QString checkLog(const QString &path, qint64 expected)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1").arg(path);
    const QList<QByteArray> lines = file.readAll().split('\n');
    // The last element is what follows the final LF: nothing when the file is whole.
    if (lines.isEmpty() || !lines.last().isEmpty())
        return QStringLiteral("the last line is cut short");
    const qint64 dataLines = lines.size() - 2; // header and the empty tail
    if (dataLines != expected)
        return QStringLiteral("%1 data lines, %2 seconds counted").arg(dataLines).arg(expected);
    for (qint64 i = 1; i <= dataLines; ++i) {
        const QByteArray &line = lines.at(i);
        if (!line.endsWith('\r') || line.split(',').value(0).toLongLong() != i)
            return QStringLiteral("line %1 reads \"%2\"").arg(i + 1).arg(QString::fromLatin1(line));
    }
    return {};
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption secondsOption(
        "seconds", "Length of the run after start-up (default 120).", "N", "120");
    const QCommandLineOption warmupOption(
        "warmup", "Seconds before memory is measured (default a quarter, at most 300).", "W");
    const QCommandLineOption seedOption("seed", "Seed for the card's faults.", "S", "1");
    const QCommandLineOption keepOption(
        "keep", "Work in DIR and leave the log there, instead of a scratch directory.", "DIR");
    parser.addOptions({secondsOption, warmupOption, seedOption, keepOption});
    parser.process(app);
    const int seconds = std::max(10, parser.value(secondsOption).toInt());
    const int warmup = parser.isSet(warmupOption) ? parser.value(warmupOption).toInt()
                                                  : std::min(300, seconds / 4);

    QTemporaryDir scratch;
    const QString dir = parser.isSet(keepOption) ? parser.value(keepOption) : scratch.path();
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "tarvsoak: cannot make %s\n", qPrintable(dir));
        return 2;
    }
    core::AcquisitionState state;
    prepareSoakState(state, dir);

    // The port vanishes every 40 s for 3 s (the 40 s count from its return); quiet
    // spells of 2 s come every 10-30 s.
    QProcess sim;
    QString simOut;
    if (!testsupport::startSimulatedCard(sim, simOut,
            {"--dir", dir, "--unthrottled", "--split", "--merge", "--garbage", "0.01", "--overlong",
                "0.002", "--malformed", "0.01", "--silence", "2", "--vanish-every",
                QString::number(VanishEvery), "--vanish-for", QString::number(VanishFor), "--seed",
                parser.value(seedOption)})) {
        std::fprintf(
            stderr, "tarvsoak: the simulated card did not start: %s\n", qPrintable(simOut));
        return 2;
    }

    testsupport::ScriptedPrompts prompts;
    core::SystemClock clock;
    ui::MdiDaq window(state, prompts, clock, ui::MdiDaqOptions {0ms});
    window.resize(1280, 960);
    window.load();
    for (const char *child : {"ViewAnalogData", "ViewDigitalData", "ViewTrend", "TaskManager",
             "OptionsCalibrate", "OptionsCardConfig", "OptionsCardComm"})
        if (!window.openChild(QString::fromLatin1(child)))
            std::fprintf(stderr, "tarvsoak: could not open %s\n", child);
    if (!runUntil([&] { return state.cardConnected == core::True; }, 10s)) {
        std::fprintf(stderr, "tarvsoak: the card did not answer\n");
        return 2;
    }

    const QString logPath = QDir(dir).filePath(QStringLiteral("soak.csv"));
    state.saveFileName = logPath;
    state.useChannelHeaders = core::True;
    state.saveInterval = 1;
    state.saveIntervalUnit = 1;
    state.stampMode = 1;
    if (const auto started = window.logger().start(); !started.ok) {
        std::fprintf(stderr, "tarvsoak: logging: %s\n", qPrintable(started.error));
        return 2;
    }
    window.action(QStringLiteral("TaskStart"))->trigger();

    // The logger hears each tick first and does not change the state, so this sees
    // what it saw.
    qint64 countedSeconds = 0;
    QObject::connect(&window, &ui::MdiDaq::saveTick, &window, [&] {
        if (state.cardConnected == core::True && state.savingActive == core::True)
            ++countedSeconds;
    });
    int losses = 0;
    int returns = 0;
    int restarts = 0;
    QObject::connect(&window.link(), &link::CardLink::portLost, &window, [&] { ++losses; });
    QObject::connect(&window.link(), &link::CardLink::portReopened, &window, [&] { ++returns; });
    QObject::connect(&window.link(), &link::CardLink::taskStateChanged, &window,
        [&](bool running) { restarts += running; });

    const auto begin = SteadyClock::now();
    const double cpuBegin = cpuSeconds();
    long rssAtWarmup = -1;
    long rssMaxAfter = -1;
    long rssLast = -1;
    QTimer sampler;
    int elapsed = 0;
    QObject::connect(&sampler, &QTimer::timeout, &sampler, [&] {
        ++elapsed;
        rssLast = residentKb();
        if (elapsed == warmup)
            rssAtWarmup = rssLast;
        else if (elapsed > warmup)
            rssMaxAfter = std::max(rssMaxAfter, rssLast);
        if (elapsed % 60 == 0) {
            const link::LinkCounters &n = window.link().counters();
            std::printf("%5d s: analog %llu, digital %llu, dropped %llu, discarded %llu, "
                        "log %lld, losses %d, RSS %ld kB\n",
                elapsed, static_cast<unsigned long long>(n.analogAccepted),
                static_cast<unsigned long long>(n.digitalAccepted),
                static_cast<unsigned long long>(n.framesDropped),
                static_cast<unsigned long long>(n.linesDiscarded), countedSeconds, losses, rssLast);
            std::fflush(stdout);
        }
    });
    sampler.start(1s);
    runUntil([&] { return elapsed >= seconds; }, std::chrono::seconds(seconds + 60), 100ms);
    sampler.stop();
    const double wall = std::chrono::duration<double>(SteadyClock::now() - begin).count();
    const double cpu = cpuSeconds() - cpuBegin;

    // Stop the card where it can hear it, then let what is on the way arrive. Once
    // the card answers, every loss so far has been mended and the task restarted.
    runUntil([&] { return state.cardConnected == core::True; }, 15s);
    const int lossesMended = losses;
    const int reopenedCount = returns;
    const int restartCount = restarts;
    window.link().taskStop();
    quint64 seen = 0;
    int quietPolls = 0;
    runUntil(
        [&] {
            const quint64 now = window.link().counters().analogAccepted;
            quietPolls = now == seen ? quietPolls + 1 : 0;
            seen = now;
            return quietPolls >= 10;
        },
        30s, 100ms);
    state.savingActive = core::False;
    sim.terminate();
    sim.waitForFinished(10000);
    simOut += QString::fromLatin1(sim.readAllStandardOutput());

    const link::LinkCounters &n = window.link().counters();
    std::printf("ran %.0f s: CPU %.1f s (%.1f %% of one core)\n", wall, cpu, 100.0 * cpu / wall);
    std::printf("accepted analog %llu, digital %llu, version replies %llu; dropped %llu frames, "
                "discarded %llu lines and %llu bytes\n",
        static_cast<unsigned long long>(n.analogAccepted),
        static_cast<unsigned long long>(n.digitalAccepted),
        static_cast<unsigned long long>(n.versionReplies),
        static_cast<unsigned long long>(n.framesDropped),
        static_cast<unsigned long long>(n.linesDiscarded),
        static_cast<unsigned long long>(n.bytesDiscarded));
    std::printf("port lost %d times, reopened %d times, task restarted %d times (before the "
                "final stop)\n",
        lossesMended, reopenedCount, restartCount);
    std::printf("RSS at warm-up (%d s) %ld kB, highest after %ld kB, at the end %ld kB\n", warmup,
        rssAtWarmup, rssMaxAfter, rssLast);

    Verdict verdict;
    const QRegularExpressionMatch tally = QRegularExpression(
        QStringLiteral("valid analog (\\d+), valid digital (\\d+), faulty (\\d+)"))
                                              .match(simOut);
    verdict.check(tally.hasMatch(), QStringLiteral("the simulated card reported what it sent"));
    if (tally.hasMatch()) {
        const quint64 analog = tally.captured(1).toULongLong();
        const quint64 digital = tally.captured(2).toULongLong();
        const quint64 faulty = tally.captured(3).toULongLong();
        std::printf("card sent valid analog %llu, valid digital %llu, faulty %llu\n",
            static_cast<unsigned long long>(analog), static_cast<unsigned long long>(digital),
            static_cast<unsigned long long>(faulty));
        verdict.check(n.analogAccepted == analog && n.digitalAccepted == digital,
            QStringLiteral("frames accepted equal valid frames sent"));
        verdict.check(faulty > 0 && n.framesDropped + n.linesDiscarded == faulty,
            QStringLiteral("every spoiled line thrown away, and nothing else"));
    }
    verdict.check(!simOut.contains(QStringLiteral("unread bytes")),
        QStringLiteral("the program read everything the card sent"));
    const QString logProblem = checkLog(logPath, countedSeconds);
    verdict.check(logProblem.isEmpty(),
        QStringLiteral("one log line per counted second (%1), none lost%2")
            .arg(countedSeconds)
            .arg(logProblem.isEmpty() ? QString() : QStringLiteral(": ") + logProblem));
    const int expectedLosses = seconds / (VanishEvery + VanishFor);
    verdict.check(lossesMended >= expectedLosses && reopenedCount == lossesMended
            && restartCount == lossesMended,
        QStringLiteral("the port was lost %1 times (at least %2 due), found again and the task "
                       "restarted each time")
            .arg(lossesMended)
            .arg(expectedLosses));
    verdict.check(rssAtWarmup > 0 && rssMaxAfter - rssAtWarmup < 2048,
        QStringLiteral("resident memory grew %1 kB after the warm-up")
            .arg(rssMaxAfter - rssAtWarmup));
    for (const auto &shown : prompts.shown)
        std::printf("  message: %s | %s\n", qPrintable(shown.title), qPrintable(shown.text));
    verdict.check(prompts.shown.isEmpty(), QStringLiteral("no message box was needed"));
    std::printf("%s\n", verdict.failures == 0 ? "soak passed" : "soak FAILED");
    return verdict.failures == 0 ? 0 : 1;
}
