#include "link/linearisation.h"
#include "support/referencescan.h"
#include "support/tablefixture.h"

#include <QRandomGenerator>
#include <QtTest>

#include <bit>
#include <cstdint>

using namespace tarv;

namespace {

// Bit-for-bit comparison: QCOMPARE would compare doubles fuzzily.
bool sameBits(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

QByteArray show(double v)
{
    return QByteArray::number(v, 'g', 17);
}

} // namespace

class TestLinearisation : public QObject
{
    Q_OBJECT

    core::AcquisitionState m_state;

    // Temperature for an EMF offset from the cold junction's table value: ambient
    // 0 puts the cold junction on element 0 (J) or 200 (K), both 0 mV.
    link::SolveResult tcAt(int type, double emfAboveZero)
    {
        m_state.ambientTemp = 0;
        return link::ThermocoupleTemperature(1, type, emfAboveZero, m_state);
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(testsupport::loadShippedTables(m_state, &error), qPrintable(error));
    }

    void pt100KnownAnswers_data()
    {
        QTest::addColumn<int>("raw");
        QTest::addColumn<int>("rtdCal");
        QTest::addColumn<double>("expected");
        QTest::newRow("ratio 0: midpoint above the point near 0")
            << 13000 << 13000 << 0.04999999999291131;
        QTest::newRow("just below 0") << 12999 << 13000 << -0.050000000007088694;
        QTest::newRow("ratio 2") << 30000 << 10000 << 557.9500000000512;
        QTest::newRow("100 degrees") << 18005 << 13000 << 100.0499999999915;
        QTest::newRow("below the curve") << 0 << 13000 << -199.95;
        QTest::newRow("above the curve: last grid point") << 32767 << 8000 << 850.0000000001177;
        QTest::newRow("negative counts") << -100 << 13000 << -199.95;
    }
    void pt100KnownAnswers()
    {
        QFETCH(int, raw);
        QFETCH(int, rtdCal);
        QFETCH(double, expected);
        const auto r = link::SolvePt100(core::Integer(raw), core::Integer(rtdCal));
        QVERIFY(!r.error);
        QVERIFY2(sameBits(r.value, expected), show(r.value) + " != " + show(expected));
    }

    void pt100ZeroCalibrationIsADivisionByZero()
    {
        const auto r = link::SolvePt100(13000, 0);
        QVERIFY(r.error);
        QCOMPARE(*r.error, link::ConversionError::DivisionByZero);
    }

    // The shipped bisection must agree bit for bit with the plain upward scan.
    void pt100MatchesTheScan()
    {
        QRandomGenerator rng(20261206);
        const int rtdCals[] = {13000, 8000, 10000, 12345, 1, -1, -13000, 32767, -32768};
        int compared = 0;
        for (int cal : rtdCals) {
            for (int i = 0; i < 1500; ++i) {
                const auto raw = core::Integer(rng.bounded(-32768, 32768));
                const auto expected = testsupport::referencePt100(raw, core::Integer(cal));
                const auto got = link::SolvePt100(raw, core::Integer(cal));
                QVERIFY(expected && !got.error);
                QVERIFY2(sameBits(got.value, *expected),
                    QByteArray("raw ") + QByteArray::number(raw) + " cal " + QByteArray::number(cal)
                        + ": " + show(got.value) + " vs " + show(*expected));
                ++compared;
            }
        }
        // Dense near the calibration point, where the grid's rounding matters most.
        for (int raw = 12000; raw <= 14000; ++raw) {
            const auto expected = testsupport::referencePt100(core::Integer(raw), 13000);
            QVERIFY(sameBits(link::SolvePt100(core::Integer(raw), 13000).value, *expected));
            ++compared;
        }
        QVERIFY(compared > 15000);
    }

    void coldJunctionRoundsHalfToEven_data()
    {
        QTest::addColumn<float>("ambient");
        QTest::addColumn<double>("expected");
        QTest::newRow("24.5 uses 24") << 24.5f << 24.0;
        QTest::newRow("25.5 uses 26") << 25.5f << 26.0;
        QTest::newRow("24.49 uses 24") << 24.49f << 24.0;
        QTest::newRow("0 uses 0") << 0.0f << 0.0;
    }
    void coldJunctionRoundsHalfToEven()
    {
        QFETCH(float, ambient);
        QFETCH(double, expected);
        // With no EMF above the junction, the junction's own temperature comes back.
        m_state.ambientTemp = ambient;
        const auto r = link::ThermocoupleTemperature(0, 0, 0.01, m_state);
        QVERIFY(!r.error);
        QCOMPARE(r.value, expected);
    }

