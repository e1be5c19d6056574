#include "acquisition/acquisitionsession.h"
#include "core/numberformat.h"
#include "link/cardlink.h"
#include "link/channelconverter.h"
#include "link/framedecoder.h"
#include "logging/logger.h"
#include "publish/payloads.h"
#include "service/acquisitionservice.h"
#include "support/fakeclock.h"
#include "support/ptypair.h"
#include "support/scriptedprompts.h"
#include "support/servicerig.h"
#include "support/testfiles.h"

#include <QDir>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace tarv;
using namespace std::chrono_literals;
using testsupport::PtyPair;

namespace {

using Rig = testsupport::ServiceRig;
using testsupport::Frame;

// What the desktop program's logger writes from the service's state over the same
// seconds: a fresh log, header first.
QByteArray desktopLog(const core::AcquisitionState &from, const QString &path, int seconds,
    core::Long serialBefore = 0)
{
    core::AcquisitionState state = from;
    state.saveFileName = path;
    testsupport::FakeClock clock;
    testsupport::ScriptedPrompts prompts;
    logging::Logger logger(state, clock, prompts);
    if (!logger.start().ok)
        return {};
    state.saveSerialNo = serialBefore;
    for (int s = 0; s < seconds; ++s) {
        logger.tick();
        clock.advance(1);
    }
    return testsupport::fileBytes(path);
}

int exitCodeOf(QProcess &process)
{
    return process.waitForFinished(10000) ? process.exitCode() : -1;
}

} // namespace

class TestService : public QObject
{
    Q_OBJECT

private slots:
    void logsAsTheDesktopLoggerDoes_data();
    void logsAsTheDesktopLoggerDoes();
    void cardAbsentThenLostAndBack();
    void onceReportsTheFirstFrame();
    void onceChecksTheQuality_data();
    void onceChecksTheQuality();
    void onceAsJson();
    void reloadContinuesWithNewSettings();
    void reloadKeepsLoggingThatFails();
    void reloadMovesToAnotherPort();
    void exitCodes_data();
    void exitCodes();
    void unitSignals_data();
    void unitSignals();
    void permissionDeniedIsExplained();
    void notifiesTheServiceManager();
};

void TestService::logsAsTheDesktopLoggerDoes_data()
{
    QTest::addColumn<QByteArray>("before"); // the log's content when the service starts
    QTest::addColumn<QByteArray>("kept"); // what stays before the service's first line
    QTest::addColumn<int>("lastSerial");
    QTest::newRow("no log yet") << QByteArray() << QByteArray() << 0;
    // A restart never empties a log: the numbers go on, a cut-off line is ended.
    const QByteArray old = "SN,Sine,PT\r\n41,1.5    22\r\n42,1.6";
    QTest::newRow("continued") << old << old + "\r\n" << 42;
}

void TestService::logsAsTheDesktopLoggerDoes()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, kept);
    QFETCH(int, lastSerial);
    Rig rig;
    if (!before.isEmpty())
        testsupport::putFile(rig.path("log.csv"), before);
    QVERIFY(rig.plugIn(rig.pty));
    rig.start();
    QVERIFY(rig.answerAndStream(rig.pty));
    rig.tick(3);

    QByteArray expected = desktopLog(rig.service->state(), rig.path("desk.csv"), 3, lastSerial);
    if (!kept.isEmpty())
        expected = kept + expected.mid(expected.indexOf('\n') + 1); // no second header
    QCOMPARE(testsupport::fileBytes(rig.path("log.csv")), expected);
    QCOMPARE(expected.count('\n'), kept.count('\n') + (kept.isEmpty() ? 4 : 3));
    QVERIFY2(rig.reported("<6>logging to"), qPrintable(rig.reports.join(u'|')));
}

