#include "logging/logformat.h"
#include "support/logrig.h"
#include "support/testfiles.h"

#include <QDir>
#include <QLocale>
#include <QtTest>

using namespace tarv;
using core::False;
using core::True;
using testsupport::LogRig;

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    // Channels 0, 1 and 3 hold 1.5, -2/3 and 25. Stamp fields are joined by commas
    // whatever goes between the channels; dates and times use the regional marks.
    // Four blanks between channels are pinned by channelsChangedWhileLogging().
    void headerAndFirstLine_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("stampMode");
        QTest::addColumn<int>("separatorMode");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("firstLine");
        QTest::newRow("date and time, comma")
            << "C" << 2 << 1 << "DATE,TIME,Channel 0,Channel 1,Channel 3"
            << "05/12/26,18:11:43,1.5,-0.6666667,25";
        QTest::newRow("time only, one blank")
            << "C" << 3 << 3 << "TIME,Channel 0 Channel 1 Channel 3"
            << "18:11:43,1.5 -0.6666667 25";
        QTest::newRow("no stamp, separator outside the table: a comma")
            << "C" << 4 << 9 << "Channel 0,Channel 1,Channel 3"
            << "1.5,-0.6666667,25";
        // A decimal comma between commas is quoted, so every column stays one number.
        QTest::newRow("German: decimal comma, date points")
            << "de_DE" << 2 << 1 << "DATE,TIME,Channel 0,Channel 1,Channel 3"
            << "05.12.26,18:11:43,\"1,5\",\"-0,6666667\",25";
        QTest::newRow("German, one blank: nothing quoted")
            << "de_DE" << 4 << 3 << "Channel 0 Channel 1 Channel 3"
            << "1,5 -0,6666667 25";
        QTest::newRow("Finnish: time points")
            << "fi_FI" << 3 << 1 << "TIME,Channel 0,Channel 1,Channel 3"
            << "18.11.43,\"1,5\",\"-0,6666667\",25";
    }
    void headerAndFirstLine()
    {
        QFETCH(QString, locale);
        QFETCH(int, stampMode);
        QFETCH(int, separatorMode);
        QFETCH(QString, header);
        QFETCH(QString, firstLine);
        QLocale::setDefault(QLocale(locale));
        LogRig rig;
        rig.state.saveEnable[0] = rig.state.saveEnable[1] = rig.state.saveEnable[3] = True;
        rig.state.channelValues[0] = 1.5f;
        rig.state.channelValues[1] = -2.0f / 3; // seven significant digits
        rig.state.channelValues[3] = 25.0f;
        rig.state.stampMode = core::Integer(stampMode);
        rig.state.separatorMode = core::Integer(separatorMode);

        QVERIFY(rig.logger.start().ok);
        QCOMPARE(rig.contents(), (header + "\r\n").toLatin1());
        rig.run(1);
        // Exact bytes: CR LF after each line and no trailing blanks or separators.
        QCOMPARE(rig.contents(), (header + "\r\n" + firstLine + "\r\n").toLatin1());
        QVERIFY(rig.prompts.shown.isEmpty());
    }

    // Lines come at 1, 1 + P, 1 + 2P counted ticks; the stamps show the wall time.
    // Minutes are covered by pauses().
    void periods_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("5 seconds")
            << 1 << 5
            << QStringList {"05/12/26,18:11:43,0", "05/12/26,18:11:48,0", "05/12/26,18:11:53,0"};
        QTest::newRow("300 hours")
            << 3 << 300
            << QStringList {"05/12/26,18:11:43,0", "18/12/26,06:11:43,0", "30/12/26,18:11:43,0"};
    }
    void periods()
    {
        QFETCH(int, unit);
        QFETCH(int, interval);
        QFETCH(QStringList, lines);
        LogRig rig;
        rig.state.saveEnable[0] = True;
        rig.state.stampMode = 2;
        rig.state.useChannelHeaders = False;
        rig.state.saveIntervalUnit = core::Integer(unit);
        rig.state.saveInterval = core::Integer(interval);
        QVERIFY(rig.logger.start().ok);
        rig.run(2 * rig.state.savePeriodTicks + 1);
        QCOMPARE(rig.lines(), lines);
    }

    // Seconds without a connected card, or with logging off, are not counted: the
    // 30-second pause in a 60-second period puts the next line 90 s after the last.
    void pauses_data()
    {
        QTest::addColumn<bool>("disconnect");
        QTest::newRow("card disconnected") << true;
        QTest::newRow("logging off") << false;
    }
    void pauses()
    {
        QFETCH(bool, disconnect);
        LogRig rig;
        rig.state.saveEnable[0] = True;
        rig.state.useChannelHeaders = False;
        rig.state.saveIntervalUnit = 2;
        rig.state.saveInterval = 1;
        QVERIFY(rig.logger.start().ok);
        rig.run(31); // the first line, then 30 counted seconds
        core::Flag &running = disconnect ? rig.state.cardConnected : rig.state.savingActive;
        running = False;
        rig.run(30);
        QCOMPARE(rig.state.saveTickCount, 30);
        running = True;
        rig.run(30);
        QCOMPARE(rig.lines(), (QStringList {"18:11:43,0", "18:13:13,0"}));
    }

    // Each start, a restart included, numbers from 1 again; only headers empty the file.
    void startOnExistingFile_data()
    {
        QTest::addColumn<bool>("headers");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("headers on: old content gone")
            << true << QStringList {"SN,Channel 4", "1,7"};
        QTest::newRow("headers off: appended after the old content")
            << false << QStringList {"old header", "old line", "1,7", "2,7", "1,7"};
    }
    void startOnExistingFile()
    {
        QFETCH(bool, headers);
        QFETCH(QStringList, expected);
        LogRig rig;
        testsupport::putFile(rig.state.saveFileName, "old header\r\nold line\r\n");
        rig.state.saveEnable[4] = True;
        rig.state.channelValues[4] = 7;
        rig.state.stampMode = 1;
        rig.state.saveInterval = 1;
        rig.state.useChannelHeaders = core::toFlag(headers);
        QVERIFY(rig.logger.start().ok);
        rig.run(2);
        QVERIFY(rig.logger.start().ok);
        rig.run(1);
        QCOMPARE(rig.lines(), expected);
    }

    // The header is fixed at the start; data lines follow saveEnable as it is now.
    // A line due with no channel enabled writes nothing and takes no serial number.
    void channelsChangedWhileLogging()
    {
        LogRig rig;
        rig.state.saveEnable[2] = rig.state.saveEnable[5] = True;
        rig.state.channelValues[2] = 2.5f;
        rig.state.channelValues[5] = -5;
        rig.state.separatorMode = 2;
        rig.state.stampMode = 1;
        rig.state.saveInterval = 1;
        QVERIFY(rig.logger.start().ok);
        rig.run(1);
        rig.state.saveEnable.fill(False);
        rig.run(2);
        rig.state.saveEnable[2] = rig.state.saveEnable[7] = True;
        rig.run(1);
        QCOMPARE(
            rig.lines(), (QStringList {"SN,Channel 2    Channel 5", "1,2.5    -5", "2,2.5    0"}));
        QVERIFY(rig.prompts.shown.isEmpty());
        QCOMPARE(rig.state.savingActive, True);
    }

    // A header that cannot be written leaves everything as it was and says why;
    // with headers off the file is only checked, but just as strictly.
    void unwritableAtStart()
    {
        for (const bool headers : {true, false}) {
            LogRig rig;
            const QString path = rig.state.saveFileName
                = rig.path(QStringLiteral("missing/log.csv"));
            rig.state.saveEnable[0] = True;
            rig.state.useChannelHeaders = core::toFlag(headers);
            rig.state.savingActive = False;
            rig.state.saveSerialNo = 9;

            const logging::Logger::StartResult result = rig.logger.start();
            QVERIFY(!result.ok);
            const QString opening = QStringLiteral("The log file \"%1\" cannot be written: ")
                                        .arg(QDir::toNativeSeparators(path));
            QVERIFY2(result.error.startsWith(opening), qPrintable(result.error));
            QVERIFY2(result.error.length() > opening.length() + 2, "the reason is given");
            QCOMPARE(rig.state.savingActive, False);
            QCOMPARE(rig.state.saveSerialNo, 9);
            QVERIFY2(rig.prompts.shown.isEmpty(), "the dialog reports it, not the logger");
        }
    }

    // A line that cannot be written is reported once, logging stays on, and the
    // first line written again says how many were skipped. A later outage is a new
    // failure, reported and counted afresh.
    void unwritableAtTick()
    {
        LogRig rig;
        QDir base(rig.dir.path());
        QVERIFY(base.mkdir(QStringLiteral("sub")));
        rig.state.saveFileName = rig.path(QStringLiteral("sub/log.csv"));
        const QString native = QDir::toNativeSeparators(rig.state.saveFileName);
        rig.state.saveEnable[0] = True;
        rig.state.stampMode = 1;
        rig.state.saveInterval = 1;
        QVERIFY(rig.logger.start().ok);
        rig.run(1);

        const std::pair<int, QString> outages[]
            = {{1, "1 line was skipped"}, {3, "3 lines were skipped"}};
        for (const auto &[failing, skipped] : outages) {
            rig.prompts.shown.clear();
            QVERIFY(QDir(rig.path(QStringLiteral("sub"))).removeRecursively());
            rig.run(failing);
            QCOMPARE(rig.prompts.shown.size(), 1);
            const auto failure = rig.prompts.shown.first();
            QVERIFY2(failure.text.startsWith("The log file \"" + native + "\" cannot be written: ")
                    && failure.text.endsWith(" Logging stays on; lines are skipped until the file "
                                             "can be written again."),
                qPrintable(failure.text));
            QCOMPARE(failure.title, QStringLiteral("Saving Error"));
            QCOMPARE(failure.icon, core::PromptIcon::Error);
            QVERIFY2(!failure.modal, "a failing tick must not wait for the operator");
            QVERIFY(!rig.logger.writeProblem().isEmpty());
            QCOMPARE(rig.state.savingActive, True);

            QVERIFY(base.mkdir(QStringLiteral("sub")));
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
