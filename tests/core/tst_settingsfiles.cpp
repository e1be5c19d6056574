#include "core/acquisitionstate.h"
#include "core/settingsfile.h"
#include "core/settingsfiles.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace tarv::core;
using tarv::testsupport::defaultCardFile;
using tarv::testsupport::defaultLogFile;
using tarv::testsupport::fileBytes;
using tarv::testsupport::putFile;

namespace {

// Split at LF; each line keeps its CR.
QList<QByteArray> lines(const QByteArray &bytes)
{
    QList<QByteArray> result = bytes.split('\n');
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    return result;
}

AcquisitionState defaultState(const QString &appPath = QString())
{
    AcquisitionState s;
    applyDefaults(s);
    s.appPath = appPath;
    return s;
}

// Every persisted value differs from its default and from its neighbours, and the
// extremes of each type are present.
AcquisitionState customState(const QString &appPath = QString())
{
    AcquisitionState s = defaultState(appPath);
    for (int n = 0; n < LineCount; ++n)
        s.dioDirection[n] = toFlag(n % 3 == 0);
    const Double ranges[] = {12.7, 0.1, -5.5, 200, 1e-7, 2.5e10, 1.0 / 3, 20};
    for (int c = 0; c < ChannelCount; ++c) {
        s.inputType[c] = Integer(c + 1); // 7 and 8 are outside the list on purpose
        s.inputRange[c] = ranges[c];
        s.zero10V[c] = Integer(31000 + c);
        s.zero200mV[c] = Integer(-100 * c - 1);
        s.span10V[c] = Integer(32767 - c);
        s.span200mV[c] = Integer(-32768 + c);
        s.rtdCal[c] = Integer(1000 * c);
        s.plotEnable[c] = toFlag(c % 2 == 1);
        s.saveEnable[c] = toFlag(c % 2 == 0);
        s.channelNames[c] = QStringLiteral("Temp\u00e9 %1, side").arg(c);
    }
    s.saveFileName = QStringLiteral("C:\\logs\\run, day 1.csv");
    s.useChannelHeaders = False;
    s.separatorMode = 3;
    s.saveIntervalUnit = 2;
    s.saveInterval = 300;
    s.stampMode = 4;
    return s;
}

} // namespace

class TestSettingsFiles : public QObject
{
    Q_OBJECT

private slots:
    void numberReads_data()
    {
        QTest::addColumn<char>("type"); // 'i' Integer, 'd' Double, 'f' flag
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");

        const auto row = [](const char *name, char type, const char *input, bool ok, double v) {
            QTest::newRow(name) << type << QByteArray(input) << ok << v;
        };
        row("integer, blanks and sign", 'i', "   -5  \r\n", true, -5);
        row("integer, comma ends it", 'i', "12,34\r\n", true, 12);
        row("integer, half to even", 'i', "2.5", true, 2);
        row("integer, too small", 'i', "-32769", false, 0);
        row("integer, rounds out of range", 'i', "32767.5", false, 0);
        row("integer, quoted true is text", 'i', "\"#TRUE#\"", false, 0);
        row("integer, no digit grouping", 'i', "\"1,500\"", false, 0);
        row("integer, trailing text", 'i', "5x", false, 0);
        row("integer, no data", 'i', "", false, 0);
        row("double, not a number", 'd', "nan", false, 0);
        row("double, overflow", 'd', "1e400", false, 0);
        row("flag, minus one", 'f', "-1", true, -1);
        row("flag, one", 'f', "1", false, 0);
        row("flag, rounds to minus one", 'f', "-0.6", false, 0);
        row("flag, lower case", 'f', "#true#", false, 0);
    }
    void numberReads()
    {
        QFETCH(char, type);
        QFETCH(QByteArray, input);
        QFETCH(bool, ok);
        QFETCH(double, value);

        // A failed read must leave the target as it was.
        SettingsReader reader(input);
        Integer integer = 77;
        Double real = 77;
        Flag flag = 77;
        double got = 0;
        if (type == 'i') {
            QCOMPARE(reader.readInteger(integer), ok);
            got = integer;
        } else if (type == 'd') {
            QCOMPARE(reader.readDouble(real), ok);
            got = real;
        } else {
            QCOMPARE(reader.readFlag(flag), ok);
            got = flag;
        }
        QCOMPARE(got, ok ? value : 77.0);
        if (!ok)
            QVERIFY2(reader.error().contains(QLatin1String("line 1")), qPrintable(reader.error()));
    }

