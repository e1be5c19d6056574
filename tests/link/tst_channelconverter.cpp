#include "link/channelconverter.h"
#include "link/linearisation.h"
#include "support/tablefixture.h"

#include <QtTest>

#include <cmath>

using namespace tarv;
using link::ConversionError;

class TestChannelConverter : public QObject
{
    Q_OBJECT

    core::AcquisitionState m_tables;

    core::AcquisitionState calibrated()
    {
        core::AcquisitionState s = m_tables;
        core::applyDefaults(s);
        for (int c = 0; c < 8; ++c) {
            s.zero10V[c] = 0;
            s.span10V[c] = 32000;
            s.zero200mV[c] = 0;
            s.span200mV[c] = 20000;
        }
        return s;
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(testsupport::loadShippedTables(m_tables, &error), qPrintable(error));
    }

    void linearTypes_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<double>("range");
        QTest::addColumn<int>("raw");
        QTest::addColumn<float>("expected");
        QTest::newRow("10 V at half span") << 0 << 10.0 << 16000 << 5.0f;
        QTest::newRow("10 V at minus full span") << 0 << 10.0 << -32000 << -10.0f;
        QTest::newRow("0-20 mA at span") << 1 << 20.0 << 20000 << 20.0f;
        QTest::newRow("4-20 mA at the live zero") << 2 << 100.0 << 4000 << 0.0f;
        QTest::newRow("4-20 mA at span") << 2 << 100.0 << 20000 << 100.0f;
        QTest::newRow("4-20 mA mid") << 2 << 100.0 << 12000 << 50.0f;
        QTest::newRow("4-20 mA below the live zero") << 2 << 100.0 << 0 << -25.0f;
        QTest::newRow("200 mV") << 3 << 200.0 << 5000 << 50.0f;
        QTest::newRow("type 7 passes the count") << 7 << 10.0 << -1234 << -1234.0f;
        QTest::newRow("type -1 passes the count") << -1 << 10.0 << 321 << 321.0f;
    }
    void linearTypes()
    {
        QFETCH(int, type);
        QFETCH(double, range);
        QFETCH(int, raw);
        QFETCH(float, expected);
        auto s = calibrated();
        s.inputType[3] = core::Integer(type);
        s.inputRange[3] = range;
        s.rawCounts[3] = core::Integer(raw);
        QVERIFY(link::ConvertChannels(s).empty());
        QCOMPARE(s.channelValues[3], expected);
    }

    void temperatureTypesUseTheSolvers()
    {
        auto s = calibrated();
        s.ambientTemp = 25.0f;
        s.inputType[0] = 4;
        s.rawCounts[0] = 18005;
        s.inputType[1] = 5;
        s.rawCounts[1] = 0; // no EMF above the junction
        s.inputType[2] = 6;
        s.rawCounts[2] = 0;
        QVERIFY(link::ConvertChannels(s).empty());
        QCOMPARE(s.channelValues[0], float(100.0499999999915));
        QCOMPARE(s.channelValues[1], 25.0f);
        QCOMPARE(s.channelValues[2], 25.0f);
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

        const auto failures = link::ConvertChannels(s);
        const link::ChannelFailures expected {
            {0, ConversionError::DivisionByZero},
            {1, ConversionError::DivisionByZero},
            {3, ConversionError::Overflow},
            {4, ConversionError::SubscriptOutOfRange},
            {6, ConversionError::DivisionByZero},
            {7, ConversionError::DivisionByZero},
        };
        QCOMPARE(failures.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i)
            QCOMPARE(failures[i], expected[i]);

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

    void startUpCalibrationFailsEveryScaledChannel()
    {
        core::AcquisitionState s = m_tables;
        core::applyDefaults(s);
        const auto failures = link::ConvertChannels(s);
        QCOMPARE(failures.size(), size_t(8));
        for (int c = 0; c < 8; ++c)
            QCOMPARE(failures[c].text(), QStringLiteral("Division by zero%1").arg(c));
    }

    void aValueBeyondASingleIsAnOverflow()
    {
        auto s = calibrated();
        s.channelValues.fill(1.0f);
        s.inputRange[0] = 1e300;
        s.rawCounts[0] = 16000;
        const auto failures = link::ConvertChannels(s);
        QCOMPARE(failures.size(), size_t(1));
        QCOMPARE(failures[0], (link::ChannelFailure {0, ConversionError::Overflow}));
        QCOMPARE(s.channelValues[0], 1.0f);
    }
};

QTEST_GUILESS_MAIN(TestChannelConverter)
#include "tst_channelconverter.moc"
