#include "core/thermotables.h"
#include "support/tablefixture.h"

#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include <cmath>

using namespace tarv::core;

class TestThermoTables : public QObject
{
    Q_OBJECT

private slots:
    // The shipped tables against published ITS-90 values (NIST Monograph 175), to
    // their three decimals and a last digit rounded either way: J across the joint
    // at 760 deg C, K at both ends and where its exponential term matters most. The
    // generator's own check then pins every byte.
    void shippedTables()
    {
        AcquisitionState s;
        QString error;
        QVERIFY2(tarv::testsupport::loadShippedTables(s, &error), qPrintable(error));
        for (const auto &[type, celsius, mv] :
            {std::tuple {'J', 0, 0.000}, {'J', 400, 21.848}, {'J', 760, 42.919}, {'J', 800, 45.494},
                {'J', 1100, 63.792}, {'K', -200, -5.891}, {'K', -199, -5.876}, {'K', -100, -3.554},
                {'K', 0, 0.000}, {'K', 140, 5.735}, {'K', 1000, 41.276}, {'K', 1370, 54.819}}) {
            const double held = type == 'J' ? s.jTable[celsius] : s.kTable[celsius + 200];
            QVERIFY2(std::abs(held - mv) <= 0.0015,
                qPrintable(QStringLiteral("%1 %2: %3").arg(type).arg(celsius).arg(held)));
        }
        if (!QFileInfo::exists("/usr/bin/python3"))
            QSKIP("no /usr/bin/python3 to run the generator");
        const QStringList check {
            TARV_SOURCE_DIR "/tools/make_tc_tables.py", "--check", TARV_SOURCE_DIR "/data"};
        QCOMPARE(QProcess::execute("/usr/bin/python3", check), 0);
    }

    // Values, split at line breaks and commas, must be finite and increase; a failed
    // load says why and leaves the table as it was.
    void parse_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("needed");
        QTest::addColumn<QStringList>("mentions"); // empty: loads -1.5, 0.25, 2
        QTest::newRow("CR and LF alone, no final break")
            << QByteArray("-1.5\r0.25\n2") << 3 << QStringList();
        QTest::newRow("commas, blanks, empty lines; extra values ignored, even junk")
            << QByteArray(" -1.5 ,\t0.25\r\n\r\n2,1\r\nxyz") << 3 << QStringList();
        QTest::newRow("one value short")
            << QByteArray("1\r\n").repeated(JTableCount - 1) << JTableCount
            << QStringList {"/tables/bad.tc", "too short", "holds 1100 values", "1101 are needed"};
        QTest::newRow("word on line 3 after a comma")
            << QByteArray("0.1,0.2\r\n0.25\r\n0.3 mV\r\n") << 4
            << QStringList {"bad.tc", "line 3", "\"0.3 mV\"", "not a number"};
        QTest::newRow("infinite ends") << QByteArray("-inf\r\n0.1\r\ninf\r\n") << 3
                                       << QStringList {"line 1", "\"-inf\"", "not a number"};
        QTest::newRow("repeated value")
            << QByteArray("0.1\r\n0.3\r\n0.3\r\n0.4\r\n") << 4
            << QStringList {"value 3 (0.3)", "value 2 (0.3)", "increase"};
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
        QCOMPARE(result.ok, mentions.isEmpty());
        for (const QString &text : mentions)
            QVERIFY2(result.message.contains(text), qPrintable(result.message + " lacks " + text));
        const bool ok = mentions.isEmpty();
        QCOMPARE(QList<double>(table.begin(), table.begin() + 4) << table.back(),
            (ok ? QList<double> {-1.5, 0.25, 2, 0, 0} : QList<double> {7, 7, 7, 7, 7}));
    }
};

QTEST_GUILESS_MAIN(TestThermoTables)
#include "tst_thermotables.moc"