    void fieldsFollowEachOther()
    {
        // Commas and all three line ends separate fields. A quoted text may span
        // lines, keeps its blanks and drops whatever follows its closing quote on
        // the line; an unquoted one is trimmed; an empty line is an empty field.
        SettingsReader r("1,2\r\n\"a,\r\nb\" junk,3\n  -4\r5\r\n  \"  x  \"  \r\n  bare text  "
                         "\r\n\r\n\"caf\xe9\"\r\nx\r\n");
        Integer i = 0;
        QString s;
        for (const Integer expected : {1, 2}) {
            QVERIFY(r.readInteger(i));
            QCOMPARE(i, expected);
        }
        QVERIFY(r.readString(s));
        QCOMPARE(s, QStringLiteral("a,\r\nb"));
        for (const Integer expected : {3, -4, 5}) {
            QVERIFY(r.readInteger(i));
            QCOMPARE(i, expected);
        }
        for (const QString expected : {"  x  ", "bare text", "", "caf\u00e9"}) {
            QVERIFY(r.readString(s));
            QCOMPARE(s, expected);
        }

        QVERIFY(!r.readInteger(i));
        QVERIFY2(r.error().contains(QLatin1String("line 10")) && r.error().contains(u'x'),
            qPrintable(r.error()));
        QVERIFY(!r.readString(s));
        QVERIFY2(r.error().contains(QLatin1String("ends")), qPrintable(r.error()));
        SettingsReader open("\"open\r\n");
        QVERIFY(!open.readString(s));
        QCOMPARE(s, QStringLiteral("caf\u00e9")); // untouched
    }

    void writerForms()
    {
        // A comma-decimal locale must not leak into the files.
        const QLocale previous;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const auto restore = qScopeGuard([&] { QLocale::setDefault(previous); });
        SettingsWriter w;
        w.writeInteger(-5);
        w.writeFlag(True);
        // Doubles in their shortest exact form, plain decimal, never an exponent.
        for (const Double v : {12.7, -0.0, 1.0 / 3, 1e5, 1e-4, 1e20, 1234567.0})
            w.writeDouble(v);
        w.writeString(QStringLiteral("\u03a9 caf\u00e9, x"));
        QCOMPARE(w.data(),
            QByteArray("-5\r\n#TRUE#\r\n12.7\r\n0\r\n0.3333333333333333\r\n100000\r\n0.0001\r\n"
                       "100000000000000000000\r\n1234567\r\n\"? caf\xe9, x\"\r\n"));

        // tarv.con holds a printed number: the sign's place, the digits, one blank.
        AcquisitionState s;
        s.comPort = 0;
        QCOMPARE(comPortFileBytes(s), QByteArray(" 0 \r\n"));
        s.comPort = -3;
        QCOMPARE(comPortFileBytes(s), QByteArray("-3 \r\n"));

        // The files as start-up's defaults write them.
        QCOMPARE(cardSettingsBytes(defaultState()), defaultCardFile());
        QCOMPARE(logSettingsBytes(defaultState()), defaultLogFile());
    }

    void comPortFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tarv.con"));
        AcquisitionState s = defaultState(dir.path());
        s.comPort = 2;
        // A missing file leaves the port as it was.
        ReadResult r = readComPortFile(s);
        QVERIFY(!r.ok && !r.error.isEmpty());
        QCOMPARE(r.path, path);
        QCOMPARE(s.comPort, Integer(2));

