#include "link/cardlink.h"
#include "link/portresolver.h"
#include "support/feeddevice.h"
#include "support/ptypair.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <ctime>
#include <memory>

using namespace std::chrono_literals;
using tarv::core::AcquisitionState;
using tarv::link::CardLink;
using tarv::link::ChannelFailures;
using tarv::link::ConversionError;
using tarv::link::DecodeOutcome;
using tarv::testsupport::PtyPair;

namespace {

const QByteArray AnalogFrame = "+01234,-00050,+00000,+00000,+00000,+00000,+00000,+00000,+23.5\r";
const QByteArray OtherAnalogFrame
    = "-00007,+00000,+00000,+00000,+00000,+00000,+00000,+00000,+21.0\r";
const QByteArray DigitalFrame = "8001000F\r";

enum class Command { TaskStart, TaskStop, DigitalOutput };

// Runs the event loop for a while; only for checking that something does NOT happen.
void runEventLoopFor(std::chrono::milliseconds span)
{
    QEventLoop loop;
    QTimer::singleShot(span, &loop, &QEventLoop::quit);
    loop.exec();
}

quint64 linesHandled(const tarv::link::LinkCounters &c)
{
    return c.analogAccepted + c.digitalAccepted + c.versionReplies + c.linesDiscarded
        + c.framesDropped;
}

} // namespace

Q_DECLARE_METATYPE(Command)

class TestCardLink : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openSendsVersionQuery();
    void openFailureLeavesPortClosed();
    void commandsWaitForTheCard_data();
    void commandsWaitForTheCard();
    void taskStartRunsAfterThePause();
    void taskStopDuringThePause();
    void pauseIsNeverShort();
    void linkDestroyedDuringThePause();
    void digitalOutputWords_data();
    void digitalOutputWords();
    void digitalOutputWhileSilentIsCarried();
    void stopAtCloseNeedsOnlyThePort();
    void receivedLines_data();
    void receivedLines();
    void conversionReportedForEveryFrame_data();
    void conversionReportedForEveryFrame();
    void linesArrivingDuringAModalBoxAreKept();
    void unterminatedTextStaysBounded_data();
    void unterminatedTextStaysBounded();
    void deviceLossClosesThePortOnce();
    void lostPortComesBack_data();
    void lostPortComesBack();
    void portReturnsInsideAModalLoop();
    void resolver_data();
    void resolver();
    void openThroughComEntry();

private:
    // Opens the link on the pty and takes the "?" it sends off the wire.
    void openLink();
    // openLink, then the card answers the version query.
    void connectCard();
    QSerialPort *port() const { return m_link->findChild<QSerialPort *>(); }

    std::unique_ptr<PtyPair> m_pty;
    std::unique_ptr<AcquisitionState> m_state;
    std::unique_ptr<CardLink> m_link;
};

void TestCardLink::init()
{
    m_pty = std::make_unique<PtyPair>();
    QVERIFY2(m_pty->isValid(), qPrintable(m_pty->errorString()));
    m_state = std::make_unique<AcquisitionState>();
    m_link = std::make_unique<CardLink>(*m_state);
}

void TestCardLink::cleanup()
{
    m_link.reset();
    m_state.reset();
    m_pty.reset();
}

void TestCardLink::openLink()
{
    QVERIFY(m_link->openPort(m_pty->slavePath()));
    QCOMPARE(m_pty->waitForBytes(2), QByteArray("?\r"));
}

void TestCardLink::connectCard()
{
    openLink();
    if (QTest::currentTestFailed())
        return;
    QVERIFY(m_pty->writeToProgram("V1.23\r"));
    QTRY_COMPARE(m_state->cardConnected, tarv::core::True);
}

void TestCardLink::openSendsVersionQuery()
{
    QVERIFY(m_link->openPort(m_pty->slavePath()));
    QCOMPARE(m_state->portOpened, tarv::core::True);
    QVERIFY(m_link->isPortOpen());
    // Sent before openPort returns, nothing but the query and its CR.
    QCOMPARE(m_pty->waitForBytes(2, 2s, PtyPair::Events::Hold), QByteArray("?\r"));
    QVERIFY(port());
    QCOMPARE(port()->baudRate(), 9600);
    QCOMPARE(port()->dataBits(), QSerialPort::Data8);
    QCOMPARE(port()->parity(), QSerialPort::NoParity);
    QCOMPARE(port()->stopBits(), QSerialPort::OneStop);
    QCOMPARE(port()->flowControl(), QSerialPort::NoFlowControl);
}

