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
#include <cstring>
#include <sys/resource.h>

using namespace tarv::core;

namespace {

using tarv::testsupport::fileBytes;
using tarv::testsupport::putFile;

QList<QByteArray> lines(const QByteArray &bytes)
{
    QList<QByteArray> result = bytes.split('\n');
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    return result;
}

using tarv::testsupport::defaultCardFile;
using tarv::testsupport::defaultLogFile;

AcquisitionState defaultState(const QString &appPath)
{
    AcquisitionState s;
    applyDefaults(s);
    s.appPath = appPath;
    return s;
}

// Every persisted value differs from its default, and the extremes of each type
// are present.
AcquisitionState customState(const QString &appPath)
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

void comparePersisted(const AcquisitionState &a, const AcquisitionState &e)
{
    QCOMPARE(a.comPort, e.comPort);
    for (int n = 0; n < LineCount; ++n)
        QCOMPARE(a.dioDirection[n], e.dioDirection[n]);
    for (int c = 0; c < ChannelCount; ++c) {
        QCOMPARE(a.inputType[c], e.inputType[c]);
        QCOMPARE(a.inputRange[c], e.inputRange[c]);
        QCOMPARE(a.zero10V[c], e.zero10V[c]);
        QCOMPARE(a.zero200mV[c], e.zero200mV[c]);
        QCOMPARE(a.span10V[c], e.span10V[c]);
        QCOMPARE(a.span200mV[c], e.span200mV[c]);
        QCOMPARE(a.rtdCal[c], e.rtdCal[c]);
        QCOMPARE(a.plotEnable[c], e.plotEnable[c]);
        QCOMPARE(a.saveEnable[c], e.saveEnable[c]);
        QCOMPARE(a.channelNames[c], e.channelNames[c]);
    }
    QCOMPARE(a.saveFileName, e.saveFileName);
    QCOMPARE(a.useChannelHeaders, e.useChannelHeaders);
    QCOMPARE(a.separatorMode, e.separatorMode);
    QCOMPARE(a.saveIntervalUnit, e.saveIntervalUnit);
    QCOMPARE(a.saveInterval, e.saveInterval);
    QCOMPARE(a.stampMode, e.stampMode);
}

// Makes every regular-file write beyond `bytes` fail, as a full disk would.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old {};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

} // namespace

class TestSettingsFiles : public QObject
{
    Q_OBJECT

private slots:
    void numberReads_data();
    void numberReads();
    void readString_data();
    void readString();
    void fieldsFollowEachOther();

    void doubleForms_data();
    void doubleForms();
    void writerLines();

    void defaultFilesAreExact();
    void comPortFile_data();
    void comPortFile();
    void comPortFileForms_data();
    void comPortFileForms();
    void settingsRoundTrip();
    void cardSettingsCutOff_data();
    void cardSettingsCutOff();
    void cardSettingsLineForms_data();
    void cardSettingsLineForms();
    void saveFileName_data();
    void saveFileName();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void writeRefused_data();
    void writeRefused();
};