    void tableScanAnswers()
    {
        const auto &j = m_state.jTable;
        const auto &k = m_state.kTable;
        QCOMPARE(tcAt(0, j[100]).value, 100.0);
        QCOMPARE(tcAt(0, (j[100] + j[101]) / 2).value, 100.5);
        QCOMPARE(tcAt(0, -0.5).value, 0.5); // below 0 deg C
        QCOMPARE(tcAt(0, j[1099]).value, 1099.0);
        QCOMPARE(tcAt(0, 1000.0).value, 1099.0);
        QCOMPARE(tcAt(1, k[300]).value, 100.0); // element 300 is 100 deg C
        QCOMPARE(tcAt(1, k[0]).value, -200.0);
        QCOMPARE(tcAt(1, k[0] - 1).value, -199.5);
        QCOMPARE(tcAt(1, 1000.0).value, 1369.0);
        QCOMPARE(tcAt(2, 5.0).value, 0.0); // unknown type
    }

    void coldJunctionOutsideTheTable_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<float>("ambient");
        QTest::addColumn<int>("error");
        using E = link::ConversionError;
        QTest::newRow("J at -1") << 0 << -0.6f << int(E::SubscriptOutOfRange);
        QTest::newRow("J at 2001") << 0 << 2001.0f << int(E::SubscriptOutOfRange);
        QTest::newRow("K at -201") << 1 << -201.0f << int(E::SubscriptOutOfRange);
        QTest::newRow("K at 1801") << 1 << 1801.0f << int(E::SubscriptOutOfRange);
        QTest::newRow("K offset overflows 16 bits") << 1 << 32700.0f << int(E::Overflow);
        QTest::newRow("junction beyond 16 bits") << 0 << 40000.0f << int(E::Overflow);
    }
    void coldJunctionOutsideTheTable()
    {
        QFETCH(int, type);
        QFETCH(float, ambient);
        QFETCH(int, error);
        m_state.ambientTemp = ambient;
        const auto r = link::ThermocoupleTemperature(100, core::Integer(type), 0.01, m_state);
        QVERIFY(r.error);
        QCOMPARE(int(*r.error), error);
    }

    void thermocoupleMatchesTheScan()
    {
        QRandomGenerator rng(7);
        int compared = 0;
        for (int i = 0; i < 40000; ++i) {
            const int type = i % 2;
            const auto counts = core::Integer(rng.bounded(-32768, 32768));
            const double mv = 200.0 / double(rng.bounded(1, 32768)) * (i % 7 == 0 ? -1 : 1);
            m_state.ambientTemp = float(rng.bounded(0, 60)) + (i % 4) * 0.25f;
            const int cj = int(std::nearbyint(m_state.ambientTemp));
            const auto &table = type == 0 ? m_state.jTable : m_state.kTable;
            const double emf = table[type == 0 ? cj : cj + 200] + double(counts) * mv;
            const double expected
                = testsupport::referenceTableScan(table, type == 0 ? 1099 : 1569, emf)
                - (type == 0 ? 0 : 200);
            const auto got
                = link::ThermocoupleTemperature(counts, core::Integer(type), mv, m_state);
            QVERIFY(!got.error);
            QVERIFY2(sameBits(got.value, expected), show(got.value) + " vs " + show(expected));
            ++compared;
        }
        // Every table value itself, and the points just either side of it.
        for (int type = 0; type < 2; ++type) {
            const auto &table = type == 0 ? m_state.jTable : m_state.kTable;
            const int last = type == 0 ? 1099 : 1569;
            m_state.ambientTemp = 0;
            const double base = table[type == 0 ? 0 : 200];
            for (int t = 0; t <= last + 1; ++t) {
                for (double target :
                    {table[t], std::nextafter(table[t], -1e9), std::nextafter(table[t], 1e9)}) {
                    // The solver adds counts x mV to the junction's table value.
                    const double mv = target - base;
                    const double emf = base + 1.0 * mv;
                    const auto got
                        = link::ThermocoupleTemperature(1, core::Integer(type), mv, m_state);
                    const double expected
                        = testsupport::referenceTableScan(table, last, emf) - (type == 0 ? 0 : 200);
                    QVERIFY2(
                        sameBits(got.value, expected), show(got.value) + " vs " + show(expected));
                    ++compared;
                }
            }
        }
        QVERIFY(compared > 45000);
    }
};

QTEST_GUILESS_MAIN(TestLinearisation)
#include "tst_linearisation.moc"