void TestCardLink::openFailureLeavesPortClosed()
{
    m_state->portOpened = tarv::core::True; // must be overwritten by the attempt
    QVERIFY(!m_link->openPort(QDir(QDir::tempPath()).filePath("no-such-serial-device")));
    QCOMPARE(m_state->portOpened, tarv::core::False);
    QVERIFY(!m_link->isPortOpen());

    // Commands on a closed port are dropped quietly, even with the card marked present.
    m_state->cardConnected = tarv::core::True;
    m_link->sendVersionQuery();
    m_link->taskStart();
    m_link->digitalOutput(0);
    m_link->stopAtClose();
    QCOMPARE(m_state->doCommand[0], tarv::core::True);
}

void TestCardLink::commandsWaitForTheCard_data()
{
    QTest::addColumn<Command>("command");
    QTest::newRow("task start") << Command::TaskStart;
    QTest::newRow("task stop") << Command::TaskStop;
    QTest::newRow("digital output") << Command::DigitalOutput;
}

void TestCardLink::commandsWaitForTheCard()
{
    QFETCH(Command, command);
    openLink();
    m_state->taskRunning = tarv::core::False;
    QSignalSpy taskSpy(m_link.get(), &CardLink::taskStateChanged);

    switch (command) {
    case Command::TaskStart:
        m_link->taskStart();
        break;
    case Command::TaskStop:
        m_state->taskRunning = tarv::core::True;
        m_link->taskStop();
        break;
    case Command::DigitalOutput:
        m_link->digitalOutput(0);
        break;
    }
    // The query goes out regardless; anything the command sent would come first.
    m_link->sendVersionQuery();
    QCOMPARE(m_pty->waitForBytes(2), QByteArray("?\r"));
    QCOMPARE(taskSpy.count(), 0);
    QCOMPARE(
        m_state->taskRunning, command == Command::TaskStop ? tarv::core::True : tarv::core::False);
    QVERIFY2(!m_link->findChild<QTimer *>("tmrDelay")->isActive(),
        "the task start pause must not begin without the card");
}

void TestCardLink::taskStartRunsAfterThePause()
{
    connectCard();
    if (QTest::currentTestFailed())
        return;
    QSignalSpy taskSpy(m_link.get(), &CardLink::taskStateChanged);

    m_link->taskStart();
    QCOMPARE(m_state->taskRunning, tarv::core::True);
    QCOMPARE(taskSpy.count(), 1);
    QCOMPARE(taskSpy.at(0).at(0).toBool(), true);
    auto *delay = m_link->findChild<QTimer *>("tmrDelay");
    QVERIFY(delay);
    QVERIFY(delay->isActive());
    QVERIFY(delay->isSingleShot());
    QCOMPARE(delay->interval(), 100);

    // A marker sent now lands before "@N" only if taskStart returned without it.
    m_link->sendVersionQuery();
    QCOMPARE(m_pty->waitForBytes(8, 2s, PtyPair::Events::Hold), QByteArray("@TA00\r?\r"));
    QCOMPARE(m_pty->waitForBytes(3), QByteArray("@N\r"));
    QVERIFY(!delay->isActive());
    QCOMPARE(m_state->taskRunning, tarv::core::True);
}

void TestCardLink::taskStopDuringThePause()
{
    connectCard();
    if (QTest::currentTestFailed())
        return;
    QSignalSpy taskSpy(m_link.get(), &CardLink::taskStateChanged);

    m_link->taskStart();
    m_link->taskStop();
    QCOMPARE(m_state->taskRunning, tarv::core::False);
    QCOMPARE(taskSpy.count(), 2);
    QCOMPARE(taskSpy.at(1).at(0).toBool(), false);
    QCOMPARE(m_pty->waitForBytes(9, 2s, PtyPair::Events::Hold), QByteArray("@TA00\r@F\r"));
    // The run command still follows when the pause ends; the state stays stopped.
    QCOMPARE(m_pty->waitForBytes(3), QByteArray("@N\r"));
    QCOMPARE(m_state->taskRunning, tarv::core::False);
}

