#include "logging/logformat.h"
#include "support/logrig.h"

#include <QDir>
#include <QLocale>
#include <QtTest>

#include <functional>

using namespace tarv;
using core::False;
using core::True;
using testsupport::LogRig;

namespace {

// Channels 0, 1 and 3 with their default names holding 1.5, -0.25 and 25.
void exampleChannels(core::AcquisitionState &s)
{
    s.saveEnable[0] = s.saveEnable[1] = s.saveEnable[3] = True;
    s.channelValues[0] = 1.5f;
    s.channelValues[1] = -0.25f;
    s.channelValues[3] = 25.0f;
}

// Whether this process can write a file whose permissions forbid it (root can).
bool writesIgnorePermissions(const QString &path)
{
    QFile probe(path);
    return probe.open(QIODevice::WriteOnly | QIODevice::Append);
}

} // namespace

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void headerAndFirstLine_data()
    {
        QTest::addColumn<int>("stampMode");
        QTest::addColumn<int>("separatorMode");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("firstLine");
        QTest::newRow("date and time, comma") << 2 << 1 << "DATE,TIME,Channel 0,Channel 1,Channel 3"
                                              << "05/12/26,18:11:43,1.5,-0.25,25";
        QTest::newRow("serial number, comma") << 1 << 1 << "SN,Channel 0,Channel 1,Channel 3"
                                              << "1,1.5,-0.25,25";
        QTest::newRow("time only, one blank") << 3 << 3 << "TIME,Channel 0 Channel 1 Channel 3"
                                              << "18:11:43,1.5 -0.25 25";
        QTest::newRow("no stamp, comma") << 4 << 1 << "Channel 0,Channel 1,Channel 3"
                                         << "1.5,-0.25,25";
        QTest::newRow("four blanks between channels, commas in the stamp")
            << 2 << 2 << "DATE,TIME,Channel 0    Channel 1    Channel 3"
            << "05/12/26,18:11:43,1.5    -0.25    25";
        QTest::newRow("separator outside the table is a comma")
            << 3 << 9 << "TIME,Channel 0,Channel 1,Channel 3"
            << "18:11:43,1.5,-0.25,25";
    }
    void headerAndFirstLine()
    {
        QFETCH(int, stampMode);
        QFETCH(int, separatorMode);
        QFETCH(QString, header);
        QFETCH(QString, firstLine);
        LogRig rig;
        exampleChannels(rig.state);
        rig.state.stampMode = core::Integer(stampMode);
        rig.state.separatorMode = core::Integer(separatorMode);

        QVERIFY(rig.logger.start().ok);
        QCOMPARE(rig.contents(), (header + "\r\n").toLatin1());
        rig.run(1);
        // Exact bytes: CR LF after each line and no trailing blanks or separators.
        QCOMPARE(rig.contents(), (header + "\r\n" + firstLine + "\r\n").toLatin1());
        QVERIFY(rig.prompts.shown.isEmpty());
    }

    void valueText_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("small: exponent form") << 1e-5f << "1E-05";
        QTest::newRow("large: exponent form, seven digits") << 12345678.0f << "1.234568E+07";
        QTest::newRow("negative fraction") << -0.25f << "-0.25";
        QTest::newRow("seven significant digits") << 1.0f / 3.0f << "0.3333333";
        QTest::newRow("whole value has no separator") << 25.0f << "25";
        QTest::newRow("zero") << 0.0f << "0";
        QTest::newRow("last value before the exponent form") << 0.0001f << "0.0001";
    }
    void valueText()
    {
        QFETCH(float, value);
        QFETCH(QString, text);
        LogRig rig;
        rig.state.saveEnable[6] = True;
        rig.state.channelValues[6] = value;
        rig.state.stampMode = 4;
        rig.state.useChannelHeaders = False;
        QVERIFY(rig.logger.start().ok);
        rig.run(1);
        QCOMPARE(rig.lines(), QStringList {text});
    }

    void regionalSeparators_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("line");
        QTest::newRow("German: decimal comma, date points")
            << QLocale(QLocale::German, QLocale::Germany) << "05.12.26,18:11:43,1,5,-0,25,25";
        QTest::newRow("Finnish: time points")
            << QLocale(QLocale::Finnish, QLocale::Finland) << "05.12.26,18.11.43,1,5,-0,25,25";
        QTest::newRow("British: the defaults") << QLocale(QLocale::English, QLocale::UnitedKingdom)
                                               << "05/12/26,18:11:43,1.5,-0.25,25";
    }
    void regionalSeparators()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, line);
        QLocale::setDefault(locale);
        LogRig rig;
        exampleChannels(rig.state);
        rig.state.stampMode = 2;
        rig.state.useChannelHeaders = False;
        QVERIFY(rig.logger.start().ok);
        rig.run(1);
        QCOMPARE(rig.lines(), QStringList {line});
    }

    // Lines come at 1, 1 + P, 1 + 2P counted ticks; the stamps show the wall time.
    void periods_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("period");
        QTest::addColumn<QString>("secondStamp");
        QTest::addColumn<QString>("thirdStamp");
        QTest::newRow("5 seconds") << 1 << 5 << 5 << "05/12/26,18:11:48,"
                                   << "05/12/26,18:11:53,";
        QTest::newRow("2 minutes") << 2 << 2 << 120 << "05/12/26,18:13:43,"
                                   << "05/12/26,18:15:43,";
        QTest::newRow("300 hours") << 3 << 300 << 1080000 << "18/12/26,06:11:43,"
                                   << "30/12/26,18:11:43,";
    }
    void periods()
    {
        QFETCH(int, unit);
        QFETCH(int, interval);
        QFETCH(int, period);
        QFETCH(QString, secondStamp);
        QFETCH(QString, thirdStamp);
        LogRig rig;
        rig.state.saveEnable[0] = True;
        rig.state.stampMode = 2;
        rig.state.useChannelHeaders = False;
        rig.state.saveIntervalUnit = core::Integer(unit);
        rig.state.saveInterval = core::Integer(interval);
        QVERIFY(rig.logger.start().ok);
        QCOMPARE(rig.state.savePeriodTicks, period);

        rig.run(1);
        QCOMPARE(rig.lines().size(), 1);
        rig.run(period - 1);
        QCOMPARE(rig.lines().size(), 1);
        rig.run(1);
        QCOMPARE(rig.lines().size(), 2);
        rig.run(period);
        const QStringList lines = rig.lines();
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QStringLiteral("05/12/26,18:11:43,0"));
        QCOMPARE(lines[1], secondStamp + "0");
        QCOMPARE(lines[2], thirdStamp + "0");
    }

    // Seconds without a connected card, or with logging off, are not counted: the
    // 30-second pause in a 60-second period puts the next line 90 s after the last.
    void pauses_data()
    {
        QTest::addColumn<std::function<void(core::AcquisitionState &, bool)>>("pause");
        QTest::newRow("card disconnected") << std::function(
            [](core::AcquisitionState &s, bool on) { s.cardConnected = on ? False : True; });
        QTest::newRow("logging off") << std::function(
            [](core::AcquisitionState &s, bool on) { s.savingActive = on ? False : True; });
    }
    void pauses()
    {
        using Pause = std::function<void(core::AcquisitionState &, bool)>;
        QFETCH(Pause, pause);
        LogRig rig;
        rig.state.saveEnable[0] = True;
        rig.state.stampMode = 3;
        rig.state.useChannelHeaders = False;
        rig.state.saveIntervalUnit = 2;
        rig.state.saveInterval = 1;
        QVERIFY(rig.logger.start().ok);
        rig.run(31); // the first line, then 30 counted seconds
        pause(rig.state, true);
        rig.run(30);
        QCOMPARE(rig.state.saveTickCount, 30);
        pause(rig.state, false);
        rig.run(30);
        QCOMPARE(rig.lines(), (QStringList {"18:11:43,0", "18:13:13,0"}));
    }

    void headersOnExistingFile_data()
    {
        QTest::addColumn<bool>("headers");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("headers on: old content gone")
            << true << QStringList {"TIME,Channel 4", "18:11:43,7"};
        QTest::newRow("headers off: appended after the old content")
            << false << QStringList {"old header", "old line", "18:11:43,7"};
    }
    void headersOnExistingFile()
    {
        QFETCH(bool, headers);
        QFETCH(QStringList, expected);
        LogRig rig;
        QFile old(rig.state.saveFileName);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old header\r\nold line\r\n");
        old.close();
        rig.state.saveEnable[4] = True;
        rig.state.channelValues[4] = 7;
        rig.state.useChannelHeaders = core::toFlag(headers);
        QVERIFY(rig.logger.start().ok);
        rig.run(1);
        QCOMPARE(rig.lines(), expected);
    }

    void serialNumbersRestart_data()
    {
        QTest::addColumn<bool>("headers");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("headers on") << true << QStringList {"SN,Channel 0", "1,0"};
        QTest::newRow("headers off") << false << QStringList {"1,0", "2,0", "3,0", "1,0"};
    }
    void serialNumbersRestart()
    {
        QFETCH(bool, headers);
        QFETCH(QStringList, expected);
        LogRig rig;
        rig.state.saveEnable[0] = True;
        rig.state.stampMode = 1;
        rig.state.saveInterval = 1;
        rig.state.useChannelHeaders = core::toFlag(headers);
        QVERIFY(rig.logger.start().ok);
        rig.run(3);
        QVERIFY(rig.logger.start().ok);
        rig.run(1);
        QCOMPARE(rig.lines(), expected);
    }

    // The header is fixed at the start; data lines follow saveEnable as it is now.
    void channelsTwoAndFive()
    {
        LogRig rig;
        rig.state.saveEnable[2] = rig.state.saveEnable[5] = True;
        rig.state.channelValues[2] = 2.5f;
        rig.state.channelValues[5] = -5;
        rig.state.separatorMode = 2;
        rig.state.stampMode = 4;
        rig.state.saveInterval = 1;
        QVERIFY(rig.logger.start().ok);
        rig.run(1);
        rig.state.saveEnable[7] = True;
        rig.run(1);
        QCOMPARE(
            rig.lines(), (QStringList {"Channel 2    Channel 5", "2.5    -5", "2.5    -5    0"}));
    }

    // A line due with no channel enabled writes nothing and takes no serial number.
    void noChannelEnabled()
    {
        LogRig rig;
        rig.state.saveEnable[1] = True;
        rig.state.stampMode = 1;
        rig.state.saveInterval = 1;
        QVERIFY(rig.logger.start().ok);
        rig.state.saveEnable[1] = False;
        rig.run(2);
        QCOMPARE(rig.lines(), QStringList {"SN,Channel 1"});
        rig.state.saveEnable[1] = True;
        rig.run(1);
        QCOMPARE(rig.lines(), (QStringList {"SN,Channel 1", "1,0"}));
        QVERIFY(rig.prompts.shown.isEmpty());
        QCOMPARE(rig.state.savingActive, True);
    }

    // A header that cannot be written leaves everything as it was and says why.
    void unwritableAtStart_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("headers");
        QTest::newRow("missing folder, headers on") << "missing folder" << true;
        QTest::newRow("missing folder, headers off") << "missing folder" << false;
        QTest::newRow("a folder by that name") << "folder" << true;
        QTest::newRow("read-only file") << "read-only" << true;
    }
    void unwritableAtStart()
    {
        QFETCH(QString, kind);
        QFETCH(bool, headers);
        LogRig rig;
        QString path = rig.path(QStringLiteral("missing/log.csv"));
        if (kind == "folder") {
            path = rig.path(QStringLiteral("taken"));
            QVERIFY(QDir(rig.dir.path()).mkdir(QStringLiteral("taken")));
        } else if (kind == "read-only") {
            QFile file(path = rig.path(QStringLiteral("locked.csv")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("kept\r\n");
            file.close();
            QVERIFY(file.setPermissions(QFile::ReadOwner));
            if (writesIgnorePermissions(path))
                QSKIP("this user writes to read-only files (root)");
        }
        rig.state.saveFileName = path;
        rig.state.saveEnable[0] = True;
        rig.state.useChannelHeaders = core::toFlag(headers);
        rig.state.savingActive = False;
        rig.state.savePeriodTicks = 7;
        rig.state.saveTickCount = 3;
        rig.state.saveSerialNo = 9;

        const logging::Logger::StartResult result = rig.logger.start();
        QVERIFY(!result.ok);
        QVERIFY2(result.error.contains(QDir::toNativeSeparators(path)), qPrintable(result.error));
        QVERIFY2(result.error.length() > path.length() + 30, "the reason is given");
        QCOMPARE(rig.state.savingActive, False);
        QCOMPARE(rig.state.savePeriodTicks, 7);
        QCOMPARE(rig.state.saveTickCount, 3);
        QCOMPARE(rig.state.saveSerialNo, 9);
        QVERIFY2(rig.prompts.shown.isEmpty(), "the dialog reports it, not the logger");
        if (kind == "read-only")
            QCOMPARE(rig.contents(), QByteArray("kept\r\n"));
    }

    // A line that cannot be written is reported once, logging stays on, and the
    // first line written again says how many were skipped.
    void unwritableAtTick_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder removed") << "folder removed";
        QTest::newRow("file replaced by a folder") << "file replaced by a folder";
        QTest::newRow("file made read-only") << "read-only";
    }
    void unwritableAtTick()
    {
        QFETCH(QString, kind);
        LogRig rig;
        QDir base(rig.dir.path());
        QVERIFY(base.mkdir(QStringLiteral("sub")));
        rig.state.saveFileName = rig.path(QStringLiteral("sub/log.csv"));
        const QString path = rig.state.saveFileName;
        rig.state.saveEnable[0] = True;
        rig.state.stampMode = 1;
        rig.state.saveInterval = 1;
        QVERIFY(rig.logger.start().ok);
        rig.run(1);

        std::function<void()> mend;
        if (kind == "folder removed") {
            QVERIFY(QDir(rig.path(QStringLiteral("sub"))).removeRecursively());
            mend = [&] { QVERIFY(base.mkdir(QStringLiteral("sub"))); };
        } else if (kind == "file replaced by a folder") {
            QVERIFY(QFile::remove(path));
            QVERIFY(base.mkdir(QStringLiteral("sub/log.csv")));
            mend = [&] { QVERIFY(base.rmdir(QStringLiteral("sub/log.csv"))); };
        } else {
            QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
            if (writesIgnorePermissions(path))
                QSKIP("this user writes to read-only files (root)");
            mend = [&] {
                QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
            };
        }

        rig.run(3);
        QCOMPARE(rig.prompts.shown.size(), 1);
        const auto failure = rig.prompts.shown.first();
        QVERIFY2(failure.text.contains(QDir::toNativeSeparators(path)), qPrintable(failure.text));
        QCOMPARE(failure.title, QStringLiteral("Saving Error"));
        QCOMPARE(failure.icon, core::PromptIcon::Error);
        QVERIFY2(!failure.modal, "a failing tick must not wait for the operator");
        QVERIFY(!rig.logger.writeProblem().isEmpty());
        QCOMPARE(rig.logger.skippedLines(), 3);
        QCOMPARE(rig.state.savingActive, True);

        mend();
        rig.run(1);
        QVERIFY(rig.logger.writeProblem().isEmpty());
        QCOMPARE(rig.prompts.shown.size(), 2);
        const auto resumed = rig.prompts.shown.last();
        QVERIFY2(resumed.text.contains(QStringLiteral("3 lines were skipped")),
            qPrintable(resumed.text));
        QCOMPARE(resumed.icon, core::PromptIcon::Information);
        QVERIFY(!resumed.modal);
        // The skipped lines keep their serial numbers, so the gap shows in the file.
        QCOMPARE(rig.lines().last(), QStringLiteral("5,0"));
    }
};

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
