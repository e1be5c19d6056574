// The program against the simulated card on a pseudo-terminal: the real main window
// and serial port, the card wired as the demo settings wire it.

#include "link/cardlink.h"
#include "support/endtoend.h"
#include "support/mainwindowrig.h"
#include "ui/trend/trendchart.h"

#include <QLabel>
#include <QMdiSubWindow>

#include <QAction>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

using namespace tarv;
using core::True;

class TestSimulatedCard : public QObject
{
    Q_OBJECT

private slots:
    // A faulty line that vanishes twice, back in between: every line the card sent
    // reaches the program before each hang-up, counted as what it was; the card, which
    // forgot its task while away, gets it back; it understood every command. The
    // inputs read as the card simulates them: 8 V sine, 4-20 mA and 0-20 mA loops,
    // 200 mV ramp, PT-100 near 22, J near 300 and K near 400 deg C, a steady 2.5 V,
    // input lines 9, 11 and 15 on, and the output line the program set.
    void faultyLineThatVanishesAndReturns()
    {
        testsupport::MainWindowRig rig;
        core::AcquisitionState &s = rig.state;
        testsupport::prepareState(s, rig.dir.path());
        s.comPort = 1;
        const double range[] = {10, 20, 20, 200, 10, 10, 10, 10};
        std::copy(std::begin(range), std::end(range), s.inputRange.begin());
        QProcess card;
        QString said;
        QVERIFY2(testsupport::startSimulatedCard(card, said,
                     {"--dir", rig.dir.path(), "--unthrottled", "--garbage", "0.2", "--overlong",
                         "0.05", "--malformed", "0.1", "--split", "--merge", "--vanish-every",
                         "0.5", "--vanish-for", "0.2"}),
            qPrintable(said));
        rig.make().load();
        QTRY_COMPARE_WITH_TIMEOUT(s.cardVersion, "1.02", 5000);
        link::CardLink &link = rig.window->link();
        link.digitalOutput(4);
        rig.window->action("TaskStart")->trigger();

        const link::LinkCounters &c = link.counters();
        QSignalSpy lost(&link, &link::CardLink::portLost);
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 5000);
        const double low[] = {-8.001, -0.01, -0.01, -0.01, 21.5, 297.5, 396.5, 2.4999};
        const double high[] = {8.001, 20.01, 20.01, 200.01, 22.5, 302.5, 403.5, 2.5001};
        for (int ch = 0; ch < core::ChannelCount; ++ch) {
            const double value = s.channelValues[ch];
            QVERIFY2(value >= low[ch] && value <= high[ch],
                qPrintable(QString("channel %1 reads %2").arg(ch).arg(value)));
        }
        QCOMPARE(
            QList({s.doStates[4], s.diStates[9], s.diStates[11], s.diStates[15], s.diStates[1]}),
            QList({True, True, True, True, core::False}));
        const quint64 beforeReturn = c.analogAccepted;
        // Sooner than the reconnect timer would.
        QTRY_VERIFY_WITH_TIMEOUT(link.retryOpen() && c.analogAccepted > beforeReturn, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 2, 5000);

        card.terminate();
        QVERIFY(card.waitForFinished(5000));
        QCOMPARE(card.exitCode(), 0);
        said += QString::fromLatin1(card.readAllStandardOutput());
        const QRegularExpressionMatch tally
            = QRegularExpression("valid analog (\\d+), valid digital (\\d+), faulty (\\d+)")
                  .match(said);
        QVERIFY2(tally.hasMatch() && !said.contains("unread") && !said.contains("ignored"),
            qPrintable(said));
        QCOMPARE(c.analogAccepted, tally.captured(1).toULongLong());
        QCOMPARE(c.digitalAccepted, tally.captured(2).toULongLong());
        QCOMPARE(c.linesDiscarded + c.framesDropped, tally.captured(3).toULongLong());
        QVERIFY(c.framesDropped > 0 && c.linesDiscarded > 0);
        QCOMPARE(c.versionReplies, quint64(2));
        QCOMPARE(s.taskRunning, True);
    }

    // A sensor opened on the card: the analog view keeps its look and says why in the
    // value's tooltip, the trend leaves a gap; mended, both are as before.
    void brokenSensorShows()
    {
        testsupport::MainWindowRig rig;
        testsupport::prepareState(rig.state, rig.dir.path());
        rig.state.comPort = 1;
        rig.state.plotEnable[4] = True;
        QProcess card;
        QString said;
        QVERIFY2(testsupport::startSimulatedCard(
                     card, said, {"--dir", rig.dir.path(), "--rate", "50", "--autostart"}),
            qPrintable(said));
        rig.make().load();
        auto *view = rig.window->openChild("ViewAnalogData")->widget();
        auto *trend = rig.window->openChild("ViewTrend")->widget();
        auto *value = view->findChild<QLabel *>("lblData4");
        const auto chart = [&] { return trend->findChild<ui::TrendChart *>()->model(); };
        const auto refresh = [&] {
            for (QWidget *w : {view, trend})
                QVERIFY(QMetaObject::invokeMethod(w->findChild<QTimer *>(), "timeout"));
        };
        QTRY_VERIFY_WITH_TIMEOUT(
            rig.state.cardConnected == True && rig.state.channelQuality[4].good(), 5000);
        for (const char *step : {"break 4 open\n", "mend 4\n"}) {
            const bool broken = QByteArray(step).startsWith("break");
            card.write(step);
            QTRY_COMPARE_WITH_TIMEOUT(rig.state.channelQuality[4].good(), !broken, 5000);
            refresh();
            QCOMPARE(value->toolTip(), broken ? "bad, sensor fault high" : "");
            const float newest = chart().history[4][chart().pointCount];
            QVERIFY2(std::isnan(newest) == broken, qPrintable(QString::number(newest)));
        }
        card.terminate();
        QVERIFY(card.waitForFinished(5000));
    }
};

QTEST_MAIN(TestSimulatedCard)
#include "tst_simulatedcard.moc"