// Timed where each command is written: the card needs the whole 100 ms. A coarse
// timer moves its deadline by up to 5 % to a 100 ms boundary of the monotonic
// clock, so the starts fall just after such boundaries, where it would end early.
void TestCardLink::pauseIsNeverShort()
{
    using namespace std::chrono;
    tarv::testsupport::FeedDevice line;
    m_link->attachDevice(&line);
    line.feed("V1.02\r");
    for (const int phase : {1, 2, 3, 4}) {
        line.written.clear();
        line.writeTimes.clear();
        const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch());
        const milliseconds wait((100 + phase - ms.count() % 100) % 100);
        QTimer::singleShot(wait, Qt::PreciseTimer, m_link.get(), [this] { m_link->taskStart(); });
        // A real event loop: QTRY's polling would let a short pause fire late.
        QSignalSpy writes(&line, &QIODevice::bytesWritten);
        while (writes.size() < 2 && writes.wait(1000)) { }
        QCOMPARE(line.written, QByteArray("@TA00\r@N\r"));
        QVERIFY2(line.writeTimes.at(1) - line.writeTimes.at(0) >= 100ms,
            qPrintable(QString::number(
                duration<double, std::milli>(line.writeTimes.at(1) - line.writeTimes.at(0))
                    .count())));
    }
}

void TestCardLink::linkDestroyedDuringThePause()
{
    connectCard();
    if (QTest::currentTestFailed())
        return;
    m_link->taskStart();
    QPointer<QTimer> delay = m_link->findChild<QTimer *>("tmrDelay");
    QCOMPARE(m_pty->waitForBytes(6), QByteArray("@TA00\r"));
    m_link.reset();
    QVERIFY2(delay.isNull(), "the pause must end with the link");

    // A second link runs its own start; its "@N" comes after the first link's pause
    // would have ended, so anything left over from the first would show up before it.
    CardLink second(*m_state);
    QVERIFY(second.openPort(m_pty->slavePath()));
    second.taskStart();
    QCOMPARE(m_pty->waitForBytes(11), QByteArray("?\r@TA00\r@N\r"));
}

void TestCardLink::digitalOutputWords_data()
{
    QTest::addColumn<QList<int>>("presetOn"); // doCommand entries set to 1 (not a flag)
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("button 0 twice")
        << QList<int>() << QList<int> {0, 0} << QByteArray("#D0001\r#D0000\r");
    QTest::newRow("lines 0 and 4")
        << QList<int>() << QList<int> {0, 4} << QByteArray("#D0001\r#D0011\r");
    QTest::newRow("lines 12 to 15") << QList<int>() << QList<int> {12, 13, 14, 15}
                                    << QByteArray("#D1000\r#D3000\r#D7000\r#DF000\r");
    QTest::newRow("line 15 is the top bit")
        << QList<int>() << QList<int> {15, 7} << QByteArray("#D8000\r#D8080\r");
    // Only -1 is on; any other non-zero value reads as off and toggles to 0.
    QTest::newRow("stray value is off")
        << QList<int> {2} << QList<int> {5, 2} << QByteArray("#D0020\r#D0020\r");
    QTest::newRow("buttons outside 0..15 ignored")
        << QList<int>() << QList<int> {16, -1, 0} << QByteArray("#D0001\r");
}

void TestCardLink::digitalOutputWords()
{
    QFETCH(QList<int>, presetOn);
    QFETCH(QList<int>, clicks);
    QFETCH(QByteArray, wire);
    connectCard();
    if (QTest::currentTestFailed())
        return;
    for (int line : presetOn)
        m_state->doCommand[static_cast<std::size_t>(line)] = 1;

    for (int line : clicks)
        m_link->digitalOutput(line);
    QCOMPARE(m_pty->waitForBytes(wire.size()), wire);
    for (int line : presetOn)
        QCOMPARE(m_state->doCommand[static_cast<std::size_t>(line)], tarv::core::False);
    QCOMPARE(m_state->doCommand[16], tarv::core::False);
}

