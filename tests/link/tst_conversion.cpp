#include "link/channelconverter.h"
#include "link/framedecoder.h"
#include "link/linearisation.h"
#include "link/quality.h"
#include "support/referencescan.h"
#include "support/tablefixture.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>

using namespace tarv;
using link::ConversionError;
using link::DecodeOutcome;

namespace {

constexpr int None = -1; // no ConversionError

// Frame, outcome, then the counts and ambient, or input and output lines (bit n: line n).
using AnalogCase = std::tuple<QString, DecodeOutcome, QList<int>, float>;
using DigitalCase = std::tuple<QString, DecodeOutcome, int, int>;
// Input type, range, raw count, ambient, value, ConversionError or None.
using ChannelCase = std::tuple<int, double, int, float, double, int>;
// Input type, raw count, rtdCal (0 for 13000), ambient, "level, reason".
using QualityCase = std::tuple<int, int, int, float, QString>;

} // namespace

Q_DECLARE_METATYPE(AnalogCase)
Q_DECLARE_METATYPE(DigitalCase)
Q_DECLARE_METATYPE(ChannelCase)
Q_DECLARE_METATYPE(QualityCase)

// Received text to values: decoding, conversion, and the solvers against the plain scans.
class TestConversion : public QObject
{
    Q_OBJECT

    core::AcquisitionState m_tables; // the shipped thermocouple tables

    // Channel 3 is left to each test. The others read 1000 counts and fail in ways
    // that must not stop it: 10 V uncalibrated (zero = span), PT-100 without its
    // 0 deg C count, raw - zero beyond 16 bits on 10 V and on a thermocouple, 0/0 on
    // the live-zero scale, a thermocouple with zero = span; channel 2 (200 mV) is fine.
    core::AcquisitionState wired() const
    {
        core::AcquisitionState s = m_tables;
        core::applyDefaults(s);
        s.zero10V.fill(0);
        s.span10V.fill(32000);
        s.zero200mV.fill(0);
        s.span200mV.fill(20000);
        s.rawCounts.fill(1000);
        s.channelValues.fill(42.0f);
        s.zero10V[0] = s.span10V[0] = 32000;
        s.inputType[1] = 4;
        s.rtdCal[1] = 0;
        s.inputType[2] = 3;
        s.zero10V[4] = s.zero200mV[5] = -32768;
        s.span10V[4] = s.span200mV[5] = -1000;
        s.inputType[5] = 6;
        s.inputType[6] = 2;
        s.zero200mV[6] = s.span200mV[6] = 1000;
        s.inputType[7] = 5;
        s.zero200mV[7] = s.span200mV[7] = 7;
        return s;
    }

    bool pt100MatchesScan(core::Integer raw, int cal) const
    {
        const auto expected = testsupport::referencePt100(raw, core::Integer(cal));
        const auto got = link::SolvePt100(raw, core::Integer(cal));
        if (!expected)
            return got.error == ConversionError::DivisionByZero;
        return !got.error && got.value == *expected; // exactly, not as QCOMPARE would
    }

    // The cold junction sits at the ambient rounded half to even, on element 0 of the
    // J table or 200 of the K table for 0 deg C.
    bool thermocoupleMatchesScan(int type, core::Integer counts, double mv) const
    {
        const auto &table = type == 0 ? m_tables.jTable : m_tables.kTable;
        const int below = type == 0 ? 0 : 200;
        const double emf = table[int(std::nearbyint(m_tables.ambientTemp)) + below] + counts * mv;
        const double expected
            = testsupport::referenceTableScan(table, type == 0 ? 1099 : 1569, emf) - below;
        const auto got = link::ThermocoupleTemperature(counts, core::Integer(type), mv, m_tables);
        return !got.error && got.value == expected;
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(testsupport::loadShippedTables(m_tables, &error), qPrintable(error));
    }