void TestSettingsFiles::numberReads_data()
{
    QTest::addColumn<char>("type"); // 'i' Integer, 'd' Double, 'f' flag
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");

    const auto row = [](const char *name, char type, const char *input, bool ok, double value) {
        QTest::newRow(name) << type << QByteArray(input) << ok << value;
    };
    row("integer", 'i', "32000\r\n", true, 32000);
    row("integer, blanks", 'i', "   -5  \r\n", true, -5);
    row("integer, lone LF", 'i', "7\n", true, 7);
    row("integer, comma ends it", 'i', "12,34\r\n", true, 12);
    row("integer, half to even down", 'i', "2.5", true, 2);
    row("integer, half to even up", 'i', "3.5", true, 4);
    row("integer, negative half", 'i', "-2.5", true, -2);
    row("integer, exponent", 'i', "1E3", true, 1000);
    row("integer, plus sign", 'i', "+9", true, 9);
    row("integer, lowest", 'i', "-32768", true, -32768);
    row("integer, highest", 'i', "32767", true, 32767);
    row("integer, rounds into range", 'i', "32766.5", true, 32766);
    row("integer, true", 'i', "#TRUE#", true, -1);
    row("integer, false", 'i', "#FALSE#", true, 0);
    row("integer, quoted", 'i', "\"6\"", true, 6);
    row("integer, too large", 'i', "40000", false, 0);
    row("integer, too small", 'i', "-32769", false, 0);
    row("integer, rounds out of range", 'i', "32767.5", false, 0);
    row("integer, text", 'i', "COM5", false, 0);
    row("integer, trailing text", 'i', "5x", false, 0);
    row("integer, comma decimal", 'i', "\"1,5\"", false, 0);
    row("integer, infinity", 'i', "inf", false, 0);
    row("integer, empty line", 'i', "\r\n5", false, 0);
    row("integer, no data", 'i', "", false, 0);
    row("integer, blanks only", 'i', "   ", false, 0);
    row("integer, quoted true is text", 'i', "\"#TRUE#\"", false, 0);
    row("double, whole", 'd', "10\r\n", true, 10);
    row("double, fraction", 'd', "12.7", true, 12.7);
    row("double, lower-case exponent", 'd', "2.5e10", true, 2.5e10);
    row("double, comma ends it", 'd', "1,5", true, 1);
    row("double, true", 'd', "#TRUE#", true, -1);
    row("double, text", 'd', "ten", false, 0);
    row("double, not a number", 'd', "nan", false, 0);
    row("double, overflow", 'd', "1e400", false, 0);
    row("flag, true", 'f', "#TRUE#\r\n", true, -1);
    row("flag, false", 'f', "#FALSE#\r\n", true, 0);
    row("flag, blanks", 'f', "  #TRUE#  \r\n", true, -1);
    row("flag, minus one", 'f', "-1", true, -1);
    row("flag, zero", 'f', "0", true, 0);
    row("flag, one", 'f', "1", false, 0);
    row("flag, rounds to minus one", 'f', "-0.6", false, 0);
    row("flag, bare word", 'f', "TRUE", false, 0);
    row("flag, lower case", 'f', "#true#", false, 0);
    row("flag, quoted", 'f', "\"#TRUE#\"", false, 0);
}

void TestSettingsFiles::numberReads()
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

void TestSettingsFiles::readString_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("value");

    QTest::newRow("quoted") << QByteArray("\"D:\\test.csv\"\r\n") << true
                            << QStringLiteral("D:\\test.csv");
    QTest::newRow("comma inside quotes")
        << QByteArray("\"a,b\"\r\n") << true << QStringLiteral("a,b");
    QTest::newRow("blanks inside quotes kept")
        << QByteArray("  \"  x  \"  \r\n") << true << QStringLiteral("  x  ");
    QTest::newRow("empty quotes") << QByteArray("\"\"\r\n") << true << QString();
    QTest::newRow("quote ends the text")
        << QByteArray("\"say \"hi\"\"\r\n") << true << QStringLiteral("say ");
    QTest::newRow("bare text") << QByteArray("  bare text  \r\n") << true
                               << QStringLiteral("bare text");
    QTest::newRow("bare text ends at comma") << QByteArray("a,b") << true << QStringLiteral("a");
    QTest::newRow("Latin-1 byte") << QByteArray("\"caf\xe9\"") << true
                                  << QStringLiteral("caf\u00e9");
    QTest::newRow("no closing quote") << QByteArray("\"open\r\n") << false << QString();
    QTest::newRow("empty line") << QByteArray("\r\nx") << true << QString();
    QTest::newRow("no data") << QByteArray() << false << QString();
}

