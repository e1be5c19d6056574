#include "core/thermotables.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using tarv::core::JTableCount;
using tarv::core::KTableCount;
using tarv::core::TableLoad;
using tarv::core::TcTable;

namespace {

const QString DataDir = QStringLiteral(TARV_SOURCE_DIR "/data");

// Published reference tables print millivolts to three decimals. A faithful table
// rounds to them (within 0.0005 mV); the margin allows for a last printed digit
// that was rounded the other way.
constexpr double PublishedTolerance = 0.0015;

QString writeFile(const QString &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = QDir(dir).filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// n strictly increasing values, one per CR LF line.
QByteArray increasingValues(int n)
{
    QByteArray bytes;
    for (int k = 0; k < n; ++k)
        bytes += QByteArray::number(0.001 * k, 'f', 6) + "\r\n";
    return bytes;
}

} // namespace

class TestThermoTables : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void matchesPublishedValues_data();
    void matchesPublishedValues();
    void shippedFilesHoldExactlyTheNeededValues_data();
    void shippedFilesHoldExactlyTheNeededValues();
    void shippedFilesMatchTheirGenerator();

    void acceptsEverySeparator_data();
    void acceptsEverySeparator();
    void rejectsDamagedTables_data();
    void rejectsDamagedTables();
    void rejectsMissingFile();
    void messageSurvivesPercentInPath();

    void prefersAppPathOverDataDirs();
    void fallsBackToDataDir();
    void namesEveryPlaceTriedWhenNotFound();

private:
    TcTable m_j {};
    TcTable m_k {};
};

void TestThermoTables::initTestCase()
{
    const TableLoad j = tarv::core::loadThermocoupleTable(DataDir + "/j.tc", JTableCount, m_j);
    QVERIFY2(j.ok, qPrintable(j.message));
    const TableLoad k = tarv::core::loadThermocoupleTable(DataDir + "/k.tc", KTableCount, m_k);
    QVERIFY2(k.ok, qPrintable(k.message));
}

void TestThermoTables::matchesPublishedValues_data()
{
    QTest::addColumn<char>("type");
    QTest::addColumn<int>("celsius");
    QTest::addColumn<double>("millivolts");

    // Values of the ITS-90 reference tables (NIST Monograph 175), reference junction
    // at 0 deg C. The J rows cover both reference functions (they meet at 760 deg C).
    const struct
    {
        int celsius;
        double mv;
    } j[] = {{0, 0.000}, {20, 1.019}, {100, 5.269}, {200, 10.779}, {300, 16.327}, {350, 19.090},
        {400, 21.848}, {500, 27.393}, {600, 33.102}, {700, 39.132}, {740, 41.645}, {760, 42.919},
        {800, 45.494}, {1000, 57.953}, {1100, 63.792}};
    for (const auto &row : j)
        QTest::addRow("J %d", row.celsius) << 'J' << row.celsius << row.mv;

    // K rows include both ends, the first step (the scan's first comparison) and
    // the 100..200 deg C stretch where the exponential term matters most.
    const struct
    {
        int celsius;
        double mv;
    } k[] = {{-200, -5.891}, {-199, -5.876}, {-150, -4.913}, {-100, -3.554}, {-50, -1.889},
        {-10, -0.392}, {0, 0.000}, {10, 0.397}, {100, 4.096}, {130, 5.328}, {140, 5.735},
        {150, 6.138}, {200, 8.138}, {350, 14.293}, {500, 20.644}, {800, 33.275}, {1000, 41.276},
        {1200, 48.838}, {1350, 54.138}, {1370, 54.819}};
    for (const auto &row : k)
        QTest::addRow("K %d", row.celsius) << 'K' << row.celsius << row.mv;
}

void TestThermoTables::matchesPublishedValues()
{
    QFETCH(char, type);
    QFETCH(int, celsius);
    QFETCH(double, millivolts);

    const double actual = type == 'J' ? m_j[celsius] : m_k[celsius + 200];
    QVERIFY2(std::abs(actual - millivolts) <= PublishedTolerance,
        qPrintable(QStringLiteral("type %1 at %2 deg C: expected %3 mV, table holds %4 mV")
                       .arg(QChar(type), QString::number(celsius), QString::number(millivolts),
                           QString::number(actual, 'f', 6))));
}

void TestThermoTables::shippedFilesHoldExactlyTheNeededValues_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("needed");

    QTest::newRow("j.tc") << "j.tc" << JTableCount;
    QTest::newRow("k.tc") << "k.tc" << KTableCount;
}