void TestCardLink::digitalOutputWhileSilentIsCarried()
{
    openLink();
    m_link->digitalOutput(3);
    QCOMPARE(m_state->doCommand[3], tarv::core::True);
    m_link->sendVersionQuery();
    QCOMPARE(m_pty->waitForBytes(2), QByteArray("?\r"));

    QVERIFY(m_pty->writeToProgram("V1.02\r"));
    QTRY_COMPARE(m_state->cardConnected, tarv::core::True);
    m_link->digitalOutput(0);
    QCOMPARE(m_pty->waitForBytes(7), QByteArray("#D0009\r"));
}

void TestCardLink::stopAtCloseNeedsOnlyThePort()
{
    openLink();
    QCOMPARE(m_state->cardConnected, tarv::core::False);
    m_link->stopAtClose();
    QCOMPARE(m_pty->waitForBytes(3, 2s, PtyPair::Events::Hold), QByteArray("@F\r"));
}

void TestCardLink::receivedLines_data()
{
    QTest::addColumn<QByteArrayList>("reads"); // one write to the port each
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("analogFrame");
    QTest::addColumn<QString>("digitalFrame");
    QTest::addColumn<int>("rawCount0");
    // analog accepted, digital accepted, version replies, lines discarded, frames dropped
    QTest::addColumn<QList<int>>("counts");

    const QString noFrame;
    const QString defaultFrame = tarv::core::DefaultAnalogFrame;
    const QString analog = QString::fromLatin1(AnalogFrame);
    const QString digital = QString::fromLatin1(DigitalFrame);

    QTest::newRow("version in three reads")
        << QByteArrayList {"V1", ".23", "\r"} << "1.23" << defaultFrame << noFrame << 0
        << QList<int> {0, 0, 1, 0, 0};
    QTest::newRow("short version keeps its CR") << QByteArrayList {"V1\r"} << "1\r" << defaultFrame
                                                << noFrame << 0 << QList<int> {0, 0, 1, 0, 0};
    QTest::newRow("62 characters starting with V are a version")
        << QByteArrayList {"V" + AnalogFrame.mid(1)} << "0123" << defaultFrame << noFrame << 0
        << QList<int> {0, 0, 1, 0, 0};
    QTest::newRow("lower-case v is no version")
        << QByteArrayList {"v1.23\r"} << QString() << defaultFrame << noFrame << 0
        << QList<int> {0, 0, 0, 1, 0};
    QTest::newRow("61-character line discarded")
        << QByteArrayList {AnalogFrame.mid(1)} << QString() << defaultFrame << noFrame << 0
        << QList<int> {0, 0, 0, 1, 0};
    QTest::newRow("analog and digital frame in one read")
        << QByteArrayList {AnalogFrame + DigitalFrame} << QString() << analog << digital << 1234
        << QList<int> {1, 1, 0, 0, 0};
    QTest::newRow("lone CR completes a line")
        << QByteArrayList {"8001000F", "\r"} << QString() << defaultFrame << digital << 0
        << QList<int> {0, 1, 0, 0, 0};
    QTest::newRow("lone CR on an empty buffer")
        << QByteArrayList {"\r"} << QString() << defaultFrame << noFrame << 0
        << QList<int> {0, 0, 0, 1, 0};
    QTest::newRow("many lines in one read")
        << QByteArrayList {"V1.02\r" + AnalogFrame + "junk\r" + DigitalFrame + OtherAnalogFrame}
        << "1.02" << QString::fromLatin1(OtherAnalogFrame) << digital << -7
        << QList<int> {2, 1, 1, 1, 0};
    QTest::newRow("reads ending mid-line")
        << QByteArrayList {AnalogFrame.left(30), AnalogFrame.mid(30) + DigitalFrame.left(4),
               DigitalFrame.mid(4)}
        << QString() << analog << digital << 1234 << QList<int> {1, 1, 0, 0, 0};
    QTest::newRow("count out of range drops the frame")
        << QByteArrayList {"+99999" + AnalogFrame.mid(6)} << QString() << defaultFrame << noFrame
        << 0 << QList<int> {0, 0, 0, 0, 1};
    QTest::newRow("non-hex digit drops the frame")
        << QByteArrayList {DigitalFrame, "0000000G\r"} << QString() << defaultFrame << digital << 0
        << QList<int> {0, 1, 0, 0, 1};
    QTest::newRow("bad frame keeps the previous one")
        << QByteArrayList {AnalogFrame, "+99999" + OtherAnalogFrame.mid(6)} << QString() << analog
        << noFrame << 1234 << QList<int> {1, 0, 0, 0, 1};
}

