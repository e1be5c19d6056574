#include "link/cardlink.h"
#include "link/portresolver.h"
#include "support/feeddevice.h"
#include "support/ptypair.h"

#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <ctime>

using namespace std::chrono_literals;
using namespace tarv;
using core::False;
using core::True;
using link::CardLink;
using testsupport::PtyPair;

namespace {

const QByteArray AnalogFrame = "+01234,-00050,+00000,+00000,+00000,+00000,+00000,+00000,+23.5\r";
const QByteArray OtherAnalogFrame
    = "-00007,+00000,+00000,+00000,+00000,+00000,+00000,+00000,+21.0\r";
const QByteArray DigitalFrame = "8001000F\r";

// Reads as they arrive; the version and frame texts kept; the counts of analog and
// digital frames, versions, discarded lines, dropped frames, dropped bytes.
using Received = std::tuple<QByteArrayList, QString, QByteArray, QByteArray, QList<int>>;

} // namespace

Q_DECLARE_METATYPE(Received)

// The link on a pseudo-terminal, the test playing the card, the bytes on the wire checked.
class TestCardLink : public QObject
{
    Q_OBJECT

    std::unique_ptr<PtyPair> m_pty;
    core::AcquisitionState m_state;
    std::unique_ptr<CardLink> m_link;
    QString m_taskStates; // '+' or '-' for every taskStateChanged
    QString m_device; // where a lost card turns up again; empty while it is away

    QSerialPort *port() const { return m_link->findChild<QSerialPort *>(); }

    void newLink()
    {
        m_link = std::make_unique<CardLink>(m_state);
        connect(m_link.get(), &CardLink::taskStateChanged, this,
            [this](bool running) { m_taskStates += running ? '+' : '-'; });
        m_link->setDeviceFinder([this] { return m_device; });
    }

    void open()
    {
        QVERIFY(m_link->openPort(m_pty->slavePath()));
        step("=?");
    }

    // One step of a session. "=A,B" checks that exactly "A\rB\r" went out since the
    // last check, all of it before the event loop ran again; "~+-" that the task was
    // signalled running, then stopped, and is stopped.
    void step(const QString &step)
    {
        static const QHash<QString, void (CardLink::*)()> commands {{"start", &CardLink::taskStart},
            {"stop", &CardLink::taskStop}, {"close", &CardLink::stopAtClose}};
        if (commands.contains(step)) {
            (m_link.get()->*commands[step])();
        } else if (step.startsWith('=')) {
            const QByteArray wire = step.mid(1).toLatin1().replace(',', '\r') + '\r';
            QCOMPARE(m_pty->waitForBytes(wire.size(), 2s, PtyPair::Events::Hold), wire);
        } else if (step.startsWith('~')) {
            QCOMPARE(m_taskStates, step.mid(1));
            QCOMPARE(m_state.taskRunning, core::toFlag(step.endsWith('+')));
        } else if (step == "V") { // the card answers
            const quint64 before = m_link->counters().versionReplies;
            QVERIFY(m_pty->writeToProgram("V1.23\r"));
            QTRY_COMPARE(m_link->counters().versionReplies, before + 1);
        } else if (step == "pause") {
            QTRY_VERIFY_WITH_TIMEOUT(!m_link->findChild<QTimer *>("tmrDelay")->isActive(), 2000);
        } else if (step.startsWith("do")) {
            m_link->digitalOutput(step.mid(2).toInt());
        } else if (step == "running") { // as a task started before this link
            m_state.taskRunning = True;
            m_taskStates += '+';
        } else if (step.startsWith("stray")) { // neither on (-1) nor off
            m_state.doCommand[step.mid(5).toUInt()] = 2;
        } else if (step == "renew") { // the link goes, a new one opens the line
            newLink();
            open();
        } else if (step == "lose") {
            lose();
        } else if (step == "back") {
            m_pty = std::make_unique<PtyPair>();
            m_device = m_pty->slavePath();
            QSignalSpy reopened(m_link.get(), &CardLink::portReopened);
            QVERIFY(m_link->retryOpen() && m_link->retryOpen()); // open stays open
            QCOMPARE(reopened.count(), 1);
            QCOMPARE(m_state.portLost, False);
            QVERIFY(!m_link->findChild<QTimer *>("tmrReconnect")->isActive());
            this->step("=?");
        } else {
            QFAIL(qPrintable("unknown step " + step));
        }
    }

