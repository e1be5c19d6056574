// A long run of the whole program under a hostile line: the main window (offscreen)
// with every window open and every channel plotted (or, with --headless, the service
// reading the same settings from its files), logging a line every second,
// fed by the simulated card flat out with split and merged writes, junk, over-long
// lines, damaged frames, quiet spells and the port vanishing and coming back.
//
// At the end it says PASS or FAIL for each check: every valid frame the card counted
// was accepted and nothing else; every line it spoiled was thrown away, one for one;
// the log holds one line per counted second, numbered without a gap; each loss of
// the port was mended and the task restarted; resident memory grew less than 2 MB
// after the warm-up; no message box (or journal error) was needed. It ends 0 only when all hold.
//
// Usage: tarvsoak [--headless] [--seconds N] [--warmup W] [--seed S] [--keep DIR]

#include "core/clock.h"
#include "core/settingsfiles.h"
#include "link/cardlink.h"
#include "logging/logger.h"
#include "service/acquisitionservice.h"
#include "support/endtoend.h"
#include "support/scriptedprompts.h"
#include "ui/main/mdidaq.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>

using namespace tarv;
using namespace std::chrono_literals;
using testsupport::runUntil;

namespace {

constexpr int VanishEvery = 40; // seconds
constexpr int VanishFor = 3;

// Checks that the log is a header and then `expected` lines numbered 1, 2, ...
QString checkLog(const QString &path, qint64 expected)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read %1").arg(path);
    // The last element is what follows the final LF: nothing when the file is whole.
    const QList<QByteArray> lines = file.readAll().split('\n');
    if (!lines.last().isEmpty())
        return QStringLiteral("the last line is cut short");
    if (lines.size() - 2 != expected)
        return QStringLiteral("%1 data lines, %2 seconds counted")
            .arg(lines.size() - 2)
            .arg(expected);
    for (qint64 i = 1; i <= expected; ++i) {
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
    parser.addOptions({{"seconds", "Length of the run after start-up (default 120).", "N", "120"},
        {"warmup", "Seconds before memory is measured (default a quarter, at most 300).", "W"},
        {"seed", "Seed for the card's faults.", "S", "1"},
        {"keep", "Work in DIR and leave the log there, instead of a scratch directory.", "DIR"},
        {"headless", "Run the service instead of the main window."}});
    parser.process(app);
    const int seconds = std::max(10, parser.value("seconds").toInt());
    const int warmup
        = parser.isSet("warmup") ? parser.value("warmup").toInt() : std::min(300, seconds / 4);
    QTemporaryDir scratch;
    const QString dir = parser.isSet("keep") ? parser.value("keep") : scratch.path();
    const auto fail = [](const QString &why) {
        std::fprintf(stderr, "tarvsoak: %s\n", qPrintable(why));
        return 2;
    };
    if (!QDir().mkpath(dir))
        return fail("cannot make " + dir);

    // The card's calibration on every channel, each plotted and logged; the card on
    // the defaults' COM1. The port vanishes every 40 s for 3 s (the 40 s count from
    // its return); quiet spells of 2 s come every 10-30 s.
    core::AcquisitionState state;
    testsupport::prepareState(state, dir);
    std::fill_n(state.plotEnable.begin(), core::ChannelCount, core::True);
    std::fill_n(state.saveEnable.begin(), core::ChannelCount, core::True);
    QProcess sim;
    QString simOut;
    if (!testsupport::startSimulatedCard(sim, simOut,
            {"--dir", dir, "--unthrottled", "--split", "--merge", "--garbage", "0.01", "--overlong",
                "0.002", "--malformed", "0.01", "--silence", "2", "--vanish-every",
                QString::number(VanishEvery), "--vanish-for", QString::number(VanishFor), "--seed",
                parser.value("seed")}))
        return fail("the simulated card did not start: " + simOut);

    const QString logPath = QDir(dir).filePath(QStringLiteral("soak.csv"));
    testsupport::ScriptedPrompts prompts;
    core::SystemClock clock;
    std::unique_ptr<ui::MdiDaq> window;
    QStringList journalErrors;
    service::Journal journal(
        [&](const QByteArray &line) {
            if (line.startsWith("<3>"))
                journalErrors << QString::fromUtf8(line.trimmed());
        },
        [](const QByteArray &) {});
    std::unique_ptr<service::AcquisitionService> service;
    // The logger hears each tick first and does not change the state, so the count
    // sees what it saw.
    qint64 countedSeconds = 0;
    core::AcquisitionState *live = &state;
    const auto countTick = [&] {
        countedSeconds += live->cardConnected == core::True && live->savingActive == core::True;
    };
    const auto logEverySecond = [&](core::AcquisitionState &s) {
        s.saveFileName = logPath;
        s.useChannelHeaders = core::True;
        s.saveInterval = s.saveIntervalUnit = s.stampMode = 1;
    };
    if (parser.isSet("headless")) {
        // The service reads what the operator's files say, as it does on a rig.
        logEverySecond(state);
        core::writeComPortFile(state);
        core::SaveCardSettings(state);
        core::SaveLogSettings(state);
        service::ServiceOptions options;
        options.dir = dir;
        options.tableDirs = {QStringLiteral(TARV_SOURCE_DIR "/data")};
        service = std::make_unique<service::AcquisitionService>(options, clock, journal);
        if (!service->start())
            return fail(QStringLiteral("the service did not start: ") + journalErrors.join(' '));
        live = &service->state();
        QObject::connect(service->findChild<QTimer *>(QStringLiteral("tmrSave")), &QTimer::timeout,
            service.get(), countTick);
        if (!runUntil([&] { return live->taskRunning == core::True; }, 10s))
            return fail("the card did not answer");
    } else {
        window = std::make_unique<ui::MdiDaq>(state, prompts, clock, ui::MdiDaqOptions {0ms});
        window->resize(1280, 960);
        window->load();
        for (const char *child : {"ViewAnalogData", "ViewDigitalData", "ViewTrend", "TaskManager",
                 "OptionsCalibrate", "OptionsCardConfig", "OptionsCardComm"})
            if (!window->openChild(QString::fromLatin1(child)))
                std::fprintf(stderr, "tarvsoak: could not open %s\n", child);
        if (!runUntil([&] { return state.cardConnected == core::True; }, 10s))
            return fail("the card did not answer");
        logEverySecond(state);
        if (const auto started = window->logger().start(); !started.ok)
            return fail("logging: " + started.error);
        window->action(QStringLiteral("TaskStart"))->trigger();
        QObject::connect(window.get(), &ui::MdiDaq::saveTick, window.get(), countTick);
    }

    int losses = 0, returns = 0, restarts = 0;
    link::CardLink &cardLink = window ? window->link() : service->link();
    QObject::connect(&cardLink, &link::CardLink::portLost, &cardLink, [&] { ++losses; });
    QObject::connect(&cardLink, &link::CardLink::portReopened, &cardLink, [&] { ++returns; });
    QObject::connect(&cardLink, &link::CardLink::taskStateChanged, &cardLink,
        [&](bool running) { restarts += running; });

    const auto begin = std::chrono::steady_clock::now();
    const double cpuBegin = testsupport::cpuSeconds();
    const link::LinkCounters &n = cardLink.counters();
    long rssAtWarmup = -1, rssMaxAfter = -1, rssLast = -1;
    int elapsed = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, &sampler, [&] {
        rssLast = testsupport::residentKb();
        if (++elapsed == warmup)
            rssAtWarmup = rssLast;
        else if (elapsed > warmup)
            rssMaxAfter = std::max(rssMaxAfter, rssLast);
        if (elapsed % 60 == 0)
            std::printf("%5d s: analog %llu, digital %llu, log %lld, losses %d, RSS %ld kB\n",
                elapsed, n.analogAccepted, n.digitalAccepted, countedSeconds, losses, rssLast);
        std::fflush(stdout);
    });
    sampler.start(1s);
    runUntil([&] { return elapsed >= seconds; }, std::chrono::seconds(seconds + 60), 100ms);
    sampler.stop();
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - begin;
    const double cpu = testsupport::cpuSeconds() - cpuBegin;

