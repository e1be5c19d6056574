#include "core/inifile.h"
#include "logging/logoptions.h"
#include "support/logrig.h"
#include "support/testfiles.h"

#include <QDir>
#include <QLocale>
#include <QTimeZone>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace tarv;
using core::False;
using core::True;

class TestLogger : public QObject
{
    Q_OBJECT

private slots:
    // Stamps are joined by commas, with the regional date and time marks; a decimal
    // comma between commas is quoted so each column stays one number. Lines come at
    // 1, 1 + P, 1 + 2P counted ticks (none without a card or with logging off). An
    // empty line is not written and takes no serial number; each start numbers from
    // 1 and only headers empty the file. An unwritable line is reported once, without
    // waiting for the operator; the first written again says how many were skipped.
    // A line cut short by a full disk is taken back, so every line stays whole.
    void lines_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QList<int>>("modes"); // headers, stamp, separator, unit, interval
        QTest::addColumn<QString>("steps"); // after enabling 0 and 3 and starting; the
        // file holds "old", and channels 0, 2, 3 and 5 hold 1.5, 2.5, 25 and -5
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("prompts"); // their starts; %1 for the file
        const auto row = [](const char *name, const char *locale, QList<int> modes,
                             const char *steps, const QStringList &lines,
                             const QStringList &prompts = {}) {
            QTest::newRow(name) << QString(locale) << modes << QString(steps) << lines << prompts;
        };
        const QString head = "DATE,TIME,Channel 0,Channel 3";
        const char *restart = "channels 2 5; start; run 1; channels; run 2; channels 2 7; run 1; "
                              "start; run 1";
        row("date and time, comma, 5 s", "C", {1, 2, 1, 1, 5}, "run 11",
            {head, "05/12/26,18:11:43,1.5,25", "05/12/26,18:11:48,1.5,25",
                "05/12/26,18:11:53,1.5,25"});
        row("300 hours", "C", {1, 2, 1, 3, 300}, "run 2160001",
            {head, "05/12/26,18:11:43,1.5,25", "18/12/26,06:11:43,1.5,25",
                "30/12/26,18:11:43,1.5,25"});
        row("German: decimal comma quoted, date points", "de_DE", {1, 2, 1, 1, 5}, "run 1",
            {head, "05.12.26,18:11:43,\"1,5\",25"});
        row("German, no stamp, one blank: nothing quoted", "de_DE", {1, 4, 3, 1, 5}, "run 1",
            {"Channel 0 Channel 3", "1,5 25"});
        row("card away, then logging off: the next line 90 s later", "C", {1, 3, 1, 2, 1},
            "run 31; card 0; run 20; card 1; logging 0; run 10; logging 1; run 30",
            {"TIME,Channel 0,Channel 3", "18:11:43,1.5,25", "18:13:13,1.5,25"});
        row("channels changed, restart with headers: old content gone", "C", {1, 1, 2, 1, 1},
            restart, {"SN,Channel 2    Channel 7", "1,2.5    0"});
        row("channels changed, restart without headers: appended", "C", {0, 1, 2, 1, 1}, restart,
            {"old", "1,2.5    -5", "2,2.5    0", "1,2.5    0"});
        const QString failed = "The log file \"%1\" cannot be written: ",
                      resumed = "Writing to the log file \"%1\" has resumed; ";
        row("unwritable, or full mid-line: skipped, reported, numbered on", "C", {1, 1, 1, 1, 1},
            "run 1; break; run 1; mend; run 1; break; run 3; mend; run 1; full; run 1; room; run 1",
            {"7,1.5,25", "9,1.5,25"},
            {failed, resumed + "1 line was skipped.", failed, resumed + "3 lines were skipped.",
                failed + "File too large.", resumed + "1 line was skipped."});
    }
    void lines()
    {
        QFETCH(QString, locale);
        QFETCH(QList<int>, modes);
        QFETCH(QString, steps);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, prompts);
        QLocale::setDefault(QLocale(locale));
        testsupport::LogRig rig;
        testsupport::putFile(rig.state.saveFileName, "old\r\n");
        core::AcquisitionState &s = rig.state;
        s.channelValues = {1.5f, 0, 2.5f, 25, 0, -5, 0, 0};
        s.saveEnable[0] = s.saveEnable[3] = True;
        s.useChannelHeaders = core::toFlag(modes[0]);
        s.stampMode = core::Integer(modes[1]);
        s.separatorMode = core::Integer(modes[2]);
        s.saveIntervalUnit = core::Integer(modes[3]);
        s.saveInterval = core::Integer(modes[4]);
        QVERIFY(rig.logger.start().ok);
        // "full" leaves room for 4 more bytes, as a full disk would; with SIGXFSZ ignored
        // a write past them fails (EFBIG). "room", and the test's end, lift the limit.
        rlimit room {};
        struct sigaction xfsz = {};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &room) == 0 && ::sigaction(SIGXFSZ, nullptr, &xfsz) == 0);
        const auto restore = qScopeGuard([&] {
            ::setrlimit(RLIMIT_FSIZE, &room);
            ::sigaction(SIGXFSZ, &xfsz, nullptr);
        });
        for (const QString &step : steps.split(QStringLiteral("; "))) {
            const QStringList words = step.split(u' ');
            const int n = words.value(1).toInt();
            if (words[0] == "run")
                rig.run(n);
            else if (words[0] == "start")
                QVERIFY(rig.logger.start().ok);
            else if (words[0] == "card")
                s.cardConnected = core::toFlag(n);
            else if (words[0] == "logging")
                s.savingActive = core::toFlag(n);
            else if (words[0] == "break") // a folder in the file's place
                QVERIFY(QFile::remove(s.saveFileName) && QDir().mkdir(s.saveFileName));
            else if (words[0] == "mend")
                QVERIFY(QDir().rmdir(s.saveFileName));
            else if (words[0] == "full") {
                const rlimit full {rlim_t(QFileInfo(s.saveFileName).size() + 4), room.rlim_max};
                QVERIFY(
                    ::signal(SIGXFSZ, SIG_IGN) != SIG_ERR && ::setrlimit(RLIMIT_FSIZE, &full) == 0);
            } else if (words[0] == "room")
                QVERIFY(::setrlimit(RLIMIT_FSIZE, &room) == 0);
            else if (words[0] == "channels") {
                s.saveEnable.fill(False);
                for (const QString &c : words.mid(1))
                    s.saveEnable[c.toInt()] = True;
            }
        }
        QCOMPARE(rig.lines(), lines);
        QCOMPARE(s.savingActive, True);
        QCOMPARE(rig.prompts.shown.size(), prompts.size());
        for (int i = 0; i < prompts.size(); ++i) {
            const auto &shown = rig.prompts.shown[i];
            QVERIFY2(!shown.modal
                    && shown.text.startsWith(
                        prompts[i].arg(QDir::toNativeSeparators(s.saveFileName))),
                qPrintable(shown.text));
        }
    }
    // A split log: the stamp's local date (and hour) picks the file, past midnight, a
    // change of time zone or the end of summer time alike; a file started anew gets the
    // header, keeps what it holds, and the serial numbers go on; a continued log numbers
    // on from the newest file. keep_days removes this log's dated files only. The alarm
    // column names the active alarms, quoted when they hold the separator.
    void splitsAndAlarms_data()
    {
        QTest::addColumn<QString>("ini"); // [log] keys, split by ";"
        QTest::addColumn<QStringList>("before"); // "name: line|line"
        QTest::addColumn<QString>("steps"); // channel 0 holds 1.5; SN and headers, every 1 s
        QTest::addColumn<QStringList>("after"); // every file in the folder
        QTest::addColumn<QStringList>("reports"); // [log] problems, then prompts
        const auto row = [](const char *name, const char *ini, const QStringList &before,
                             const char *steps, const QStringList &after,
                             const QStringList &reports = {}) {
            QTest::newRow(name) << QString(ini) << before << QString(steps) << after << reports;
        };
        const QStringList kept = {"log2-2026-12-01.csv: x", "dog-2026-12-01.csv: x",
            "log-2026-12-01.csv.gz: x", "log-2026-12-01.txt: x", "log-2026-13-01.csv: x",
            "other.csv: x", "log-2026-12-06.csv: SN,Channel 0|41,1.5"};
        row("daily past midnight, 2 days kept", "split=daily;keep_days=2",
            kept + QStringList {"log-2026-12-01-05.csv: x", "log-2026-12-05.csv: x"},
            "at 2026-12-07T23:59:58+01:00; start; run 4",
            kept
                + QStringList {"log-2026-12-07.csv: SN,Channel 0|1,1.5|2,1.5",
                    "log-2026-12-08.csv: SN,Channel 0|3,1.5|4,1.5"});
        row("continued, 2 days kept", "split=daily;keep_days=2",
            kept + QStringList {"log-2026-12-04.csv: x"},
            "at 2026-12-07T12:00:00Z; continue; run 1",
            kept + QStringList {"log-2026-12-07.csv: SN,Channel 0|42,1.5"});
        row("hourly: summer time ends, the zone moves and comes back", "split=hourly", {},
            "at 2026-10-25T00:59:59Z; zone Europe/Berlin; start; run 2; zone UTC+05:00; run 1; "
            "zone Europe/Berlin; run 1",
            {"log-2026-10-25-02.csv: SN,Channel 0|1,1.5|2,1.5|4,1.5",
                "log-2026-10-25-06.csv: SN,Channel 0|3,1.5"});
        row("the new day's file unwritable", "split=daily", {},
            "block log-2026-12-08.csv; at 2026-12-07T23:59:59Z; start; run 2; "
            "mend log-2026-12-08.csv; run 1",
            {"log-2026-12-07.csv: SN,Channel 0|1,1.5", "log-2026-12-08.csv: SN,Channel 0|3,1.5"},
            {"log-2026-12-08.csv\" cannot be written: ", "log-2026-12-08.csv\" has resumed; 1 "});
        row("alarms between commas, then blanks; unusable values fall back",
            "alarm_column=true;split=weekly;keep_days=-1", {},
            "start; alarms 0; run 1; alarms 0 1; run 1; alarms; run 1; "
            "separator 3; alarms 0; run 1",
            {"log.csv: SN,Channel 0,Alarms|1,1.5,Oven hot|"
             "2,1.5,\"Oven hot; Door \"\"A\"\", open\"|3,1.5,|4,1.5 \"Oven hot\""},
            {"[log] split=weekly is not daily, hourly or none",
                "[log] keep_days=-1 is not a number from 0 to 36500"});
    }
    void splitsAndAlarms()
    {
        QFETCH(QString, ini);
        QFETCH(QStringList, before);
        QFETCH(QString, steps);
        QFETCH(QStringList, after);
        QFETCH(QStringList, reports);
        testsupport::LogRig rig;
        core::AcquisitionState &s = rig.state;
        s.channelValues[0] = 1.5f;
        s.saveEnable[0] = True;
        s.stampMode = s.saveInterval = 1;
        for (const char *name : {"Oven hot", "Door \"A\", open"})
            s.alarms.emplace_back().name = name;
        QMap<QString, QString> keys;
        for (const QString &key : ini.split(u';'))
            keys.insert(key.section(u'=', 0, 0), key.section(u'=', 1));
        QStringList shown;
        rig.logger.setOptions(
            logging::readLogOptions(core::IniGroup(keys, rig.dir.path(), "[log] "), shown));
        for (const QString &file : before)
            testsupport::putFile(rig.path(file.section(": ", 0, 0)),
                file.section(": ", 1).replace(u'|', "\r\n").toLatin1() + "\r\n");
        const QDir dir(rig.dir.path());
        using Mode = logging::Logger::StartMode;
        for (const QString &step : steps.split("; ")) {
            const QString word = step.section(u' ', 0, 0), arg = step.section(u' ', 1);
            if (word == "at" || word == "zone")
                rig.clock = testsupport::FakeClock(word == "at"
                        ? QDateTime::fromString(arg, Qt::ISODate)
                        : rig.clock.now().toTimeZone(QTimeZone(arg.toLatin1())));
            else if (word == "start" || word == "continue")
                QVERIFY(rig.logger.start(word == "start" ? Mode::Restart : Mode::Continue).ok);
            else if (word == "run")
                rig.run(arg.toInt());
            else if (word == "separator")
                s.separatorMode = core::Integer(arg.toInt());
            else if (word == "block" || word == "mend") // a folder in the file's place
                QVERIFY(word == "block" ? dir.mkdir(arg) : dir.rmdir(arg));
            else if (word == "alarms")
                for (int a = 0; a < 2; ++a)
                    s.alarms[a].active = arg.contains(QString::number(a));
        }
        QStringList files;
        for (const QString &name : dir.entryList(QDir::Files))
            files << name + ": "
                    + testsupport::fileBytes(rig.path(name)).replace("\r\n", "|").chopped(1);
        after.sort();
        QCOMPARE(files, after);
        for (const auto &prompt : rig.prompts.shown)
            shown << prompt.text;
        QCOMPARE(shown.size(), reports.size());
        for (int i = 0; i < reports.size(); ++i)
            QVERIFY2(shown[i].contains(reports[i]), qPrintable(shown[i]));
    }
};

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