void TestCardLink::receivedLines()
{
    QFETCH(QByteArrayList, reads);
    QFETCH(QString, version);
    QFETCH(QString, analogFrame);
    QFETCH(QString, digitalFrame);
    QFETCH(int, rawCount0);
    QFETCH(QList<int>, counts);
    openLink();
    QSignalSpy readySpy(port(), &QIODevice::readyRead);

    for (const QByteArray &read : reads) {
        const qsizetype before = readySpy.count();
        QVERIFY(m_pty->writeToProgram(read));
        QTRY_VERIFY(readySpy.count() > before);
    }
    quint64 expectedLines = 0;
    for (int c : counts)
        expectedLines += static_cast<quint64>(c);
    QTRY_COMPARE(linesHandled(m_link->counters()), expectedLines);

    const auto &c = m_link->counters();
    QCOMPARE(QList<int>({int(c.analogAccepted), int(c.digitalAccepted), int(c.versionReplies),
                 int(c.linesDiscarded), int(c.framesDropped)}),
        counts);
    QCOMPARE(m_state->cardVersion, version);
    QCOMPARE(m_state->cardConnected, version.isEmpty() ? tarv::core::False : tarv::core::True);
    QCOMPARE(m_state->analogFrame, analogFrame);
    QCOMPARE(m_state->digitalFrame, digitalFrame);
    QCOMPARE(int(m_state->rawCounts[0]), rawCount0);
    if (!digitalFrame.isEmpty()) {
        QCOMPARE(m_state->diStates[0], tarv::core::True);
        QCOMPARE(m_state->diStates[15], tarv::core::True);
        QCOMPARE(m_state->doStates[3], tarv::core::True);
        QCOMPARE(m_state->doStates[4], tarv::core::False);
    }
}

void TestCardLink::conversionReportedForEveryFrame_data()
{
    QTest::addColumn<bool>("calibrated"); // channel 0's zero and span differ
    QTest::newRow("calibrated: empty report") << true;
    QTest::newRow("zero equals span: channel 0 fails") << false;
}

void TestCardLink::conversionReportedForEveryFrame()
{
    QFETCH(bool, calibrated);
    for (std::size_t i = 0; i < tarv::core::ChannelCount; ++i) {
        m_state->inputType[i] = 0;
        m_state->inputRange[i] = 10;
        m_state->zero10V[i] = calibrated || i != 0 ? 0 : 32000;
        m_state->span10V[i] = 32000;
    }
    openLink();

    QStringList events;
    std::vector<ChannelFailures> reports;
    connect(m_link.get(), &CardLink::conversionFailed, this, [&](const ChannelFailures &f) {
        events << "conversion";
        reports.push_back(f);
    });
    connect(m_link.get(), &CardLink::analogFrameAccepted, this, [&] { events << "accepted"; });
    QVERIFY(m_pty->writeToProgram(AnalogFrame + AnalogFrame));
    QTRY_COMPARE(events.size(), 4);

    // One report per frame, before the frame is announced, also when nothing failed.
    QCOMPARE(events, QStringList({"conversion", "accepted", "conversion", "accepted"}));
    for (const ChannelFailures &failures : reports) {
        if (calibrated) {
            QVERIFY(failures.empty());
        } else {
            QCOMPARE(failures.size(), std::size_t(1));
            QCOMPARE(failures.front().channel, 0);
            QCOMPARE(failures.front().error, ConversionError::DivisionByZero);
        }
    }
    QCOMPARE(m_state->channelValues[1], -50.0f * 10 / 32000);
    if (calibrated)
        QCOMPARE(m_state->channelValues[0], 1234.0f * 10 / 32000);
}