void TestSettingsFiles::readString()
{
    QFETCH(QByteArray, input);
    QFETCH(bool, ok);
    QFETCH(QString, value);

    SettingsReader reader(input);
    QString got = QStringLiteral("untouched");
    QCOMPARE(reader.readString(got), ok);
    QCOMPARE(got, ok ? value : QStringLiteral("untouched"));
}

void TestSettingsFiles::fieldsFollowEachOther()
{
    // Commas and all three line ends separate fields; a quoted text may span lines;
    // whatever follows a closing quote on its line is dropped.
    SettingsReader r("1,2\r\n\"a,\r\nb\" junk,3\n  -4\r5\r\nx\r\n");
    Integer i = 0;
    QString s;
    QVERIFY(r.readInteger(i));
    QCOMPARE(i, 1);
    QVERIFY(r.readInteger(i));
    QCOMPARE(i, 2);
    QVERIFY(r.readString(s));
    QCOMPARE(s, QStringLiteral("a,\r\nb"));
    QVERIFY(r.readInteger(i));
    QCOMPARE(i, 3);
    QVERIFY(r.readInteger(i));
    QCOMPARE(i, -4);
    QVERIFY(r.readInteger(i));
    QCOMPARE(i, 5);

    QVERIFY(!r.readInteger(i));
    QVERIFY2(r.error().contains(QLatin1String("line 6")) && r.error().contains(u'x'),
        qPrintable(r.error()));
    QVERIFY(!r.readString(s));
    QVERIFY2(r.error().contains(QLatin1String("ends")), qPrintable(r.error()));
}

void TestSettingsFiles::doubleForms_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("text");

    QTest::newRow("whole") << 10.0 << QByteArray("10");
    QTest::newRow("fraction") << 12.7 << QByteArray("12.7");
    QTest::newRow("tenth") << 0.1 << QByteArray("0.1");
    QTest::newRow("negative") << -3.25 << QByteArray("-3.25");
    QTest::newRow("zero") << 0.0 << QByteArray("0");
    QTest::newRow("negative zero") << -0.0 << QByteArray("0");
    QTest::newRow("third") << 1.0 / 3 << QByteArray("0.3333333333333333");
    QTest::newRow("large") << 1e20 << QByteArray("1E+20");
    QTest::newRow("small") << 1e-7 << QByteArray("1E-07");
    QTest::newRow("seven digits") << 1234567.0 << QByteArray("1234567");
}

void TestSettingsFiles::doubleForms()
{
    QFETCH(double, value);
    QFETCH(QByteArray, text);

    // A comma-decimal locale must not leak into the file.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QByteArray got = doubleText(value);
    QLocale::setDefault(previous);
    QCOMPARE(got, text);

    SettingsReader reader(got);
    Double back = 0;
    QVERIFY(reader.readDouble(back));
    QCOMPARE(back, value == 0 ? 0.0 : value); // exact: the shortest form round-trips
}

void TestSettingsFiles::writerLines()
{
    SettingsWriter w;
    w.writeInteger(-5);
    w.writeInteger(32767);
    w.writeFlag(True);
    w.writeFlag(False);
    w.writeDouble(12.7);
    w.writeString(QStringLiteral("\u03a9 caf\u00e9, x"));
    QCOMPARE(
        w.data(), QByteArray("-5\r\n32767\r\n#TRUE#\r\n#FALSE#\r\n12.7\r\n\"? caf\xe9, x\"\r\n"));
}

void TestSettingsFiles::defaultFilesAreExact()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const AcquisitionState s = defaultState(dir.path());

    QVERIFY(writeComPortFile(s).ok);
    QVERIFY(SaveCardSettings(s).ok);
    QVERIFY(SaveLogSettings(s).ok);
    QCOMPARE(fileBytes(dir.filePath(QStringLiteral("tarv.con"))), QByteArray(" 1 \r\n"));
    const QByteArray card = fileBytes(dir.filePath(QStringLiteral("tarvo.con")));
    QCOMPARE(card, defaultCardFile());
    const QByteArray log = fileBytes(dir.filePath(QStringLiteral("tarvs.con")));
    QCOMPARE(log, defaultLogFile());
}