void TestThermoTables::shippedFilesHoldExactlyTheNeededValues()
{
    QFETCH(QString, fileName);
    QFETCH(int, needed);

    const QString path = DataDir + "/" + fileName;
    const TcTable &table = fileName == "j.tc" ? m_j : m_k;
    for (int k = 1; k < needed; ++k)
        QVERIFY2(
            table[k] > table[k - 1], qPrintable(QStringLiteral("not increasing at %1").arg(k)));
    QCOMPARE(table[needed], 0.0); // the declared tail stays at its default

    // Asking for one more value than shipped proves the count is exact.
    TcTable scratch {};
    const TableLoad oneMore = tarv::core::loadThermocoupleTable(path, needed + 1, scratch);
    QVERIFY(!oneMore.ok);
    QVERIFY2(oneMore.message.contains(QStringLiteral("holds %1 values").arg(needed)),
        qPrintable(oneMore.message));

    // The program's text files are CR LF; a bare LF would betray a hand edit.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.endsWith("\r\n"));
    QCOMPARE(bytes.count("\r\n"), needed);
    QCOMPARE(bytes.count('\n'), needed);
    QCOMPARE(bytes.count('\r'), needed);
    QVERIFY(!bytes.contains("-0.000000"));
}

void TestThermoTables::shippedFilesMatchTheirGenerator()
{
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo::exists(python))
        QSKIP("no /usr/bin/python3 to run the generator");
    QProcess generator;
    generator.start(python,
        {QStringLiteral(TARV_SOURCE_DIR "/tools/make_tc_tables.py"), QStringLiteral("--check"),
            DataDir});
    QVERIFY(generator.waitForFinished(60000));
    QVERIFY2(generator.exitStatus() == QProcess::NormalExit && generator.exitCode() == 0,
        generator.readAllStandardError().constData());
}

void TestThermoTables::acceptsEverySeparator_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QList<double>>("expected");

    const QList<double> three {-1.5, 0.25, 2};
    QTest::newRow("CR LF") << QByteArray("-1.5\r\n0.25\r\n2\r\n") << three;
    QTest::newRow("LF, no final break") << QByteArray("-1.5\n0.25\n2") << three;
    QTest::newRow("CR only") << QByteArray("-1.5\r0.25\r2\r") << three;
    QTest::newRow("commas") << QByteArray("-1.5,0.25,2") << three;
    QTest::newRow("blanks and empty lines") << QByteArray("  -1.5 \r\n\r\n\t0.25\r\n 2 ") << three;
    QTest::newRow("extra values ignored, even junk")
        << QByteArray("-1.5\r\n0.25\r\n2\r\n1\r\nxyz") << three;
}

void TestThermoTables::acceptsEverySeparator()
{
    QFETCH(QByteArray, content);
    QFETCH(QList<double>, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TcTable table;
    table.fill(99.0);
    const TableLoad result = tarv::core::loadThermocoupleTable(
        writeFile(dir.path(), "t.tc", content), int(expected.size()), table);
    QVERIFY2(result.ok, qPrintable(result.message));
    for (int k = 0; k < expected.size(); ++k)
        QCOMPARE(table[k], expected[k]);
    QCOMPARE(table[expected.size()], 0.0); // the previous contents are gone
    QCOMPARE(table.back(), 0.0);
}

void TestThermoTables::rejectsDamagedTables_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("needed");
    QTest::addColumn<QStringList>("mentions");

    QTest::newRow("one value short")
        << increasingValues(JTableCount - 1) << JTableCount
        << QStringList {"bad.tc", "too short", "holds 1100 values", "1101 are needed"};
    QTest::newRow("empty") << QByteArray() << 3 << QStringList {"bad.tc", "holds 0 values"};
    QTest::newRow("decimal comma splits the value")
        << QByteArray("0.1\r\n0.2\r\n0,3\r\n0.4\r\n") << 4
        << QStringList {"bad.tc", "not greater", "value 3 (0)"};
    QTest::newRow("word on line 3") << QByteArray("0.1\r\n0.2\r\nabc\r\n0.4\r\n") << 4
                                    << QStringList {"bad.tc", "line 3", "\"abc\"", "not a number"};
    QTest::newRow("infinite ends") << QByteArray("-inf\r\n0.1\r\ninf\r\n") << 3
                                   << QStringList {"bad.tc", "line 1", "\"-inf\"", "not a number"};
    QTest::newRow("infinity after finite values")
        << QByteArray("0.1\r\n0.2\r\nINF\r\n") << 3 << QStringList {"line 3", "\"INF\""};
    QTest::newRow("nan as the only value needed")
        << QByteArray("nan\r\n") << 1 << QStringList {"line 1", "\"nan\"", "not a number"};
    QTest::newRow("number with unit after a comma")
        << QByteArray("0.1,0.2\r\n0.3 mV\r\n") << 3 << QStringList {"line 2", "\"0.3 mV\""};
    QTest::newRow("repeated value")
        << QByteArray("0.1\r\n0.3\r\n0.3\r\n0.4\r\n") << 4
        << QStringList {"bad.tc", "value 3 (0.3)", "value 2 (0.3)", "increase"};
    QTest::newRow("one microvolt backwards")
        << QByteArray("54.819123\r\n54.819122\r\n") << 2
        << QStringList {"value 2 (54.819122)", "value 1 (54.819123)"};
}