void TestService::cardAbsentThenLostAndBack()
{
    Rig rig;
    auto &service = rig.start();
    QVERIFY2(rig.reported("<4>COM 1 not open: no device for COM 1; tried " + rig.path("COM1")),
        qPrintable(rig.reports.join(u'|')));
    QVERIFY(!service.link().retryOpen());
    QCOMPARE(rig.reports.count(), 2); // the log, and the missing port said once

    // The card appears.
    QVERIFY(rig.plugIn(rig.pty));
    QVERIFY(service.link().retryOpen());
    QVERIFY(rig.answerAndStream(rig.pty));
    rig.tick(1);
    const auto lines = [&] { return testsupport::fileBytes(rig.path("log.csv")).count('\n'); };
    QCOMPARE(lines(), 2);

    // It vanishes: nothing is written while it is away; it comes back elsewhere.
    rig.pty.closeMaster();
    QVERIFY(QFile::remove(rig.path("COM1")));
    QTRY_COMPARE(service.state().portLost, core::True);
    rig.tick(3);
    QCOMPARE(lines(), 2);
    PtyPair back;
    QVERIFY(rig.plugIn(back));
    QVERIFY(service.link().retryOpen());
    QCOMPARE(back.waitForBytes(2), QByteArray("?\r"));
    QVERIFY(back.writeToProgram("V1.02\r"));
    QCOMPARE(back.waitForBytes(9), QByteArray("@TA00\r@N\r"));
    rig.tick(1);
    QCOMPARE(lines(), 3);
    QVERIFY(rig.reported("<4>COM 1 lost"));
    QCOMPARE(rig.reports.filter(QStringLiteral("<6>COM 1 opened")).size(), 2);
}

void TestService::onceReportsTheFirstFrame()
{
    Rig rig;
    rig.settings.zero200mV[1] = rig.settings.span200mV[1]; // channel 1 fails: a zero span
    rig.writeSettings();
    QVERIFY(rig.plugIn(rig.pty));
    service::ServiceOptions options;
    options.once = true;
    auto &service = rig.start(options);
    QSignalSpy finished(&service, &service::AcquisitionService::finished);
    QVERIFY(rig.answerAndStream(rig.pty));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toInt(), 0);
    QCOMPARE(rig.pty.waitForBytes(3), QByteArray("@F\r"));

    // The program's own conversion of the frame, as the logger would write it.
    core::AcquisitionState expected = rig.service->state();
    expected.analogFrame = QString::fromLatin1(Frame);
    expected.channelValues = {};
    link::DecodeAnalogFrame(expected);
    const link::ChannelFailures failures = link::ConvertChannels(expected);
    QStringList fields;
    for (int c = 0; c < 8; ++c)
        fields << core::formatGeneral(expected.channelValues[c]);
    QCOMPARE(rig.output, QStringList {fields.join(u',') + ",24.5"});
    QVERIFY(!failures.empty());
    QVERIFY(rig.reported("<4>conversion failed: channel 1: Division by zero"));

    // No frame in time: exit 1 with the reason.
    Rig silent;
    options.onceLimit = 50ms;
    auto &waiting = silent.start(options);
    QSignalSpy gaveUp(&waiting, &service::AcquisitionService::finished);
    QVERIFY(gaveUp.wait(5000));
    QCOMPARE(gaveUp.first().first().toInt(), 1);
    QVERIFY(silent.reported("<3>no analog frame came within 0.05 s: no device for COM 1"));
}

void TestService::reloadContinuesWithNewSettings()
{
    Rig rig;
    QVERIFY(rig.plugIn(rig.pty));
    auto &service = rig.start();
    QVERIFY(rig.answerAndStream(rig.pty));
    rig.tick(2);
    rig.settings.saveInterval = 2;
    rig.settings.saveEnable[4] = core::False;
    rig.writeSettings();
    service.reload();
    rig.tick(4);
    const QStringList lines
        = QString::fromLatin1(testsupport::fileBytes(rig.path("log.csv"))).split("\r\n");
    // The first line after the reload is due at once, then every two seconds.
    QCOMPARE(lines.size(), 1 + 2 + 2 + 1);
    QVERIFY(lines[3].startsWith("3,") && !lines[3].contains("    "));
    QVERIFY(lines[4].startsWith("4,"));
    QCOMPARE(service.state().taskRunning, core::True);
}