void TestCardLink::linesArrivingDuringAModalBoxAreKept()
{
    openLink();
    QStringList accepted;
    connect(m_link.get(), &CardLink::analogFrameAccepted, this,
        [&] { accepted << m_state->analogFrame.left(6); });
    connect(m_link.get(), &CardLink::digitalFrameAccepted, this, [&] { accepted << "digital"; });
    // The first conversion report opens a "modal box": a nested event loop that stays
    // open until the rest of a half-received line and another frame have come in.
    const QByteArray duringBox = DigitalFrame.mid(4) + OtherAnalogFrame;
    bool boxShown = false;
    connect(m_link.get(), &CardLink::conversionFailed, this, [&] {
        if (std::exchange(boxShown, true))
            return;
        QVERIFY(m_pty->writeToProgram(duringBox));
        QTRY_VERIFY(port()->bytesAvailable() == duringBox.size() || accepted.size() > 1);
    });

    QVERIFY(m_pty->writeToProgram(AnalogFrame + DigitalFrame.left(4)));
    QTRY_COMPARE(accepted.size(), 3);
    QCOMPARE(accepted, QStringList({"+01234", "digital", "-00007"}));
    QCOMPARE(m_link->counters().linesDiscarded, quint64(0));
    QCOMPARE(m_state->digitalFrame, QString::fromLatin1(DigitalFrame));
}

void TestCardLink::unterminatedTextStaysBounded_data()
{
    const qsizetype max = CardLink::MaxPendingBytes;
    QTest::addColumn<QByteArray>("garbage");
    QTest::addColumn<quint64>("dropped");
    QTest::addColumn<quint64>("versions");

    QTest::newRow("long noise") << QByteArray(10000, 'x') << quint64(10000 - max) << quint64(0);
    // The kept tail begins with "V" only because its start was cut off.
    QTest::newRow("cut lands on a V")
        << QByteArray(1000, 'x') + 'V' + QByteArray(max - 1, 'y') << quint64(1000) << quint64(0);
    QTest::newRow("exactly the bound is kept whole")
        << 'V' + QByteArray(max - 1, 'y') << quint64(0) << quint64(1);
}

void TestCardLink::unterminatedTextStaysBounded()
{
    QFETCH(QByteArray, garbage);
    QFETCH(quint64, dropped);
    QFETCH(quint64, versions);
    openLink();

    QVERIFY(m_pty->writeToProgram(garbage));
    // All but the newest MaxPendingBytes are dropped, however the reads were cut.
    QTRY_COMPARE(m_link->counters().bytesDiscarded, dropped);
    QVERIFY(m_pty->writeToProgram("\r" + AnalogFrame));
    QTRY_COMPARE(m_link->counters().analogAccepted, quint64(1));

    QCOMPARE(m_link->counters().bytesDiscarded, dropped);
    QCOMPARE(m_link->counters().versionReplies, versions);
    QCOMPARE(m_link->counters().linesDiscarded, quint64(1 - versions));
    QCOMPARE(m_state->analogFrame, QString::fromLatin1(AnalogFrame));
}

void TestCardLink::deviceLossClosesThePortOnce()
{
    connectCard();
    if (QTest::currentTestFailed())
        return;
    QSignalSpy lostSpy(m_link.get(), &CardLink::portLost);
    int portErrors = 0;
    connect(port(), &QSerialPort::errorOccurred, this, [&](QSerialPort::SerialPortError e) {
        if (e != QSerialPort::NoError)
            ++portErrors;
    });

    m_pty->closeMaster();
    QTRY_COMPARE(lostSpy.count(), 1);
    QVERIFY(!m_link->isPortOpen());
    QVERIFY(!lostSpy.at(0).at(0).toString().isEmpty());
    QCOMPARE(m_state->cardConnected, tarv::core::False);
    QCOMPARE(m_state->portLost, tarv::core::True);
    QCOMPARE(m_state->portOpened, tarv::core::True);

    // A vanished device left open keeps its read notifier firing without end.
    const int errorsAtLoss = portErrors;
    const std::clock_t cpuBefore = std::clock();
    runEventLoopFor(200ms);
    const double cpuMs = 1000.0 * double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    QCOMPARE(portErrors, errorsAtLoss);
    QCOMPARE(lostSpy.count(), 1);
    QVERIFY2(cpuMs < 100.0, qPrintable(QString("busy after loss: %1 ms CPU").arg(cpuMs)));

    m_link->taskStop(); // commands after the loss go nowhere
    QCOMPARE(lostSpy.count(), 1);
}