void TestSettingsFiles::comPortFile_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("1") << 1 << QByteArray(" 1 \r\n");
    QTest::newRow("0") << 0 << QByteArray(" 0 \r\n");
    QTest::newRow("12") << 12 << QByteArray(" 12 \r\n");
    QTest::newRow("-3") << -3 << QByteArray("-3 \r\n");
    QTest::newRow("32767") << 32767 << QByteArray(" 32767 \r\n");
}

void TestSettingsFiles::comPortFile()
{
    QFETCH(int, port);
    QFETCH(QByteArray, bytes);

    QTemporaryDir dir;
    AcquisitionState s = defaultState(dir.path());
    s.comPort = Integer(port);
    const WriteResult w = writeComPortFile(s);
    QVERIFY2(w.ok, qPrintable(w.error));
    QCOMPARE(w.path, dir.filePath(QStringLiteral("tarv.con")));
    QCOMPARE(fileBytes(w.path), bytes);

    AcquisitionState back = defaultState(dir.path());
    QVERIFY(readComPortFile(back).ok);
    QCOMPARE(int(back.comPort), port);
}

void TestSettingsFiles::comPortFileForms_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("port");

    QTest::newRow("as written") << true << QByteArray(" 5 \r\n") << true << 5;
    QTest::newRow("no blanks, no line end") << true << QByteArray("5") << true << 5;
    QTest::newRow("no blanks") << true << QByteArray("5\r\n") << true << 5;
    QTest::newRow("tab and LF") << true << QByteArray("\t7  \n") << true << 7;
    QTest::newRow("more lines") << true << QByteArray(" 3 \r\n 9 \r\n") << true << 3;
    QTest::newRow("empty") << true << QByteArray() << false << 0;
    QTest::newRow("name instead of number") << true << QByteArray("COM5\r\n") << false << 0;
    QTest::newRow("too large") << true << QByteArray(" 40000 \r\n") << false << 0;
    QTest::newRow("missing") << false << QByteArray() << false << 0;
}

void TestSettingsFiles::comPortFileForms()
{
    QFETCH(bool, present);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, ok);
    QFETCH(int, port);

    QTemporaryDir dir;
    if (present)
        putFile(dir.filePath(QStringLiteral("tarv.con")), bytes);
    AcquisitionState s = defaultState(dir.path());
    s.comPort = 2;
    const ReadResult r = readComPortFile(s);
    QCOMPARE(r.ok, ok);
    QCOMPARE(int(s.comPort), ok ? port : 2);
    QCOMPARE(r.error.isEmpty(), ok);
    QCOMPARE(r.path, dir.filePath(QStringLiteral("tarv.con")));
}

void TestSettingsFiles::settingsRoundTrip()
{
    QTemporaryDir dir;
    AcquisitionState written = customState(dir.path());
    // Elements past the used range are never persisted.
    written.inputType[8] = 99;
    written.dioDirection[16] = True;
    written.channelNames[8] = QStringLiteral("spare");
    QVERIFY(SaveCardSettings(written).ok);
    QVERIFY(SaveLogSettings(written).ok);
    QCOMPARE(lines(fileBytes(dir.filePath(QStringLiteral("tarvo.con")))).size(), 88);
    QCOMPARE(lines(fileBytes(dir.filePath(QStringLiteral("tarvs.con")))).size(), 14);

    AcquisitionState read = defaultState(dir.path());
    const ReadResult card = readCardSettings(read);
    QVERIFY2(card.ok, qPrintable(card.error));
    const ReadResult log = readLogSettings(read);
    QVERIFY2(log.ok, qPrintable(log.error));
    comparePersisted(read, written);
    QCOMPARE(read.inputType[8], 0);
    QCOMPARE(read.dioDirection[16], False);
    QCOMPARE(read.channelNames[8], QString());
}