    // A frame is taken whole or not at all: one that cannot be decoded leaves every
    // previous value (77 counts at 19 deg C, all lines on) as it was.
    void analogFrames_data()
    {
        QTest::addColumn<AnalogCase>("row");
        using enum DecodeOutcome;
        const QList<int> previous(8, 77);
        QTest::newRow("signed counts, the extremes fit")
            << AnalogCase {"+01234,-00050,+00000,+00000,+00000,+00000,-32768,+32767,+23.5\r",
                   Accepted, {1234, -50, 0, 0, 0, 0, -32768, 32767}, 23.5f};
        // Fields are read where they stand; the commas are not looked at.
        QTest::newRow("exponent, letters as 0, blanks skipped, halves to even, by position")
            << AnalogCase {"1e3xyz,+00000,+abcde,+1 2 3,12.5  ,13.5  ,+000005+000007-03.2\r",
                   Accepted, {1000, 0, 0, 123, 12, 14, 0, 0}, -3.2f};
        QTest::newRow("start-up frame: only +25.0 of +25.00 is read")
            << AnalogCase {core::DefaultAnalogFrame, Accepted, QList<int>(8, 0), 25.0f};
        const QString zeros = QString("+00000,").repeated(7);
        QTest::newRow("last count above 32767")
            << AnalogCase {zeros + "+32768,+25.0\r", CountOutOfRange, previous, 19.0f};
        QTest::newRow("ambient beyond a single")
            << AnalogCase {zeros + "+00000,+4e38\r", AmbientOutOfRange, previous, 19.0f};
    }
    void analogFrames()
    {
        QFETCH(AnalogCase, row);
        const auto &[frame, outcome, counts, ambient] = row;
        core::AcquisitionState s;
        s.rawCounts.fill(77);
        s.ambientTemp = 19.0f;
        s.analogFrame = frame;
        QCOMPARE(link::DecodeAnalogFrame(s), outcome);
        QCOMPARE(QList<int>(s.rawCounts.begin(), s.rawCounts.begin() + 8), counts);
        QCOMPARE(s.ambientTemp, ambient);
    }

    // Inputs then outputs, line 15 first.
    void digitalFrames_data()
    {
        QTest::addColumn<DigitalCase>("row");
        using enum DecodeOutcome;
        QTest::newRow("either case") << DigitalCase {"0a5F9AfE\r", Accepted, 0x0A5F, 0x9AFE};
        QTest::newRow("all off") << DigitalCase {"00000000\r", Accepted, 0, 0};
        QTest::newRow("G in the inputs") << DigitalCase {"00G00000\r", NotHexadecimal, -1, -1};
        QTest::newRow("blank in the outputs") << DigitalCase {"0000000 \r", NotHexadecimal, -1, -1};
    }
    void digitalFrames()
    {
        QFETCH(DigitalCase, row);
        const auto &[frame, outcome, inputs, outputs] = row;
        core::AcquisitionState s;
        s.diStates.fill(core::True);
        s.doStates.fill(core::True);
        s.digitalFrame = frame;
        QCOMPARE(link::DecodeDigitalFrame(s), outcome);
        for (int n = 0; n < 16; ++n) {
            QCOMPARE(s.diStates[n], core::toFlag(inputs >> n & 1));
            QCOMPARE(s.doStates[n], core::toFlag(outputs >> n & 1));
        }
    }