void TestThermoTables::rejectsDamagedTables()
{
    QFETCH(QByteArray, content);
    QFETCH(int, needed);
    QFETCH(QStringList, mentions);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TcTable table;
    table.fill(7.0);
    const TableLoad result = tarv::core::loadThermocoupleTable(
        writeFile(dir.path(), "bad.tc", content), needed, table);
    QVERIFY(!result.ok);
    for (const QString &text : mentions)
        QVERIFY2(result.message.contains(text),
            qPrintable(QStringLiteral("\"%1\" lacks \"%2\"").arg(result.message, text)));
    // A failed load must not leave a half-filled table behind.
    QCOMPARE(table.front(), 7.0);
    QCOMPARE(table.back(), 7.0);
}

void TestThermoTables::rejectsMissingFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TcTable table {};
    const TableLoad result
        = tarv::core::loadThermocoupleTable(dir.filePath("j.tc"), JTableCount, table);
    QVERIFY(!result.ok);
    QVERIFY2(result.message.contains(QDir::toNativeSeparators(dir.filePath("j.tc"))),
        qPrintable(result.message));
}

void TestThermoTables::messageSurvivesPercentInPath()
{
    // The working directory is the user's; a "%1" in it must reach the message as
    // text and must not swallow the counts.
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString dir = root.filePath("run%1%2");
    QVERIFY(QDir().mkpath(dir));
    writeFile(dir, "j.tc", increasingValues(2));
    TcTable table {};

    const TableLoad shortFile = tarv::core::findAndLoadThermocoupleTable("j.tc", dir, {}, 3, table);
    QVERIFY(!shortFile.ok);
    QVERIFY2(shortFile.message.contains("run%1%2") && shortFile.message.contains("holds 2 values")
            && shortFile.message.contains("3 are needed"),
        qPrintable(shortFile.message));

    const TableLoad missing
        = tarv::core::findAndLoadThermocoupleTable("k.tc", dir, {}, KTableCount, table);
    QVERIFY(!missing.ok);
    QVERIFY2(missing.message.contains("run%1%2") && missing.message.contains("1571 values"),
        qPrintable(missing.message));
}

void TestThermoTables::prefersAppPathOverDataDirs()
{
    QTemporaryDir app, data;
    QVERIFY(app.isValid() && data.isValid());
    writeFile(app.path(), "j.tc", "1\r\n2\r\n");
    writeFile(data.path(), "j.tc", "5\r\n6\r\n");
    TcTable table {};
    const TableLoad result
        = tarv::core::findAndLoadThermocoupleTable("j.tc", app.path(), {data.path()}, 2, table);
    QVERIFY2(result.ok, qPrintable(result.message));
    QCOMPARE(result.path, app.filePath("j.tc"));
    QCOMPARE(table[0], 1.0);
}

void TestThermoTables::fallsBackToDataDir()
{
    QTemporaryDir app, empty, data;
    QVERIFY(app.isValid() && empty.isValid() && data.isValid());
    writeFile(data.path(), "k.tc", "5\r\n6\r\n");
    TcTable table {};
    // An empty appPath (never captured) is skipped, as is a data dir without the file.
    for (const QString &appPath : {app.path(), QString()}) {
        const TableLoad result = tarv::core::findAndLoadThermocoupleTable(
            "k.tc", appPath, {empty.path(), data.path()}, 2, table);
        QVERIFY2(result.ok, qPrintable(result.message));
        QCOMPARE(result.path, data.filePath("k.tc"));
        QCOMPARE(table[1], 6.0);
    }
}

void TestThermoTables::namesEveryPlaceTriedWhenNotFound()
{
    QTemporaryDir app, data;
    QVERIFY(app.isValid() && data.isValid());
    TcTable table {};
    const TableLoad result = tarv::core::findAndLoadThermocoupleTable(
        "j.tc", app.path(), {data.path()}, JTableCount, table);
    QVERIFY(!result.ok);
    QVERIFY(result.path.isEmpty());
    for (const QString &text : {QStringLiteral("j.tc"), QDir::toNativeSeparators(app.path()),
             QDir::toNativeSeparators(data.path()), QStringLiteral("1101 values")})
        QVERIFY2(result.message.contains(text), qPrintable(result.message));
}

QTEST_GUILESS_MAIN(TestThermoTables)
#include "tst_thermotables.moc"