void TestSettingsFiles::cardSettingsCutOff_data()
{
    QTest::addColumn<int>("kept");

    for (int kept : {0, 1, 16, 17, 25, 40, 87})
        QTest::addRow("%d lines", kept) << kept;
}

void TestSettingsFiles::cardSettingsCutOff()
{
    QFETCH(int, kept);

    QTemporaryDir custom;
    QTemporaryDir defaults;
    QVERIFY(SaveCardSettings(customState(custom.path())).ok);
    QVERIFY(SaveCardSettings(defaultState(defaults.path())).ok);
    const QList<QByteArray> full = lines(fileBytes(custom.filePath(QStringLiteral("tarvo.con"))));
    const QList<QByteArray> plain
        = lines(fileBytes(defaults.filePath(QStringLiteral("tarvo.con"))));

    QTemporaryDir dir;
    putFile(dir.filePath(QStringLiteral("tarvo.con")), full.mid(0, kept).join('\n') + '\n');
    AcquisitionState s = defaultState(dir.path());
    QVERIFY(!readCardSettings(s).ok);

    // Lines before the cut hold what the file said, everything after its default.
    QVERIFY(SaveCardSettings(s).ok);
    const QList<QByteArray> mixed = lines(fileBytes(dir.filePath(QStringLiteral("tarvo.con"))));
    QCOMPARE(mixed.size(), 88);
    for (int i = 0; i < 88; ++i)
        QCOMPARE(mixed[i], i < kept ? full[i] : plain[i]);

    if (kept == 40) {
        const AcquisitionState c = customState(QString());
        QCOMPARE(s.dioDirection, c.dioDirection);
        QCOMPARE(s.span200mV[1], c.span200mV[1]);
        QCOMPARE(s.saveEnable[1], c.saveEnable[1]);
        QCOMPARE(s.span200mV[2], c.span200mV[2]);
        QCOMPARE(s.rtdCal[2], Integer(13000));
        QCOMPARE(s.inputType[3], Integer(0));
    }
}

void TestSettingsFiles::cardSettingsLineForms_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");

    // Values are checked against their type only.
    QTest::newRow("input type off the list") << 17 << QByteArray("99") << true;
    QTest::newRow("negative range") << 18 << QByteArray("-1E6") << true;
    QTest::newRow("zero rtdCal") << 23 << QByteArray("0") << true;
    QTest::newRow("flag as number") << 1 << QByteArray("-1") << true;
    QTest::newRow("count too large") << 19 << QByteArray("40000") << false;
    QTest::newRow("count too small") << 22 << QByteArray("-32769") << false;
    QTest::newRow("range overflows") << 18 << QByteArray("1e400") << false;
    QTest::newRow("flag one") << 24 << QByteArray("1") << false;
    QTest::newRow("flag word") << 88 << QByteArray("TRUE") << false;
    QTest::newRow("number with text") << 20 << QByteArray("12abc") << false;
}

void TestSettingsFiles::cardSettingsLineForms()
{
    QFETCH(int, line);
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);

    QList<QByteArray> content = lines(defaultCardFile());
    content[line - 1] = text + '\r';
    QTemporaryDir dir;
    putFile(dir.filePath(QStringLiteral("tarvo.con")), content.join('\n') + '\n');
    AcquisitionState s = defaultState(dir.path());
    const ReadResult r = readCardSettings(s);
    QCOMPARE(r.ok, ok);
    if (!ok) {
        const QString where = QStringLiteral("line %1").arg(line);
        QVERIFY2(r.error.contains(where) && r.error.contains(QString::fromLatin1(text)),
            qPrintable(r.error));
    }
}

