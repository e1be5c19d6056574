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

// The shipped PT-100 solver against the plain upward scan; rtdCal 0, which the scan
// cannot answer, must come back as a division by zero.
bool pt100MatchesScan(core::Integer raw, core::Integer rtdCal)
{
    const auto expected = testsupport::referencePt100(raw, rtdCal);
    const auto got = link::SolvePt100(raw, rtdCal);
    if (!expected)
        return got.error == link::ConversionError::DivisionByZero;
    return !got.error && sameBits(got.value, *expected);
}

} // namespace

class TestLinearisation : public QObject
{
    Q_OBJECT

    core::AcquisitionState m_state;

    // The shipped table solver against the plain upward scan, for counts x mV above
    // the cold junction. The junction sits at the ambient rounded half to even, on
    // element 0 of the J table or 200 of the K table for 0 deg C.
    bool thermocoupleMatchesScan(int type, core::Integer counts, double mv) const
    {
        const auto &table = type == 0 ? m_state.jTable : m_state.kTable;
        const int below = type == 0 ? 0 : 200;
        const double emf = table[int(std::nearbyint(m_state.ambientTemp)) + below] + counts * mv;
        const double expected
            = testsupport::referenceTableScan(table, type == 0 ? 1099 : 1569, emf) - below;
        const auto got = link::ThermocoupleTemperature(counts, core::Integer(type), mv, m_state);
        return !got.error && sameBits(got.value, expected);
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(testsupport::loadShippedTables(m_state, &error), qPrintable(error));
    }

    // The grid carries its accumulated rounding: the point near 0 is -7.09e-12.
    void pt100KnownAnswers_data()
    {
        QTest::addColumn<int>("raw");
        QTest::addColumn<int>("rtdCal");
        QTest::addColumn<double>("expected");
        QTest::newRow("ratio 0: midpoint above the point near 0")
            << 13000 << 13000 << 0.04999999999291131;
        QTest::newRow("100 degrees") << 18005 << 13000 << 100.0499999999915;
        QTest::newRow("below the curve") << 0 << 13000 << -199.95;
        QTest::newRow("above the curve: last grid point") << 32767 << 8000 << 850.0000000001177;
    }
    void pt100KnownAnswers()
    {
        QFETCH(int, raw);
        QFETCH(int, rtdCal);
        QFETCH(double, expected);
        const auto r = link::SolvePt100(core::Integer(raw), core::Integer(rtdCal));
        QVERIFY(!r.error);
        QVERIFY2(sameBits(r.value, expected), QByteArray::number(r.value, 'g', 17));
    }

    void pt100MatchesTheScan()
    {
        QRandomGenerator rng(20261206);
        for (int cal : {13000, 8000, 12345, 1, -1, -13000, 32767, -32768, 0}) {
            for (int i = 0; i < 1500; ++i) {
                const auto raw = core::Integer(rng.bounded(-32768, 32768));
                QVERIFY2(pt100MatchesScan(raw, core::Integer(cal)),
                    QByteArray::number(raw) + " / " + QByteArray::number(cal));
            }
        }
        // Dense near the calibration point, where the grid's rounding matters most.
        for (int raw = 12000; raw <= 14000; ++raw)
            QVERIFY2(pt100MatchesScan(core::Integer(raw), 13000), QByteArray::number(raw));
    }

    // Whole degrees on a table value, half degrees between, the ends of the table
    // beyond it; an EMF offset of 0 gives back the cold junction's own temperature.
    // A junction outside its table or beyond 16 bits fails with 0.
    void thermocouple_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<float>("ambient");
        QTest::addColumn<double>("offset"); // mV above the cold junction
        QTest::addColumn<double>("expected");
        QTest::addColumn<int>("error"); // a ConversionError, or -1
        const auto &j = m_state.jTable;
        const auto &k = m_state.kTable;
        const int none = -1, range = int(link::ConversionError::SubscriptOutOfRange),
                  overflow = int(link::ConversionError::Overflow);
        QTest::newRow("J on a table value") << 0 << 0.0f << j[100] << 100.0 << none;
        QTest::newRow("J between two") << 0 << 0.0f << (j[100] + j[101]) / 2 << 100.5 << none;
        QTest::newRow("J below 0 C") << 0 << 0.0f << -0.5 << 0.5 << none;
        QTest::newRow("J beyond the table") << 0 << 0.0f << 1000.0 << 1099.0 << none;
        QTest::newRow("K on a table value") << 1 << 0.0f << k[300] << 100.0 << none;
        QTest::newRow("K beyond the table") << 1 << 0.0f << 1000.0 << 1369.0 << none;
        QTest::newRow("junction 24.5 uses 24") << 0 << 24.5f << 0.0 << 24.0 << none;
        QTest::newRow("junction 25.5 uses 26") << 1 << 25.5f << 0.0 << 26.0 << none;
        QTest::newRow("unknown type") << 2 << 0.0f << 5.0 << 0.0 << none;
        QTest::newRow("J junction at -1") << 0 << -0.6f << 1.0 << 0.0 << range;
        QTest::newRow("J junction at 2001") << 0 << 2001.0f << 1.0 << 0.0 << range;
        QTest::newRow("K junction at -201") << 1 << -201.0f << 1.0 << 0.0 << range;
        QTest::newRow("K junction at 1801") << 1 << 1801.0f << 1.0 << 0.0 << range;
        QTest::newRow("K element overflows 16 bits") << 1 << 32700.0f << 1.0 << 0.0 << overflow;
        QTest::newRow("junction beyond 16 bits") << 0 << 40000.0f << 1.0 << 0.0 << overflow;
    }
    void thermocouple()
    {
        QFETCH(int, type);
        QFETCH(float, ambient);
        QFETCH(double, offset);
        QFETCH(double, expected);
        QFETCH(int, error);
        m_state.ambientTemp = ambient;
        const auto r = link::ThermocoupleTemperature(1, core::Integer(type), offset, m_state);
        QCOMPARE(r.error ? int(*r.error) : -1, error);
        QCOMPARE(r.value, expected);
    }

    void thermocoupleMatchesTheScan()
    {
        QRandomGenerator rng(7);
        for (int i = 0; i < 40000; ++i) {
            const int type = i % 2;
            const auto counts = core::Integer(rng.bounded(-32768, 32768));
            const double mv = 200.0 / double(rng.bounded(1, 32768)) * (i % 7 == 0 ? -1 : 1);
            m_state.ambientTemp = float(rng.bounded(0, 60)) + (i % 4) * 0.25f;
            QVERIFY2(thermocoupleMatchesScan(type, counts, mv),
                qPrintable(QString::asprintf("type %d, %d counts of %.17g mV at %g", type,
                    int(counts), mv, double(m_state.ambientTemp))));
        }
        // Every table value itself, and the points just either side of it.
        m_state.ambientTemp = 0;
        for (int type = 0; type < 2; ++type) {
            const auto &table = type == 0 ? m_state.jTable : m_state.kTable;
            const double base = table[type == 0 ? 0 : 200];
            for (int t = 0; t <= (type == 0 ? 1100 : 1570); ++t) {
                for (double at :
                    {table[t], std::nextafter(table[t], -1e9), std::nextafter(table[t], 1e9)})
                    QVERIFY2(thermocoupleMatchesScan(type, 1, at - base), QByteArray::number(t));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestLinearisation)
#include "tst_linearisation.moc"