    // The card's device vanishes: the port is closed once, with a reason; the link
    // neither spins on the dead device nor reopens it but where the card turns up.
    void lose()
    {
        QSignalSpy lost(m_link.get(), &CardLink::portLost);
        m_pty->closeMaster();
        QTRY_COMPARE(lost.count(), 1);
        QVERIFY(!lost[0][0].toString().isEmpty() && !m_link->isPortOpen());
        QCOMPARE(QList({m_state.cardConnected, m_state.portLost, m_state.portOpened}),
            QList({False, True, True}));
        const std::clock_t cpu = std::clock();
        QTest::qWait(150); // for something that must not happen
        QVERIFY2(std::clock() - cpu < CLOCKS_PER_SEC / 10, "busy on a vanished device");
        QCOMPARE(lost.count(), 1);
        QVERIFY(!m_link->retryOpen()); // nowhere to look yet
        m_device = "/nonexistent/tty";
        QVERIFY(!m_link->retryOpen());
        QCOMPARE(m_state.portLost, True);
    }

private slots:
    void init()
    {
        m_link.reset(); // before its port's line goes
        m_pty = std::make_unique<PtyPair>();
        QVERIFY2(m_pty->isValid(), qPrintable(m_pty->errorString()));
        m_state = {};
        m_taskStates = m_device = QString();
        newLink();
    }

