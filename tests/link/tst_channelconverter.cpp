#include "link/channelconverter.h"
#include "support/tablefixture.h"

#include <QtTest>

#include <cmath>

using namespace tarv;
using link::ConversionError;

class TestChannelConverter : public QObject
{
    Q_OBJECT

    core::AcquisitionState m_tables;

    // Every channel a 10 V input reading 0; 32000 counts span 10 V, 20000 span 200 mV.
    core::AcquisitionState calibrated()
    {
        core::AcquisitionState s = m_tables;
        core::applyDefaults(s);
        s.zero10V.fill(0);
        s.span10V.fill(32000);
        s.zero200mV.fill(0);
        s.span200mV.fill(20000);
        s.ambientTemp = 25.0f;
        return s;
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(testsupport::loadShippedTables(m_tables, &error), qPrintable(error));
    }

    void oneChannel_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<double>("range");
        QTest::addColumn<int>("raw");
        QTest::addColumn<float>("expected"); // 42: the previous value kept
        QTest::addColumn<int>("error"); // a ConversionError, or -1
        const int none = -1;
        QTest::newRow("10 V at half span") << 0 << 10.0 << 16000 << 5.0f << none;
        QTest::newRow("0-20 mA at span") << 1 << 20.0 << 20000 << 20.0f << none;
        QTest::newRow("4-20 mA at the live zero") << 2 << 100.0 << 4000 << 0.0f << none;
        QTest::newRow("4-20 mA below the live zero") << 2 << 100.0 << 0 << -25.0f << none;
        QTest::newRow("PT-100 on its grid")
            << 4 << 10.0 << 18005 << float(100.0499999999915) << none;
        QTest::newRow("J reads the junction") << 5 << 10.0 << 0 << 25.0f << none;
        QTest::newRow("K reads the junction") << 6 << 10.0 << 0 << 25.0f << none;
        QTest::newRow("type 7 passes the count") << 7 << 10.0 << -1234 << -1234.0f << none;
        QTest::newRow("beyond a single is an overflow")
            << 0 << 1e300 << 16000 << 42.0f << int(ConversionError::Overflow);
    }
    void oneChannel()
    {
        QFETCH(int, type);
        QFETCH(double, range);
        QFETCH(int, raw);
        QFETCH(float, expected);
        QFETCH(int, error);
        auto s = calibrated();
        s.channelValues.fill(42.0f);
        s.inputType[3] = core::Integer(type);
        s.inputRange[3] = range;
        s.rawCounts[3] = core::Integer(raw);
        link::ChannelFailures failures;
        if (error >= 0)
            failures.push_back({3, ConversionError(error)});
        QCOMPARE(link::ConvertChannels(s), failures);
        QCOMPARE(s.channelValues[3], expected);
    }

    // Every channel is converted even when earlier ones fail; failures come back
    // in channel order with their text, and failing channels keep their values
    // unless a linear type's final division went infinite.
    void failuresDoNotStopTheOtherChannels()
    {
        auto s = calibrated();
        s.channelValues.fill(42.0f);
        s.rawCounts.fill(1000);
        s.zero10V[0] = s.span10V[0] = 32000; // uncalibrated: quotient stored as -inf
        s.inputType[1] = 4;
        s.rtdCal[1] = 0; // division by zero inside the solver
        s.inputType[2] = 3; // fine
        s.inputType[3] = 0;
        s.zero10V[3] = -32768; // raw - zero overflows 16 bits
        s.inputType[4] = 5;
        s.ambientTemp = -0.6f; // J junction at -1: outside the table
        s.inputType[5] = 6; // K at -1 is inside its table: fine
        s.inputType[6] = 2;
        s.zero200mV[6] = s.span200mV[6] = 1000; // 0/0 on the live-zero scale
        s.inputType[7] = 5;
        s.zero200mV[7] = s.span200mV[7] = 7;

        using E = ConversionError;
        const link::ChannelFailures expected {{0, E::DivisionByZero}, {1, E::DivisionByZero},
            {3, E::Overflow}, {4, E::SubscriptOutOfRange}, {6, E::DivisionByZero},
            {7, E::DivisionByZero}};
        const auto failures = link::ConvertChannels(s);
        QCOMPARE(failures, expected);
        QCOMPARE(failures[0].text(), QStringLiteral("Division by zero0"));
        QVERIFY(std::isinf(s.channelValues[0]) && s.channelValues[0] < 0);
        QCOMPARE(s.channelValues[1], 42.0f);
        QCOMPARE(s.channelValues[2], 0.5f); // 1000 of 20000 at range 10
        QCOMPARE(s.channelValues[3], 42.0f);
        QCOMPARE(s.channelValues[4], 42.0f);
        QVERIFY(s.channelValues[5] != 42.0f);
        QVERIFY(std::isnan(s.channelValues[6]));
        QCOMPARE(s.channelValues[7], 42.0f);
    }
};

QTEST_GUILESS_MAIN(TestChannelConverter)
#include "tst_channelconverter.moc"