// A reload while the log cannot be written leaves logging on: lines are skipped and
// counted, and resume once the file can be written again.
void TestService::reloadKeepsLoggingThatFails()
{
    Rig rig;
    QVERIFY(rig.plugIn(rig.pty));
    rig.start();
    QVERIFY(rig.answerAndStream(rig.pty));
    rig.tick(1);
    // A directory in the log's place refuses it even to root.
    QVERIFY(QFile::rename(rig.path("log.csv"), rig.path("kept.csv")));
    QVERIFY(QDir(rig.dir.path()).mkdir("log.csv"));
    rig.tick(1);
    rig.service->reload();
    rig.tick(2);
    QVERIFY(QDir(rig.dir.path()).rmdir("log.csv"));
    rig.tick(1);
    QVERIFY2(rig.reported("has resumed; 3 lines were skipped")
            && rig.reports.filter("<3>Saving Error: The log file").size() == 1,
        qPrintable(rig.reports.join(u'|')));
    const QByteArray log = testsupport::fileBytes(rig.path("log.csv"));
    // A new file: its header, then the numbers with a gap where lines were skipped.
    QVERIFY2(log.startsWith("SN") && log.contains("\r\n3,") && log.count('\n') == 2, log);
}

// SIGHUP naming a port that is not there: the old card is told to stop and let go,
// nothing is logged while no port is open, and the new port is looked for.
void TestService::reloadMovesToAnotherPort()
{
    Rig rig;
    QVERIFY(rig.plugIn(rig.pty));
    auto &service = rig.start();
    QVERIFY(rig.answerAndStream(rig.pty));
    // A damaged file falls back to COM 1, as at the start: here, the port in use.
    testsupport::putFile(rig.path("tarvs.con"), "\"unclosed");
    service.reload();
    QVERIFY(rig.reported("<4>settings: " + rig.path("tarvs.con")));
    QCOMPARE(rig.pty.waitForBytes(1, 200ms), QByteArray());
    rig.settings.comPort = 2;
    rig.writeSettings();
    service.reload();
    QCOMPARE(rig.pty.waitForBytes(3), QByteArray("@F\r"));
    QVERIFY(rig.reported("<4>COM 2 not open: no device for COM 2"));
    const auto accepted = service.link().counters().analogAccepted;
    QVERIFY(rig.pty.writeToProgram(Frame));
    QTest::qWait(100); // for a frame that must not count
    QCOMPARE(service.link().counters().analogAccepted, accepted);
    const qsizetype logged = testsupport::fileBytes(rig.path("log.csv")).size();
    rig.tick(2);
    QCOMPARE(testsupport::fileBytes(rig.path("log.csv")).size(), logged);
    PtyPair second;
    QVERIFY(QFile::link(second.slavePath(), rig.path("COM2")));
    QVERIFY(service.link().retryOpen());
    QCOMPARE(second.waitForBytes(2), QByteArray("?\r"));
}

// The quick check before a unit is enabled: against the simulated card, the channels
// that are logged (all of them when none is) must be good.
void TestService::onceChecksTheQuality_data()
{
    QTest::addColumn<bool>("calibrated");
    QTest::addColumn<QString>("broken"); // the simulated card's --break, or nothing
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("named"); // channels named on standard error
    QTest::newRow("uncalibrated defaults") << false << "" << 6 << 8;
    QTest::newRow("calibrated") << true << "" << 0 << 0;
    QTest::newRow("a logged sensor open") << true << "4:open" << 6 << 1;
    QTest::newRow("an unlogged one") << true << "3:full" << 0 << 0;
}