void TestSettingsFiles::saveFileName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("readBack");

    QTest::newRow("comma") << QStringLiteral("C:\\logs\\a,b.csv")
                           << QStringLiteral("C:\\logs\\a,b.csv");
    QTest::newRow("blanks") << QStringLiteral("  spaced  .csv") << QStringLiteral("  spaced  .csv");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("Latin-1") << QStringLiteral("M\u00fcller.csv")
                             << QStringLiteral("M\u00fcller.csv");
    // No escaping in the format: these do not survive.
    QTest::newRow("double quote") << QStringLiteral("say \"hi\".csv") << QStringLiteral("say ");
    QTest::newRow("outside Latin-1") << QStringLiteral("\u03a9.csv") << QStringLiteral("?.csv");
}

void TestSettingsFiles::saveFileName()
{
    QFETCH(QString, name);
    QFETCH(QString, readBack);

    QTemporaryDir dir;
    AcquisitionState s = customState(dir.path());
    s.saveFileName = name;
    QVERIFY(SaveLogSettings(s).ok);

    AcquisitionState back = defaultState(dir.path());
    const ReadResult r = readLogSettings(back);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(back.saveFileName, readBack);
    // The damage stays on its own line.
    QCOMPARE(back.useChannelHeaders, s.useChannelHeaders);
    QCOMPARE(back.channelNames[7], s.channelNames[7]);
}

void TestSettingsFiles::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("tarv.con") << QStringLiteral("tarv.con");
    QTest::newRow("tarvo.con") << QStringLiteral("tarvo.con");
    QTest::newRow("tarvs.con") << QStringLiteral("tarvs.con");
}

void TestSettingsFiles::failedWriteKeepsOldFile()
{
    QFETCH(QString, file);

    QTemporaryDir dir;
    const QString path = dir.filePath(file);
    const QByteArray old = "previous content that must survive\r\n";
    putFile(path, old);

    const AcquisitionState s = defaultState(dir.path());
    WriteResult w;
    {
        // The disk fills up after three bytes of the new content.
        FileSizeLimit limit(3);
        QVERIFY(limit.ok());
        if (file == QLatin1String("tarv.con"))
            w = writeComPortFile(s);
        else if (file == QLatin1String("tarvo.con"))
            w = SaveCardSettings(s);
        else
            w = SaveLogSettings(s);
    }
    QVERIFY(!w.ok);
    QVERIFY(!w.error.isEmpty());
    QCOMPARE(w.path, path);
    QCOMPARE(fileBytes(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList {file});
}

void TestSettingsFiles::writeRefused_data()
{
    QTest::addColumn<bool>("readOnly"); // otherwise the directory does not exist
    QTest::newRow("missing directory") << false;
    QTest::newRow("read-only directory") << true;
}

void TestSettingsFiles::writeRefused()
{
    QFETCH(bool, readOnly);

    QTemporaryDir dir;
    const QString appPath = readOnly ? dir.path() : dir.filePath(QStringLiteral("gone"));
    QStringList before;
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(
            dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    });
    if (readOnly) {
        putFile(dir.filePath(QStringLiteral("tarvo.con")), "old\r\n");
        before << QStringLiteral("tarvo.con");
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        QFile probe(dir.filePath(QStringLiteral("probe")));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QSKIP("directory permissions are not enforced for this user");
        }
    }

    const AcquisitionState s = defaultState(appPath);
    for (const WriteResult &w : {writeComPortFile(s), SaveCardSettings(s), SaveLogSettings(s)}) {
        QVERIFY2(!w.ok, qPrintable(w.path));
        QVERIFY2(!w.error.isEmpty(), qPrintable(w.path));
    }
    QCOMPARE(
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    if (readOnly)
        QCOMPARE(fileBytes(dir.filePath(QStringLiteral("tarvo.con"))), QByteArray("old\r\n"));
}

QTEST_GUILESS_MAIN(TestSettingsFiles)
#include "tst_settingsfiles.moc"
