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

    // Channels 0, 1 and 3 hold 1.5, -2/3 and 25. Stamp fields are joined by commas
    // whatever goes between the channels; dates and times use the regional marks,
    // and a decimal comma between commas is quoted so every column stays one number.
    // Lines come at 1, 1 + P, 1 + 2P counted ticks, stamped with the wall time;
    // seconds without a connected card, or with logging off, are not counted.
    void lines_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QList<int>>("modes"); // stamp, separator, interval unit, interval
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("pause"); // stops for 30 s after the 31st second
        QTest::addColumn<QStringList>("lines");
        const QString c = "C", german = "de_DE", none;
        const QString values = "1.5,-0.6666667,25",
                      head = "DATE,TIME,Channel 0,Channel 1,Channel 3";
        QTest::newRow("date and time, comma, 5 s")
            << c << QList {2, 1, 1, 5} << 11 << none
            << QStringList {head, "05/12/26,18:11:43," + values, "05/12/26,18:11:48," + values,
                   "05/12/26,18:11:53," + values};
        QTest::newRow("time only, one blank")
            << c << QList {3, 3, 1, 5} << 1 << none
            << QStringList {"TIME,Channel 0 Channel 1 Channel 3", "18:11:43,1.5 -0.6666667 25"};
        QTest::newRow("no stamp, separator outside the table: a comma")
            << c << QList {4, 9, 1, 5} << 1 << none
            << QStringList {"Channel 0,Channel 1,Channel 3", values};
        QTest::newRow("German: decimal comma quoted, date points")
            << german << QList {2, 1, 1, 5} << 1 << none
            << QStringList {head, "05.12.26,18:11:43,\"1,5\",\"-0,6666667\",25"};
        QTest::newRow("German, one blank: nothing quoted")
            << german << QList {4, 3, 1, 5} << 1 << none
            << QStringList {"Channel 0 Channel 1 Channel 3", "1,5 -0,6666667 25"};
        QTest::newRow("300 hours")
            << c << QList {2, 1, 3, 300} << 2 * 300 * 3600 + 1 << none
            << QStringList {head, "05/12/26,18:11:43," + values, "18/12/26,06:11:43," + values,
                   "30/12/26,18:11:43," + values};
        // A 30-second pause in a one-minute period puts the next line 90 s later.
        for (const QString pause : {"card", "logging"})
            QTest::addRow("%s paused", qPrintable(pause))
                << c << QList {3, 1, 2, 1} << 0 << pause
                << QStringList {"TIME,Channel 0,Channel 1,Channel 3", "18:11:43," + values,
                       "18:13:13," + values};
    }
    void lines()
    {
        QFETCH(QString, locale);
        QFETCH(QList<int>, modes);
        QFETCH(int, seconds);
        QFETCH(QString, pause);
        QFETCH(QStringList, lines);
        QLocale::setDefault(QLocale(locale));
        testsupport::LogRig rig;
        core::AcquisitionState &s = rig.state;
        s.saveEnable[0] = s.saveEnable[1] = s.saveEnable[3] = True;
        s.channelValues[0] = 1.5f;
        s.channelValues[1] = -2.0f / 3; // seven significant digits
        s.channelValues[3] = 25.0f;
        s.stampMode = core::Integer(modes[0]);
        s.separatorMode = core::Integer(modes[1]);
        s.saveIntervalUnit = core::Integer(modes[2]);
        s.saveInterval = core::Integer(modes[3]);
        QVERIFY(rig.logger.start().ok);
        rig.run(seconds);
        if (!pause.isEmpty()) {
            rig.run(31);
            core::Flag &running = pause == "card" ? s.cardConnected : s.savingActive;
            running = False;
            rig.run(30);
            QCOMPARE(s.saveTickCount, 30);
            running = True;
            rig.run(30);
        }
        QCOMPARE(rig.lines(), lines);
        QVERIFY(rig.prompts.shown.isEmpty());
    }

    // The header is fixed at the start; data lines follow saveEnable as it is now. A
    // line due with no channel enabled writes nothing and takes no serial number.
    // Each start numbers from 1 again; only headers empty the file.
    void channelsAndRestart_data()
    {
        QTest::addColumn<bool>("headers");
        QTest::addColumn<QStringList>("before"); // the restart
        QTest::addColumn<QStringList>("after");
        const QStringList lines {"1,2.5    -5", "2,2.5    0"}, old {"old header", "old line"};
        QTest::newRow("headers on: old content gone")
            << true << QStringList {"SN,Channel 2    Channel 5"} + lines
            << QStringList {"SN,Channel 2    Channel 7", "1,2.5    0"};
        QTest::newRow("headers off: appended after the old content")
            << false << old + lines << old + lines + QStringList {"1,2.5    0"};
    }
    void channelsAndRestart()
    {
        QFETCH(bool, headers);
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        testsupport::LogRig rig;
        testsupport::putFile(rig.state.saveFileName, "old header\r\nold line\r\n");
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
        QCOMPARE(rig.lines(), before);
        QVERIFY(rig.logger.start().ok);
        rig.run(1);
        QCOMPARE(rig.lines(), after);
    }

    // A line that cannot be written is reported once, without waiting for the
    // operator; logging stays on, and the first line written again says how many
    // were skipped. A later outage is a new failure, reported and counted afresh.
    void unwritableAtTick()
    {
        testsupport::LogRig rig;
        QDir base(rig.dir.path());
        QVERIFY(base.mkdir("sub"));
        rig.state.saveFileName = rig.path("sub/log.csv");
        const QString native = QDir::toNativeSeparators(rig.state.saveFileName);
        rig.state.saveEnable[0] = True;
        rig.state.stampMode = 1;
        rig.state.saveInterval = 1;
        QVERIFY(rig.logger.start().ok);
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
            QVERIFY(failure.title == "Saving Error" && failure.icon == core::PromptIcon::Error);
            QVERIFY(!failure.modal && !rig.logger.writeProblem().isEmpty());
            QCOMPARE(rig.state.savingActive, True);

            QVERIFY(base.mkdir("sub"));
            rig.run(1);
            QVERIFY(rig.logger.writeProblem().isEmpty());
            QCOMPARE(rig.prompts.shown.size(), 2);
            QCOMPARE(rig.prompts.shown[1].text,
                "Writing to the log file \"" + native + "\" has resumed; " + skipped + ".");
            QCOMPARE(rig.prompts.shown[1].icon, core::PromptIcon::Information);
        }
        // The skipped lines kept their serial numbers, so the gap shows: 1, then
        // 2 skipped, 3, then 4 to 6 skipped, and 7 alone in the new file.
        QCOMPARE(rig.lines(), QStringList {"7,0"});
    }
};

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
