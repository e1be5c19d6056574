#include "core/thermotables.h"
#include "support/tablefixture.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace tarv::core;
using tarv::testsupport::putFile;

static const QString DataDir = QStringLiteral(TARV_SOURCE_DIR "/data");

class TestThermoTables : public QObject
{
    Q_OBJECT

    AcquisitionState m_shipped;

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(tarv::testsupport::loadShippedTables(m_shipped, &error), qPrintable(error));
    }

    void matchesPublishedValues_data()
    {
        QTest::addColumn<char>("type");
        QTest::addColumn<int>("celsius");
        QTest::addColumn<double>("millivolts");

        // Values of the ITS-90 reference tables (NIST Monograph 175), reference
        // junction at 0 deg C. The J rows cover both reference functions (they meet
        // at 760 deg C); the K rows both ends, the first step and the 100..200 deg C
        // stretch where the exponential term matters most.
        const struct
        {
            char type;
            int celsius;
            double mv;
        } rows[] = {{'J', 0, 0.000}, {'J', 400, 21.848}, {'J', 760, 42.919}, {'J', 800, 45.494},
            {'J', 1100, 63.792}, {'K', -200, -5.891}, {'K', -199, -5.876}, {'K', -100, -3.554},
            {'K', 0, 0.000}, {'K', 140, 5.735}, {'K', 1000, 41.276}, {'K', 1370, 54.819}};
        for (const auto &row : rows)
            QTest::addRow("%c %d", row.type, row.celsius) << row.type << row.celsius << row.mv;
    }
    void matchesPublishedValues()
    {
        QFETCH(char, type);
        QFETCH(int, celsius);
        QFETCH(double, millivolts);

        // Published tables print three decimals. A faithful table rounds to them
        // (within 0.0005 mV); the margin allows for a last printed digit that was
        // rounded the other way.
        const double actual
            = type == 'J' ? m_shipped.jTable[celsius] : m_shipped.kTable[celsius + 200];
        QVERIFY2(std::abs(actual - millivolts) <= 0.0015,
            qPrintable(QStringLiteral("table holds %1 mV").arg(actual, 0, 'f', 6)));
    }

    void shippedFiles()
    {
        for (const auto &[name, needed] :
            {std::pair {"j.tc", JTableCount}, {"k.tc", KTableCount}}) {
            // Asking for one more value than shipped proves the count is exact.
            const QString path = DataDir + "/" + name;
            TcTable scratch {};
            const TableLoad oneMore = loadThermocoupleTable(path, needed + 1, scratch);
            QVERIFY2(!oneMore.ok
                    && oneMore.message.contains(QStringLiteral("holds %1 values").arg(needed)),
                qPrintable(oneMore.message));

            // The program's text files are CR LF; a bare LF or CR betrays a hand edit.
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QVERIFY2(bytes.endsWith("\r\n"), name);
            QCOMPARE(bytes.count("\r\n"), needed);
            QCOMPARE(bytes.count('\n') + bytes.count('\r'), 2 * needed);
        }

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

    void parse_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("needed");
        QTest::addColumn<QStringList>("mentions"); // empty: loads -1.5, 0.25, 2

        const QStringList loads;
        QTest::newRow("CR and LF alone, no final break")
            << QByteArray("-1.5\r0.25\n2") << 3 << loads;
        QTest::newRow("commas, blanks, empty lines; extra values ignored, even junk")
            << QByteArray(" -1.5 ,\t0.25\r\n\r\n2,1\r\nxyz") << 3 << loads;

        QTest::newRow("one value short")
            << QByteArray("1\r\n").repeated(JTableCount - 1) << JTableCount
            << QStringList {"bad.tc", "too short", "holds 1100 values", "1101 are needed"};
        QTest::newRow("decimal comma splits the value")
            << QByteArray("0.1\r\n0.2\r\n0,3\r\n0.4\r\n") << 4
            << QStringList {"bad.tc", "not greater", "value 3 (0)"};
        QTest::newRow("word on line 3 after a comma")
            << QByteArray("0.1,0.2\r\n0.25\r\n0.3 mV\r\n") << 4
            << QStringList {"bad.tc", "line 3", "\"0.3 mV\"", "not a number"};
        QTest::newRow("infinite ends") << QByteArray("-inf\r\n0.1\r\ninf\r\n") << 3
                                       << QStringList {"line 1", "\"-inf\"", "not a number"};
        QTest::newRow("repeated value")
            << QByteArray("0.1\r\n0.3\r\n0.3\r\n0.4\r\n") << 4
            << QStringList {"value 3 (0.3)", "value 2 (0.3)", "increase"};
        QTest::newRow("one microvolt backwards")
            << QByteArray("54.819123\r\n54.819122\r\n") << 2
            << QStringList {"value 2 (54.819122)", "value 1 (54.819123)"};
    }
    void parse()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, needed);
        QFETCH(QStringList, mentions);

        TcTable table;
        table.fill(7.0);
        const TableLoad result
            = parseThermocoupleTable(content, QStringLiteral("/tables/bad.tc"), needed, table);
        if (!mentions.isEmpty()) {
            QVERIFY(!result.ok);
            for (const QString &text : mentions)
                QVERIFY2(result.message.contains(text),
                    qPrintable(QStringLiteral("\"%1\" lacks \"%2\"").arg(result.message, text)));
            // A failed load must not leave a half-filled table behind.
            QCOMPARE(table.front(), 7.0);
            QCOMPARE(table.back(), 7.0);
            return;
        }
        QVERIFY2(result.ok, qPrintable(result.message));
        // The previous contents are gone.
        QCOMPARE(
            QList<double>(table.begin(), table.begin() + 4), QList<double>({-1.5, 0.25, 2, 0}));
        QCOMPARE(table.back(), 0.0);
    }

    void searchOrder()
    {
        QTemporaryDir app, empty, first, second;
        putFile(first.filePath("j.tc"), "3\r\n4\r\n");
        putFile(second.filePath("j.tc"), "5\r\n6\r\n");
        TcTable table {};
        // An empty appPath (never captured) is skipped, as is a data directory
        // without the file; the earlier directory wins.
        for (const QString &appPath : {app.path(), QString()}) {
            const TableLoad result = findAndLoadThermocoupleTable(
                "j.tc", appPath, {empty.path(), first.path(), second.path()}, 2, table);
            QVERIFY2(result.ok, qPrintable(result.message));
            QCOMPARE(result.path, first.filePath("j.tc"));
            QCOMPARE(table[1], 4.0);
        }
        // appPath comes first of all.
        putFile(app.filePath("j.tc"), "1\r\n2\r\n");
        const TableLoad result
            = findAndLoadThermocoupleTable("j.tc", app.path(), {first.path()}, 2, table);
        QCOMPARE(result.path, app.filePath("j.tc"));
        QCOMPARE(table[1], 2.0);
    }

    void notFoundOrUnreadable()
    {
        // The messages name every place tried, and a "%1" in a directory name (the
        // working directory is the user's) reaches them as text without swallowing
        // the counts.
        QTemporaryDir root;
        const QString app = root.filePath("run%1%2");
        const QString data = root.filePath("data");
        QVERIFY(QDir().mkpath(app) && QDir().mkpath(data));
        TcTable table {};
        const TableLoad missing
            = findAndLoadThermocoupleTable("j.tc", app, {data}, JTableCount, table);
        QVERIFY(!missing.ok && missing.path.isEmpty());
        for (const QString &text : {QStringLiteral("j.tc"), QDir::toNativeSeparators(app),
                 QDir::toNativeSeparators(data), QStringLiteral("1101 values")})
            QVERIFY2(missing.message.contains(text), qPrintable(missing.message));

        putFile(app + "/j.tc", "1\r\n2\r\n");
        const TableLoad shortFile = findAndLoadThermocoupleTable("j.tc", app, {}, 3, table);
        QVERIFY2(!shortFile.ok && shortFile.message.contains("run%1%2")
                && shortFile.message.contains("holds 2 values")
                && shortFile.message.contains("3 are needed"),
            qPrintable(shortFile.message));

        // Found, but not a file that can be read.
        QVERIFY(QDir(data).mkdir("k.tc"));
        const TableLoad unreadable
            = findAndLoadThermocoupleTable("k.tc", app, {data}, KTableCount, table);
        QVERIFY2(!unreadable.ok && unreadable.message.startsWith("Cannot read")
                && unreadable.message.contains(QDir::toNativeSeparators(data + "/k.tc")),
            qPrintable(unreadable.message));
    }
};

QTEST_GUILESS_MAIN(TestThermoTables)
#include "tst_thermotables.moc"
