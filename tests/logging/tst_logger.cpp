#include "support/logrig.h"
#include "support/testfiles.h"

#include <QDir>
#include <QLocale>
#include <QtTest>

using namespace tarv;
using core::False;
using core::True;

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    // Channels 0 and 3 hold 1.5 and 25. Stamp fields are joined by commas whatever
    // goes between the channels; dates and times use the regional marks, and a
    // decimal comma between commas is quoted so every column stays one number.
    // Lines come at 1, 1 + P, 1 + 2P counted ticks, stamped with the wall time;
    // seconds without a connected card, or with logging off, are not counted.
    void lines_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QList<int>>("modes"); // stamp, separator, interval unit, interval
        QTest::addColumn<int>("seconds"); // 0: a pause of 30 s in a one-minute period
        QTest::addColumn<QStringList>("lines");
        const QString c = "C", de = "de_DE", head = "DATE,TIME,Channel 0,Channel 3";
        QTest::newRow("date and time, comma, 5 s")
            << c << QList {2, 1, 1, 5} << 11
            << QStringList {head, "05/12/26,18:11:43,1.5,25", "05/12/26,18:11:48,1.5,25",
                   "05/12/26,18:11:53,1.5,25"};
        QTest::newRow("300 hours") << c << QList {2, 1, 3, 300} << 2 * 300 * 3600 + 1
                                   << QStringList {head, "05/12/26,18:11:43,1.5,25",
                                          "18/12/26,06:11:43,1.5,25", "30/12/26,18:11:43,1.5,25"};
        QTest::newRow("no stamp, separator outside the table: a comma")
            << c << QList {4, 9, 1, 5} << 1 << QStringList {"Channel 0,Channel 3", "1.5,25"};
        QTest::newRow("German: decimal comma quoted, date points")
            << de << QList {2, 1, 1, 5} << 1 << QStringList {head, "05.12.26,18:11:43,\"1,5\",25"};
        QTest::newRow("German, one blank: nothing quoted")
            << de << QList {3, 3, 1, 5} << 1
            << QStringList {"TIME,Channel 0 Channel 3", "18:11:43,1,5 25"};
        QTest::newRow("paused: the next line 90 s later")
            << c << QList {3, 1, 2, 1} << 0
            << QStringList {"TIME,Channel 0,Channel 3", "18:11:43,1.5,25", "18:13:13,1.5,25"};
    }
    void lines()
    {
        QFETCH(QString, locale);
        QFETCH(QList<int>, modes);
        QFETCH(int, seconds);
        QFETCH(QStringList, lines);
        QLocale::setDefault(QLocale(locale));
        testsupport::LogRig rig;
        core::AcquisitionState &s = rig.state;
        s.saveEnable[0] = s.saveEnable[3] = True;
        s.channelValues[0] = 1.5f;
        s.channelValues[3] = 25.0f;
        s.stampMode = core::Integer(modes[0]);
        s.separatorMode = core::Integer(modes[1]);
        s.saveIntervalUnit = core::Integer(modes[2]);
        s.saveInterval = core::Integer(modes[3]);
        QVERIFY(rig.logger.start().ok);
        rig.run(seconds ? seconds : 31);
        if (!seconds) { // the card away for 20 s, then logging off for 10
            s.cardConnected = False;
            rig.run(20);
            s.cardConnected = True;
            s.savingActive = False;
            rig.run(10);
            QCOMPARE(s.saveTickCount, 30);
            s.savingActive = True;
            rig.run(30);
        }
        QCOMPARE(rig.lines(), lines);
        QVERIFY(rig.prompts.shown.isEmpty());
    }

    // The header is fixed at the start; data lines follow saveEnable as it is now. A
    // line due with no channel enabled writes nothing and takes no serial number.
    // Each start numbers from 1 again; only headers empty the file.
    void channelsAndRestart()
    {
        for (const bool headers : {true, false}) {
            testsupport::LogRig rig;
            testsupport::putFile(rig.state.saveFileName, "old\r\n");
            rig.state.saveEnable[2] = rig.state.saveEnable[5] = True;
            rig.state.channelValues[2] = 2.5f;
            rig.state.channelValues[5] = -5;
            rig.state.separatorMode = 2;
            rig.state.stampMode = 1;
            rig.state.saveInterval = 1;
            rig.state.useChannelHeaders = core::toFlag(headers);
            QVERIFY(rig.logger.start().ok);
            rig.run(1);
            rig.state.saveEnable.fill(False);
            rig.run(2);
            rig.state.saveEnable[2] = rig.state.saveEnable[7] = True;
            rig.run(1);
            const QStringList lines {
                headers ? "SN,Channel 2    Channel 5" : "old", "1,2.5    -5", "2,2.5    0"};
            QCOMPARE(rig.lines(), lines);
            QVERIFY(rig.logger.start().ok);
            rig.run(1);
            QCOMPARE(rig.lines(),
                (headers ? QStringList {"SN,Channel 2    Channel 7", "1,2.5    0"}
                         : lines + QStringList {"1,2.5    0"}));
        }
    }

    // A line that cannot be written is reported once, without waiting for the
    // operator; logging stays on, and the first line written again says how many
    // were skipped. A later outage is a new failure, reported and counted afresh.
    void unwritableAtTick()
    {
        testsupport::LogRig rig;
        QDir base(rig.dir.path());
        rig.state.saveFileName = rig.path("sub/log.csv");
        const QString native = QDir::toNativeSeparators(rig.state.saveFileName);
        rig.state.saveEnable[0] = True;
        rig.state.stampMode = 1;
        rig.state.saveInterval = 1;
        QVERIFY(base.mkdir("sub") && rig.logger.start().ok);
        rig.run(1);
        for (const auto &[failing, skipped] :
            {std::pair {1, "1 line was skipped"}, {3, "3 lines were skipped"}}) {
            rig.prompts.shown.clear();
            QVERIFY(QDir(rig.path("sub")).removeRecursively());
            rig.run(failing);
            QCOMPARE(rig.prompts.shown.size(), 1);
            const auto failure = rig.prompts.shown.first();
            QVERIFY2(failure.text.startsWith("The log file \"" + native + "\" cannot be written: ")
                    && failure.text.endsWith(" Logging stays on; lines are skipped until the file "
                                             "can be written again."),
                qPrintable(failure.text));
            QVERIFY(!failure.modal && failure.title == "Saving Error"
                && failure.icon == core::PromptIcon::Error);
            QVERIFY(!rig.logger.writeProblem().isEmpty() && rig.state.savingActive == True);
            QVERIFY(base.mkdir("sub"));
            rig.run(1);
            QVERIFY(rig.logger.writeProblem().isEmpty());
            QCOMPARE(rig.prompts.shown.size(), 2);
            QCOMPARE(rig.prompts.shown[1].text,
                "Writing to the log file \"" + native + "\" has resumed; " + skipped + ".");
        }
        // The skipped lines kept their serial numbers, so the gap shows: 1, then
        // 2 skipped, 3, then 4 to 6 skipped, and 7 alone in the new file.
        QCOMPARE(rig.lines(), QStringList {"7,0"});
    }
};

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