void TestCardLink::lostPortComesBack_data()
{
    QTest::addColumn<bool>("taskWasRunning");
    QTest::addColumn<QString>("stopped"); // when the operator chose Stop, if at all
    QTest::addColumn<QByteArray>("onAnswer"); // what goes out once the card answers
    QTest::newRow("task running") << true << "" << QByteArray("@TA00\r@N\r");
    QTest::newRow("task stopped") << false << "" << QByteArray();
    // The stop counts at once and reaches a card that kept streaming when it is back.
    QTest::newRow("stopped while lost") << true << "lost" << QByteArray("@F\r");
    QTest::newRow("stopped before it answers") << true << "reopened" << QByteArray("@F\r");
}

void TestCardLink::lostPortComesBack()
{
    QFETCH(bool, taskWasRunning);
    QFETCH(QString, stopped);
    QFETCH(QByteArray, onAnswer);
    connectCard();
    if (QTest::currentTestFailed())
        return;
    if (taskWasRunning) {
        m_link->taskStart();
        QCOMPARE(m_pty->waitForBytes(9), QByteArray("@TA00\r@N\r"));
    }
    QString device; // where the card turns up again; empty while it is away
    m_link->setDeviceFinder([&device] { return device; });
    QSignalSpy reopenedSpy(m_link.get(), &CardLink::portReopened);
    QSignalSpy taskSpy(m_link.get(), &CardLink::taskStateChanged);
    const auto stopIf = [&](const char *when) {
        if (stopped != QLatin1String(when))
            return;
        m_link->taskStop();
        QCOMPARE(m_state->taskRunning, tarv::core::False);
        QCOMPARE(taskSpy.count(), 1);
        QCOMPARE(taskSpy.at(0).at(0).toBool(), false);
    };

    m_pty->closeMaster();
    QTRY_COMPARE(m_state->portLost, tarv::core::True);
    stopIf("lost");
    QVERIFY(!m_link->retryOpen());
    device = QDir(QDir::tempPath()).filePath("no-such-serial-device");
    QVERIFY(!m_link->retryOpen());
    QCOMPARE(m_state->portLost, tarv::core::True);
    QCOMPARE(m_state->portOpened, tarv::core::True);
    QCOMPARE(reopenedSpy.count(), 0);

    PtyPair back;
    QVERIFY2(back.isValid(), qPrintable(back.errorString()));
    device = back.slavePath();
    QVERIFY(m_link->retryOpen());
    QCOMPARE(reopenedSpy.count(), 1);
    QCOMPARE(m_state->portLost, tarv::core::False);
    QVERIFY(!m_link->findChild<QTimer *>("tmrReconnect")->isActive());
    QCOMPARE(back.waitForBytes(2), QByteArray("?\r"));
    QVERIFY2(m_link->retryOpen(), "a port that is open stays as it is");
    QCOMPARE(reopenedSpy.count(), 1);
    stopIf("reopened");

    // Nothing goes out before the card answers, and the task is restarted or
    // stopped once only.
    m_link->digitalOutput(3);
    QVERIFY(back.writeToProgram("V1.23\r"));
    QTRY_COMPARE(m_state->cardConnected, tarv::core::True);
    if (!onAnswer.isEmpty())
        QCOMPARE(back.waitForBytes(onAnswer.size()), onAnswer);
    QVERIFY(back.writeToProgram("V1.23\r"));
    QTRY_COMPARE(m_link->counters().versionReplies, quint64(3));
    m_link->sendVersionQuery(); // anything sent since would come before it
    QCOMPARE(back.waitForBytes(2), QByteArray("?\r"));
    QCOMPARE(
        m_state->taskRunning, onAnswer.startsWith("@TA00") ? tarv::core::True : tarv::core::False);

    // Received text still flows through the new port.
    QVERIFY(back.writeToProgram(AnalogFrame));
    QTRY_COMPARE(m_link->counters().analogAccepted, quint64(1));
}