void TestService::onceChecksTheQuality()
{
    QFETCH(bool, calibrated);
    QFETCH(QString, broken);
    QFETCH(int, code);
    QFETCH(int, named);
    Rig rig;
    if (!calibrated) {
        for (const char *file : {"tarv.con", "tarvo.con", "tarvs.con"})
            QVERIFY(QFile::remove(rig.path(file)));
    }
    QProcess card;
    QString said;
    QStringList cardArgs {"--dir", rig.dir.path(), "--rate", "20"};
    if (!broken.isEmpty())
        cardArgs << "--break" << broken;
    QVERIFY(testsupport::startSimulatedCard(card, said, cardArgs));
    QProcess service;
    service.start(TARV_SERVICE_PATH, {"--dir", rig.dir.path(), "--once"});
    QCOMPARE(exitCodeOf(service), code);
    const QString err = QString::fromUtf8(service.readAllStandardError());
    const QStringList lines = err.split(u'\n').filter(QRegularExpression("^<4>channel \\d"));
    QVERIFY2(lines.size() == named, qPrintable(err));
    if (!calibrated)
        QVERIFY2(lines.first() == "<4>channel 0 (Channel 0): bad, not calibrated", qPrintable(err));
    if (named == 1)
        QVERIFY2(
            lines.first() == "<4>channel 4 (Channel 4): bad, sensor fault high", qPrintable(err));
    QCOMPARE(service.readAllStandardOutput().count(','), 8);
    card.terminate();
    QVERIFY(card.waitForFinished(5000));
}

// --once --json: the analog object of the broker's topic, for scripts and installers.
void TestService::onceAsJson()
{
    Rig rig;
    QVERIFY(rig.plugIn(rig.pty));
    service::ServiceOptions options;
    options.once = options.json = true;
    auto &service = rig.start(options);
    QVERIFY(rig.answerAndStream(rig.pty));
    QCOMPARE(rig.output.size(), 1);
    QVERIFY(QJsonDocument::fromJson(rig.output.first().toLatin1()).isObject());
    QCOMPARE(rig.output.first().toLatin1(),
        publish::analogPayload(
            service.state(), rig.clock.now().toUTC(), service.session().conversionFaults()));
}

void TestService::exitCodes_data()
{
    QTest::addColumn<QString>("problem");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says");
    QTest::newRow("bad command line") << "--bogus" << 2 << "bogus";
    QTest::newRow("tables missing") << "tables" << 3 << "j.tc";
    QTest::newRow("port held") << "held" << 4 << "is in use by another program";
    QTest::newRow("log cannot be created") << "log" << 5 << "cannot be written";
}

void TestService::exitCodes()
{
    QFETCH(QString, problem);
    QFETCH(int, code);
    QFETCH(QString, says);
    Rig rig;
    QSerialPort holder(rig.pty.slavePath());
    QVERIFY(rig.plugIn(rig.pty));
    QStringList args {QStringLiteral("--dir"), rig.dir.path()};
    if (problem == QLatin1String("--bogus"))
        args << problem;
    else if (problem == QLatin1String("tables"))
        QVERIFY(QFile::remove(rig.path("j.tc")));
    else if (problem == QLatin1String("held"))
        QVERIFY(holder.open(QIODevice::ReadWrite));
    else {
        rig.settings.saveFileName = rig.path("gone/log.csv");
        rig.writeSettings();
    }
    QProcess service;
    service.start(QStringLiteral(TARV_SERVICE_PATH), args);
    QCOMPARE(exitCodeOf(service), code);
    const QString err = QString::fromUtf8(service.readAllStandardError());
    QVERIFY2(err.contains(says), qPrintable(err));
    if (problem == QLatin1String("held"))
        QVERIFY2(err.contains("COM 1: " + rig.pty.slavePath()), qPrintable(err));
}

// The service as the unit runs it: SIGHUP rereads the settings, SIGTERM stops the
// card and ends with 0, also right behind a flood of SIGHUPs, and with standard error
// a pipe nobody reads any more.
void TestService::unitSignals_data()
{
    QTest::addColumn<int>("hangups");
    QTest::addColumn<bool>("closedStderr");
    QTest::newRow("SIGHUP rereads the settings") << 1 << false;
    QTest::newRow("SIGTERM behind 200,000 SIGHUPs") << 200000 << false;
    QTest::newRow("standard error a closed pipe") << 1 << true;
}