    // Thermocouples 1000 counts (10 mV) above their junction. A value of 42 is the
    // previous one, kept.
    void oneChannel_data()
    {
        QTest::addColumn<ChannelCase>("row");
        const auto scan = [](const core::TcTable &table, int last, int below) {
            return testsupport::referenceTableScan(table, last, table[25 + below] + 10.0) - below;
        };
        const int range = int(ConversionError::SubscriptOutOfRange),
                  overflow = int(ConversionError::Overflow);
        const auto &j = m_tables.jTable;
        const auto &k = m_tables.kTable;
        QTest::newRow("10 V at half span") << ChannelCase {0, 10, 16000, 25, 5, None};
        QTest::newRow("0-20 mA at span") << ChannelCase {1, 20, 20000, 25, 20, None};
        QTest::newRow("4-20 mA at the live zero") << ChannelCase {2, 100, 4000, 25, 0, None};
        QTest::newRow("4-20 mA below it") << ChannelCase {2, 100, 0, 25, -25, None};
        QTest::newRow("PT-100 on its grid") << ChannelCase {4, 10, 18005, 25, 100.05, None};
        QTest::newRow("J") << ChannelCase {5, 10, 1000, 25, scan(j, 1099, 0), None};
        QTest::newRow("K") << ChannelCase {6, 10, 1000, 25, scan(k, 1569, 200), None};
        QTest::newRow("type 7 passes the count") << ChannelCase {7, 10, -1234, 25, -1234, None};
        QTest::newRow("beyond a single") << ChannelCase {0, 1e300, 16000, 25, 42, overflow};
        // A junction's element must lie in its table (0 mV where not loaded), in 16 bits.
        QTest::newRow("J junction at 2000") << ChannelCase {5, 10, 0, 2000, 0, None};
        QTest::newRow("J junction at -1") << ChannelCase {5, 10, 0, -0.6f, 42, range};
        QTest::newRow("J junction at 2001") << ChannelCase {5, 10, 0, 2001, 42, range};
        QTest::newRow("K junction at -200") << ChannelCase {6, 10, 0, -200, -200, None};
        QTest::newRow("K junction at 1800") << ChannelCase {6, 10, 0, 1800, 0, None};
        QTest::newRow("K junction at -201") << ChannelCase {6, 10, 0, -201, 42, range};
        QTest::newRow("K junction at 1801") << ChannelCase {6, 10, 0, 1801, 42, range};
        QTest::newRow("K element beyond 16 bits") << ChannelCase {6, 10, 0, 32700, 42, overflow};
        QTest::newRow("junction beyond 16 bits") << ChannelCase {5, 10, 0, 40000, 42, overflow};
    }
    void oneChannel()
    {
        QFETCH(ChannelCase, row);
        const auto &[type, range, raw, ambient, value, error] = row;
        auto s = wired();
        s.inputType[3] = core::Integer(type);
        s.inputRange[3] = range;
        s.rawCounts[3] = core::Integer(raw);
        s.ambientTemp = ambient;
        using E = ConversionError;
        link::ChannelFailures expected {{0, E::DivisionByZero}, {1, E::DivisionByZero},
            {4, E::Overflow}, {5, E::Overflow}, {6, E::DivisionByZero}, {7, E::DivisionByZero}};
        if (error != None)
            expected.insert(expected.begin() + 2, {3, E(error)});
        const link::ChannelFailures failures = link::ConvertChannels(s);
        QCOMPARE(failures, expected);
        QCOMPARE(failures[0].text(), "Division by zero0");
        QCOMPARE(s.channelValues[3], float(value));
        // A failing linear channel stores its quotient when it went infinite or NaN;
        // other failing channels keep their values.
        QVERIFY(std::isinf(s.channelValues[0]) && s.channelValues[0] < 0);
        QVERIFY(std::isnan(s.channelValues[6]));
        QCOMPARE(QList<float>({s.channelValues[1], s.channelValues[2], s.channelValues[4],
                     s.channelValues[5], s.channelValues[7]}),
            QList<float>({42, 0.5f, 42, 42, 42}));
    }

    // Quality at every band edge, with the simulated card's calibration: 2700 counts a
    // volt from 100, 120 counts a millivolt (1200 a milliampere) from 80.
    void quality_data()
    {
        QTest::addColumn<QualityCase>("row");
        const auto row = [](const char *name, int type, int raw, const char *expected,
                             int rtdCal = 0, float ambient = 24.5f) {
            QTest::newRow(name) << QualityCase {type, raw, rtdCal, ambient, expected};
        };
        row("4-20: 3.599 mA", 2, 4399, "bad, sensor fault low");
        row("4-20: 3.6 mA", 2, 4400, "uncertain, sensor fault low");
        row("4-20: 3.8 mA", 2, 4640, "uncertain, under range");
        row("4-20: 3.999 mA", 2, 4879, "uncertain, under range");
        row("4-20: 4.0 mA", 2, 4880, "good");
        row("4-20: 20.5 mA", 2, 24680, "good");
        row("4-20: 20.501 mA", 2, 24681, "uncertain, over range");
        row("4-20: 21.0 mA", 2, 25280, "uncertain, over range");
        row("4-20: 21.001 mA", 2, 25281, "bad, sensor fault high");
        row("10 V: +10.2 V", 0, 27640, "good");
        row("10 V: above +10.2 V", 0, 27641, "uncertain, over range");
        row("10 V: -10.2 V", 0, -27440, "good");
        row("10 V: below -10.2 V", 0, -27441, "uncertain, under range");
        row("10 V: converter at its top", 0, 32767, "bad, sensor fault high");
        row("200 mV: -4 mV", 3, -400, "good");
        row("200 mV: below -4 mV", 3, -401, "uncertain, under range");
        row("200 mV: 204 mV", 3, 24560, "good");
        row("20 mA: above 20.4 mA", 1, 24561, "uncertain, over range");
        row("20 mA: converter at its bottom", 1, -32768, "bad, sensor fault low");
        row("PT-100: the solver's low end", 4, 2542, "bad, sensor fault low");
        row("PT-100: its first degree", 4, 2591, "uncertain, under range");
        row("PT-100: above it", 4, 2592, "good");
        row("PT-100: below its last degree", 4, 31197, "good", 8000);
        row("PT-100: its last degree", 4, 31198, "uncertain, over range", 8000);
        row("PT-100: the solver's high end", 4, 31221, "bad, sensor fault high", 8000);
        row("PT-100: no 0 deg C count", 4, 13000, "bad, not calibrated", -1);
        row("T/C K: beyond the table", 6, 6600, "bad, sensor fault high");
        row("T/C K: at 400 deg C", 6, 2500, "good");
        row("T/C K: below the table", 6, -800, "bad, sensor fault low");
        row("T/C J: within the first degree", 5, 77, "uncertain, under range", 0, 1.0f);
        row("T/C J: cold junction off the table", 5, 4000, "bad, conversion fault", 0, -5.0f);
        row("raw type: full scale", 9, 32767, "bad, sensor fault high");
    }
    void quality()
    {
        QFETCH(QualityCase, row);
        const auto &[type, raw, rtdCal, ambient, expected] = row;
        core::AcquisitionState s = m_tables;
        core::applyDefaults(s);
        s.inputType[0] = core::Integer(type);
        s.inputRange[0] = type == 3 ? 200 : type == 1 || type == 2 ? 20 : 10;
        s.zero10V[0] = 100;
        s.span10V[0] = 27100;
        s.zero200mV[0] = 80;
        s.span200mV[0] = 24080;
        s.rtdCal[0] = core::Integer(rtdCal == 0 ? 13000 : rtdCal == -1 ? 0 : rtdCal);
        s.rawCounts[0] = core::Integer(raw);
        s.ambientTemp = ambient;
        link::AssessChannels(s, link::ConvertChannels(s));
        QCOMPARE(core::qualityDescription(s.channelQuality[0]), expected);
    }