    // Stop the card where it can hear it, then let what is on the way arrive. Once
    // the card answers, every loss so far has been mended and the task restarted.
    runUntil([&] { return live->cardConnected == core::True; }, 15s);
    const int lossesMended = losses, reopened = returns, restarted = restarts;
    cardLink.taskStop();
    quint64 seen = 0;
    int quietPolls = 0;
    runUntil(
        [&] {
            quietPolls = n.analogAccepted == seen ? quietPolls + 1 : 0;
            seen = n.analogAccepted;
            return quietPolls >= 10;
        },
        30s, 100ms);
    live->savingActive = core::False;
    sim.terminate();
    sim.waitForFinished(10000);
    simOut += QString::fromLatin1(sim.readAllStandardOutput());

    std::printf("ran %.0f s: CPU %.1f s (%.1f %% of one core)\n", wall.count(), cpu,
        100.0 * cpu / wall.count());
    std::printf("accepted analog %llu, digital %llu, version replies %llu; dropped %llu frames, "
                "discarded %llu lines and %llu bytes\n",
        n.analogAccepted, n.digitalAccepted, n.versionReplies, n.framesDropped, n.linesDiscarded,
        n.bytesDiscarded);
    std::printf("RSS at warm-up (%d s) %ld kB, highest after %ld kB, at the end %ld kB\n", warmup,
        rssAtWarmup, rssMaxAfter, rssLast);
    for (const auto &box : prompts.shown)
        std::printf("  message: %s | %s\n", qPrintable(box.title), qPrintable(box.text));
    for (const QString &line : journalErrors)
        std::printf("  journal: %s\n", qPrintable(line));