void TestService::unitSignals()
{
    QFETCH(int, hangups);
    QFETCH(bool, closedStderr);
    Rig rig;
    QVERIFY(rig.plugIn(rig.pty));
    QProcess service;
    if (closedStderr)
        service.setChildProcessModifier([] {
            int ends[2];
            if (::pipe(ends) != 0 || ::close(ends[0]) != 0 || ::dup2(ends[1], 2) != 2)
                ::_exit(99);
        });
    service.start(QStringLiteral(TARV_SERVICE_PATH), {QStringLiteral("--dir"), rig.dir.path()});
    QCOMPARE(rig.pty.waitForBytes(2), QByteArray("?\r"));
    QVERIFY(rig.pty.writeToProgram("V1.02\r"));
    QCOMPARE(rig.pty.waitForBytes(9), QByteArray("@TA00\r@N\r"));

    rig.settings.saveInterval = 7;
    rig.writeSettings();
    for (int i = 0; i < hangups; ++i)
        QCOMPARE(::kill(pid_t(service.processId()), SIGHUP), 0);
    QByteArray err;
    QVERIFY(closedStderr || QTest::qWaitFor([&] {
        return (err += service.readAllStandardError()).contains("every 7 s");
    }));
    ::kill(pid_t(service.processId()), SIGTERM);
    QCOMPARE(rig.pty.waitForBytes(3), QByteArray("@F\r"));
    QCOMPARE(exitCodeOf(service), 0);
    QCOMPARE(service.exitStatus(), QProcess::NormalExit);
}

// The most common first day: a user outside the dialout group. Root may open any
// device, so the service runs as nobody here.
void TestService::permissionDeniedIsExplained()
{
    if (::geteuid() != 0)
        QSKIP("needs root to run the service as another user");
    Rig rig;
    QVERIFY(rig.plugIn(rig.pty));
    QVERIFY(::chmod(QFile::encodeName(rig.dir.path()).constData(), 0705) == 0
        && ::chmod(QFile::encodeName(rig.pty.slavePath()).constData(), 0600) == 0);
    QProcess service;
    service.start(QStringLiteral("runuser"),
        {"-u", "nobody", "--", TARV_SERVICE_PATH, "--dir", rig.dir.path(), "--no-log"});
    QByteArray err;
    QVERIFY(QTest::qWaitFor(
        [&] { return (err += service.readAllStandardError()).contains("dialout"); }, 5000));
    QVERIFY2(
        err.contains("<4>COM 1 not open: permission denied on " + rig.pty.slavePath().toUtf8()),
        err.constData());
    // runuser answers a signal of its own with the signal's number: stop the service itself.
    QProcess::execute("pkill", {"-TERM", "-P", QString::number(service.processId())});
    QCOMPARE(exitCodeOf(service), 0);
}

// As systemd runs a Type=notify unit with WatchdogSec=0.3: READY=1 once the service
// runs, then WATCHDOG=1 every 0.15 s, well inside the interval the manager allows.
void TestService::notifiesTheServiceManager()
{
    Rig rig;
    const QByteArray socketPath = QFile::encodeName(rig.path("notify"));
    sockaddr_un address {AF_UNIX, {}};
    qstrncpy(address.sun_path, socketPath.constData(), sizeof address.sun_path);
    const int manager = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const auto closeManager = qScopeGuard([manager] { ::close(manager); });
    const timeval patience {5, 0};
    QVERIFY(socketPath.size() < qsizetype(sizeof address.sun_path) && manager >= 0
        && ::bind(manager, (sockaddr *)&address, sizeof address) == 0
        && ::setsockopt(manager, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience) == 0);
    QProcess service;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("NOTIFY_SOCKET", socketPath);
    environment.insert("WATCHDOG_USEC", "300000");
    service.setProcessEnvironment(environment);
    const auto started = std::chrono::steady_clock::now();
    service.start(QStringLiteral(TARV_SERVICE_PATH), {"--dir", rig.dir.path(), "--no-log"});
    for (int i = 0; i < 7; ++i) { // 0.9 s of pings; at the full interval 1.8 s would pass
        char message[64];
        const ssize_t got = ::recv(manager, message, sizeof message, 0);
        QCOMPARE(QByteArray(message, std::max<ssize_t>(got, 0)), i ? "WATCHDOG=1" : "READY=1");
    }
    const auto took = std::chrono::steady_clock::now() - started;
    QVERIFY2(took >= 600ms && took < 1500ms, qPrintable(QString::number(took / 1ms) + " ms"));
    ::kill(pid_t(service.processId()), SIGTERM);
    QCOMPARE(exitCodeOf(service), 0);
}

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