    // What no band can tell: zero = span, a conversion that failed this frame (the
    // value is an old one), and a value that is not a number.
    void qualityOfFailures()
    {
        core::AcquisitionState s = wired();
        s.channelValues[2] = std::nanf("");
        link::AssessChannels(s, {{3, ConversionError::Overflow}});
        QCOMPARE(core::qualityDescription(s.channelQuality[0]), "bad, not calibrated");
        QCOMPARE(core::qualityDescription(s.channelQuality[2]), "bad, conversion fault");
        QCOMPARE(core::qualityDescription(s.channelQuality[3]), "bad, conversion fault");
        QCOMPARE(core::qualityDescription(s.channelQuality[7]), "bad, not calibrated");
    }

    // Bit for bit the plain scans' answers: random inputs, PT-100 counts dense near the
    // calibration point, every thermocouple table value and the points either side.
    // rtdCal 0, which the scan cannot answer, is a division by zero.
    void solversMatchTheScans()
    {
        QRandomGenerator rng(7);
        for (int i = 0; i < 20000; ++i) {
            const auto raw = core::Integer(rng.bounded(-32768, 32768));
            const int cal = std::array {13000, 8000, 12345, 1, -1, -13000, 32767, -32768, 0}[i % 9];
            QVERIFY2(pt100MatchesScan(raw, cal), qPrintable(QString("%1 / %2").arg(raw).arg(cal)));
            const double mv = 200.0 / double(rng.bounded(1, 32768)) * (i % 7 == 0 ? -1 : 1);
            m_tables.ambientTemp = float(rng.bounded(0, 60)) + (i % 4) * 0.25f;
            QVERIFY2(thermocoupleMatchesScan(i % 2, raw, mv),
                qPrintable(QString::asprintf("type %d, %d counts of %.17g mV at %g", i % 2,
                    int(raw), mv, double(m_tables.ambientTemp))));
        }
        for (int raw = 12000; raw <= 14000; ++raw)
            QVERIFY2(pt100MatchesScan(raw, 13000), QByteArray::number(raw));
        m_tables.ambientTemp = 0;
        for (int type = 0; type < 2; ++type) {
            const auto &table = type == 0 ? m_tables.jTable : m_tables.kTable;
            const double base = table[type == 0 ? 0 : 200];
            for (int t = 0; t <= (type == 0 ? 1100 : 1570); ++t) {
                for (double at :
                    {table[t], std::nextafter(table[t], -1e9), std::nextafter(table[t], 1e9)})
                    QVERIFY2(thermocoupleMatchesScan(type, 1, at - base), QByteArray::number(t));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion.moc"