    int failures = 0;
    const auto check = [&](bool ok, const QString &what) {
        std::printf("%s  %s\n", ok ? "PASS" : "FAIL", qPrintable(what));
        failures += !ok;
    };
    const QRegularExpressionMatch tally
        = QRegularExpression("valid analog (\\d+), valid digital (\\d+), faulty (\\d+)")
              .match(simOut);
    const auto sent = [&](int field) { return tally.captured(field).toULongLong(); };
    check(tally.hasMatch(), "the simulated card reported what it sent: " + tally.captured());
    check(n.analogAccepted == sent(1) && n.digitalAccepted == sent(2),
        "frames accepted equal valid frames sent");
    check(sent(3) > 0 && n.framesDropped + n.linesDiscarded == sent(3),
        "every spoiled line thrown away, and nothing else");
    check(!simOut.contains("unread bytes"), "the program read everything the card sent");
    const QString logProblem = checkLog(logPath, countedSeconds);
    check(logProblem.isEmpty(),
        QStringLiteral("one log line per counted second (%1), none lost").arg(countedSeconds)
            + (logProblem.isEmpty() ? QString() : ": " + logProblem));
    const int due = seconds / (VanishEvery + VanishFor);
    check(lossesMended >= due && reopened == lossesMended && restarted == lossesMended,
        QStringLiteral("the port was lost %1 times (at least %2 due), found again and the task "
                       "restarted each time (%3, %4)")
            .arg(lossesMended)
            .arg(due)
            .arg(reopened)
            .arg(restarted));
    check(rssAtWarmup > 0 && rssMaxAfter - rssAtWarmup < 2048,
        QStringLiteral("resident memory grew %1 kB after the warm-up")
            .arg(rssMaxAfter - rssAtWarmup));
    check(prompts.shown.isEmpty() && journalErrors.isEmpty(), "no message box was needed");
    std::printf("%s\n", failures == 0 ? "soak passed" : "soak FAILED");
    return failures == 0 ? 0 : 1;
}