        // The written form; only the first line counts.
        putFile(path, "-3 \r\n 9 \r\n");
        r = readComPortFile(s);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(s.comPort, Integer(-3));
    }

    void settingsRoundTrip()
    {
        QTemporaryDir dir;
        const AcquisitionState written = customState(dir.path());
        QVERIFY(SaveCardSettings(written).ok);
        QVERIFY(SaveLogSettings(written).ok);
        const QList<QByteArray> card = lines(fileBytes(dir.filePath(QStringLiteral("tarvo.con"))));
        const QList<QByteArray> log = lines(fileBytes(dir.filePath(QStringLiteral("tarvs.con"))));
        QCOMPARE(card.size(), 88);
        QCOMPARE(log.size(), 14);
        // The order within a channel's block and at the head of tarvs.con.
        QCOMPARE(card.mid(16, 9),
            QList<QByteArray>({"1\r", "12.7\r", "31000\r", "-1\r", "32767\r", "-32768\r", "0\r",
                "#FALSE#\r", "#TRUE#\r"}));
        QCOMPARE(log.mid(0, 6),
            QList<QByteArray>(
                {"\"C:\\logs\\run, day 1.csv\"\r", "#FALSE#\r", "3\r", "2\r", "300\r", "4\r"}));

        AcquisitionState read = defaultState(dir.path());
        const ReadResult cardRead = readCardSettings(read);
        QVERIFY2(cardRead.ok, qPrintable(cardRead.error));
        const ReadResult logRead = readLogSettings(read);
        QVERIFY2(logRead.ok, qPrintable(logRead.error));
        // Every value differs from its default, so one left unread or stored in the
        // wrong place changes the bytes.
        QCOMPARE(cardSettingsBytes(read), cardSettingsBytes(written));
        QCOMPARE(logSettingsBytes(read), logSettingsBytes(written));
    }

    void damagedCardSettings_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("text"); // null: the file ends before the line
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("rewritten"); // null: as read

        for (int line : {1, 17, 41, 88})
            QTest::addRow("cut before line %d", line)
                << line << QByteArray() << false << QByteArray();
        // Values are checked against their type only.
        QTest::newRow("input type off the list") << 17 << QByteArray("99") << true << QByteArray();
        // Earlier builds wrote exponents; they read, and go back plain.
        QTest::newRow("negative range, exponent")
            << 18 << QByteArray("-1E+06") << true << QByteArray("-1000000");
        QTest::newRow("count too large") << 19 << QByteArray("40000") << false << QByteArray();
        QTest::newRow("flag word on the last line")
            << 88 << QByteArray("TRUE") << false << QByteArray();
    }
    void damagedCardSettings()
    {
        QFETCH(int, line);
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        QFETCH(QByteArray, rewritten);

        const QList<QByteArray> full = lines(cardSettingsBytes(customState()));
        QList<QByteArray> content = full;
        if (text.isNull())
            content.resize(line - 1);
        else
            content[line - 1] = text + '\r';
        QByteArray bytes;
        for (const QByteArray &l : content)
            bytes += l + '\n';

        AcquisitionState s = defaultState();
        const ReadResult r = readCardSettingsFrom(bytes, s);
        QCOMPARE(r.ok, ok);
        if (!ok) {
            QVERIFY2(r.error.contains(QStringLiteral("line %1").arg(line))
                    && r.error.contains(QString::fromLatin1(text)),
                qPrintable(r.error));
        }
        // Lines before a bad one hold what the file said, everything after it its
        // default.
        const QList<QByteArray> plain = lines(defaultCardFile());
        if (!rewritten.isNull())
            content[line - 1] = rewritten + '\r';
        QCOMPARE(lines(cardSettingsBytes(s)),
            ok ? content : full.mid(0, line - 1) + plain.mid(line - 1));
    }

    void writeFails_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::newRow("disk full") << "disk full";
        QTest::newRow("missing directory") << "missing directory";
        QTest::newRow("read-only directory") << "read-only directory";
    }
    void writeFails()
    {
        QFETCH(QString, cause);

        QTemporaryDir dir;
        const bool missing = cause == QLatin1String("missing directory");
        const AcquisitionState s
            = defaultState(missing ? dir.filePath(QStringLiteral("gone")) : dir.path());
        const QStringList files {"tarv.con", "tarvo.con", "tarvs.con"};
        const QByteArray old = "previous content that must survive\r\n";
        if (!missing) {
            for (const QString &file : files)
                putFile(dir.filePath(file), old);
        }

        const auto restore = qScopeGuard([&] {
            QFile::setPermissions(dir.path(),
                QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        });
        if (cause == QLatin1String("read-only directory")) {
            QVERIFY(
                QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
            if (QFile(dir.filePath(QStringLiteral("probe"))).open(QIODevice::WriteOnly))
                QSKIP("directory permissions are not enforced for this user");
        }
        QList<WriteResult> results;
        {
            // A full disk: every write past the third byte of a file fails.
            rlimit previous {};
            QVERIFY(getrlimit(RLIMIT_FSIZE, &previous) == 0);
            rlimit full = previous;
            if (cause == QLatin1String("disk full"))
                full.rlim_cur = 3;
            const auto handler = std::signal(SIGXFSZ, SIG_IGN);
            const auto unlimit = qScopeGuard([&] {
                setrlimit(RLIMIT_FSIZE, &previous);
                std::signal(SIGXFSZ, handler);
            });
            QVERIFY(setrlimit(RLIMIT_FSIZE, &full) == 0);
            results = {writeComPortFile(s), SaveCardSettings(s), SaveLogSettings(s)};
        }

        // Each failure is reported, and a writer that fell back to writing in place
        // or left its new content half-written would have damaged the old file.
        for (int i = 0; i < files.size(); ++i) {
            QVERIFY2(!results[i].ok && !results[i].error.isEmpty(), qPrintable(files[i]));
            QCOMPARE(results[i].path, QDir(s.appPath).filePath(files[i]));
            QCOMPARE(fileBytes(dir.filePath(files[i])), missing ? QByteArray() : old);
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            missing ? QStringList() : files);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFiles)
#include "tst_settingsfiles.moc"