    // A COMn entry in the settings directory leads to the device by its real name,
    // so that two names for one port share the port's lock.
    void openThroughComEntry()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::link(m_pty->slavePath(), dir.filePath("COM3")));
        const QString device = link::resolvePortDevice(3, dir.path());
        QCOMPARE(device, QFileInfo(m_pty->slavePath()).canonicalFilePath());
        m_state.portOpened = True; // each attempt sets it
        QVERIFY(!m_link->openPort(dir.filePath("COM4")));
        QCOMPARE(m_state.portOpened, False);
        QVERIFY(m_link->openPort(device));
        QCOMPARE(m_state.portOpened, True);
        QCOMPARE(m_link->findChildren<QSerialPort *>().size(), 1); // the first one went
        step("=?");
        QCOMPARE(QList<int>({port()->baudRate(), port()->dataBits(), port()->parity(),
                     port()->stopBits(), port()->flowControl()}),
            QList<int>({9600, 8, QSerialPort::NoParity, 1, QSerialPort::NoFlowControl}));
    }

    // Rows of steps as in step(), ending with the task's states; then nothing more goes out.
    void session_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::newRow("without the card nothing goes out, an output is carried")
            << "start do3 V do0 =#D0009 ~";
        QTest::newRow("nor a stop") << "running stop ~+";
        QTest::newRow("start: run after the pause") << "V start =@TA00 ~+ pause =@N ~+";
        QTest::newRow("stop in the pause") << "V start stop =@TA00,@F pause =@N ~+-";
        QTest::newRow("stop at close needs only the port") << "close =@F ~";
        QTest::newRow("close abandons the pause") << "V start close =@TA00,@F ~+";
        QTest::newRow("gone in its pause") << "V start =@TA00 renew start =@TA00 pause =@N ~++";
        QTest::newRow("output words, line 15 leading, none beyond 0..15")
            << "V do16 do-1 do0 do4 do0 do15 do14 =#D0001,#D0011,#D0010,#D8010,#DC010 ~";
        QTest::newRow("only -1 is on") << "V stray2 do5 do2 =#D0020,#D0020 ~";
        // A card that lost its power with the cable forgot its task, so it gets it
        // back; a stop chosen while it was away counts at once and reaches it on return.
        QTest::newRow("lost while running")
            << "V start pause =@TA00,@N lose do3 back do3 V V pause =@TA00,@N ~++";
        QTest::newRow("lost while stopped") << "V lose stop back V ~";
        QTest::newRow("stopped while lost")
            << "V start pause =@TA00,@N lose stop ~+- back V =@F ~+-";
        QTest::newRow("stopped before it answers, then lost again")
            << "V start pause =@TA00,@N lose back stop ~+- V =@F start pause =@TA00,@N lose back "
               "V pause =@TA00,@N ~+-++";
    }
    void session()
    {
        QFETCH(QString, steps);
        open();
        for (const QString &s : steps.split(' ')) {
            step(s);
            if (QTest::currentTestFailed())
                return;
        }
        step("pause");
        m_link->sendVersionQuery(); // whatever else went out would come before it
        step("=?");
    }

    // Timed where each command is written: the card needs the whole 100 ms. A coarse
    // timer moves its deadline by up to 5 % to a 100 ms boundary of the monotonic
    // clock, so the starts fall just after such boundaries, where it would end early.
    void pauseIsNeverShort()
    {
        using namespace std::chrono;
        testsupport::FeedDevice line;
        m_link->attachDevice(&line);
        line.feed("V1.02\r");
        for (const int phase : {1, 2, 3, 4}) {
            line.written.clear();
            line.writeTimes.clear();
            const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch());
            const milliseconds wait((100 + phase - ms.count() % 100) % 100);
            QTimer::singleShot(
                wait, Qt::PreciseTimer, m_link.get(), [this] { m_link->taskStart(); });
            // A real event loop: QTRY's polling would let a short pause fire late.
            QSignalSpy writes(&line, &QIODevice::bytesWritten);
            while (writes.size() < 2 && writes.wait(1000)) { }
            QCOMPARE(line.written, QByteArray("@TA00\r@N\r"));
            const duration<double, std::milli> pause = line.writeTimes[1] - line.writeTimes[0];
            QVERIFY2(pause >= 100ms, qPrintable(QString::number(pause.count())));
        }
    }

    // Each read handed over whole, as a serial port would.
    void receivedLines_data()
    {
        QTest::addColumn<Received>("row");
        const QByteArray none, initial = core::DefaultAnalogFrame.toLatin1();
        const qsizetype max = CardLink::MaxPendingBytes;
        QTest::newRow("62 characters starting with V: a version")
            << Received {{"V" + AnalogFrame.mid(1)}, "0123", initial, none, {0, 0, 1, 0, 0, 0}};
        QTest::newRow("short version keeps its CR; v, 61 characters, a lone CR: no frames")
            << Received {{QByteArray("V1\rv1.23\r") + AnalogFrame.mid(1) + "\r"}, "1\r", initial,
                   none, {0, 0, 1, 3, 0, 0}};
        QTest::newRow("many lines in one read")
            << Received {{"V1.02\r" + AnalogFrame + "junk\r" + DigitalFrame + OtherAnalogFrame},
                   "1.02", OtherAnalogFrame, DigitalFrame, {2, 1, 1, 1, 0, 0}};
        QTest::newRow("reads ending mid-line") << Received {
            {"V1", ".23\r" + AnalogFrame.left(30), AnalogFrame.mid(30) + "8001000F", "\r"}, "1.23",
            AnalogFrame, DigitalFrame, {1, 1, 1, 0, 0, 0}};
        QTest::newRow("bad frames keep the previous ones") << Received {
            {AnalogFrame + DigitalFrame, "+99999" + OtherAnalogFrame.mid(6) + "8001000G\r"}, "",
            AnalogFrame, DigitalFrame, {1, 1, 0, 0, 2, 0}};
        // All but the newest MaxPendingBytes of a line without end are dropped, and
        // what is kept is garbage, even if it happens to begin with "V".
        const QByteArray bound = 'V' + QByteArray(max - 1, 'y');
        QTest::newRow("a line cut to the bound is garbage, one within it is kept whole")
            << Received {{QByteArray(1000, 'x') + bound, "\r" + bound, "\r" + AnalogFrame}, "yyyy",
                   AnalogFrame, none, {1, 0, 1, 1, 0, 1000}};
    }
    void receivedLines()
    {
        QFETCH(Received, row);
        const auto &[reads, version, analog, digital, counts] = row;
        testsupport::FeedDevice line;
        m_link->attachDevice(&line);
        for (const QByteArray &read : reads)
            line.feed(read);
        const auto &c = m_link->counters();
        QCOMPARE(QList<int>({int(c.analogAccepted), int(c.digitalAccepted), int(c.versionReplies),
                     int(c.linesDiscarded), int(c.framesDropped), int(c.bytesDiscarded)}),
            counts);
        QCOMPARE(m_state.cardVersion, version);
        QCOMPARE(m_state.analogFrame.toLatin1(), analog);
        QCOMPARE(m_state.digitalFrame.toLatin1(), digital);
    }

    // The first frame's conversion report opens a "modal box", a nested event loop open
    // until the rest of a half-received line and another frame have come in. Both are
    // kept, in order, each frame reported before it is announced, an empty report too.
    void linesArrivingDuringAModalBoxAreKept()
    {
        open();
        QStringList events;
        connect(m_link.get(), &CardLink::analogFrameAccepted, this,
            [&] { events << m_state.analogFrame.left(6); });
        connect(m_link.get(), &CardLink::digitalFrameAccepted, this, [&] { events << "digital"; });
        const QByteArray duringBox = DigitalFrame.mid(4) + OtherAnalogFrame;
        connect(m_link.get(), &CardLink::conversionFailed, this, [&](const auto &failures) {
            events << QString::number(failures.size()) + " failing";
            if (events.size() > 1)
                return;
            m_state.inputRange.fill(10); // every channel calibrated for the next frame
            m_state.span10V.fill(32000);
            QVERIFY(m_pty->writeToProgram(duringBox));
            QTRY_VERIFY(port()->bytesAvailable() == duringBox.size() || events.size() > 2);
        });
        QVERIFY(m_pty->writeToProgram(AnalogFrame + DigitalFrame.left(4)));
        QTRY_COMPARE(
            events, QStringList({"8 failing", "+01234", "digital", "0 failing", "-00007"}));
    }

    // A message box opened by a handler of a received frame runs its own event loop
    // inside the port's receive notification; the loss and the return can both
    // happen in there, and the port must survive its own notification.
    void portReturnsInsideAModalLoop()
    {
        open();
        step("V");
        bool inside = false;
        connect(m_link.get(), &CardLink::conversionFailed, this, [&] {
            if (!std::exchange(inside, true)) {
                step("lose");
                step("back");
            }
        });
        QVERIFY(m_pty->writeToProgram(AnalogFrame));
        QTRY_VERIFY(inside);
        step("V");
        QVERIFY(m_pty->writeToProgram(OtherAnalogFrame));
        QTRY_COMPARE(m_link->counters().analogAccepted, quint64(2));
    }
};

QTEST_GUILESS_MAIN(TestCardLink)
#include "tst_cardlink.moc"