void TestCardLink::portReturnsInsideAModalLoop()
{
    // A message box opened by a handler of a received frame runs its own event loop
    // inside the port's receive notification; the loss and the return can both
    // happen in there, and the port must survive its own notification.
    connectCard();
    if (QTest::currentTestFailed())
        return;
    PtyPair back;
    QVERIFY2(back.isValid(), qPrintable(back.errorString()));
    m_link->setDeviceFinder([&back] { return back.slavePath(); });
    bool lost = false;
    bool reopened = false;
    bool inside = false;
    connect(m_link.get(), &CardLink::conversionFailed, this, [&](const ChannelFailures &) {
        if (inside)
            return;
        inside = true;
        m_pty->closeMaster();
        QEventLoop loop;
        QTimer poll;
        connect(&poll, &QTimer::timeout, &loop, [&] {
            if (m_state->portLost == tarv::core::True)
                reopened = m_link->retryOpen();
            if (reopened)
                loop.quit();
        });
        QTimer::singleShot(5s, &loop, &QEventLoop::quit);
        poll.start(10);
        lost = true;
        loop.exec();
    });
    QVERIFY(m_pty->writeToProgram(AnalogFrame));
    QTRY_VERIFY(inside);
    QVERIFY(lost);
    QVERIFY2(reopened, "the loss should be seen and mended inside the modal loop");
    QCOMPARE(back.waitForBytes(2), QByteArray("?\r"));
    QVERIFY(back.writeToProgram("V1.23\r" + OtherAnalogFrame));
    QTRY_COMPARE(m_link->counters().analogAccepted, quint64(2));
    QCOMPARE(m_state->analogFrame, QString::fromLatin1(OtherAnalogFrame));
}

void TestCardLink::resolver_data()
{
    QTest::addColumn<QString>("entryTarget"); // "pty", a path, or empty for no entry
    QTest::addColumn<int>("comPort");
    QTest::addColumn<bool>("expectPty");

    QTest::newRow("COM3 entry") << "pty" << 3 << true;
    QTest::newRow("other number") << "pty" << 4 << false;
    QTest::newRow("dangling entry") << "/nonexistent/tty" << 3 << false;
    QTest::newRow("no entry") << QString() << 3 << false;
    QTest::newRow("port 0") << "pty" << 0 << false;
    QTest::newRow("negative port") << "pty" << -3 << false;
}

void TestCardLink::resolver()
{
    QFETCH(QString, entryTarget);
    QFETCH(int, comPort);
    QFETCH(bool, expectPty);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!entryTarget.isEmpty()) {
        const QString target = entryTarget == "pty" ? m_pty->slavePath() : entryTarget;
        QVERIFY(QFile::link(target, dir.filePath("COM3")));
    }
    if (!expectPty && comPort >= 1) {
        const QString index = QString::number(comPort - 1);
        if (QFileInfo::exists("/dev/ttyUSB" + index) || QFileInfo::exists("/dev/ttyACM" + index))
            QSKIP("this machine has a real serial device under that number");
    }

    const QString device = tarv::link::resolvePortDevice(comPort, dir.path());
    if (expectPty)
        QCOMPARE(device, QFileInfo(m_pty->slavePath()).canonicalFilePath());
    else
        QVERIFY2(device.isEmpty(), qPrintable(device));
}

void TestCardLink::openThroughComEntry()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QFile::link(m_pty->slavePath(), dir.filePath("COM1")));
    QVERIFY(m_link->openPort(tarv::link::resolvePortDevice(1, dir.path())));
    QCOMPARE(m_state->portOpened, tarv::core::True);
    QCOMPARE(m_pty->waitForBytes(2), QByteArray("?\r"));
}

QTEST_GUILESS_MAIN(TestCardLink)
#include "tst_cardlink.moc"
