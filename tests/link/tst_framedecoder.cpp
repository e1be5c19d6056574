#include "link/framedecoder.h"

#include <QtTest>

using namespace tarv;
using link::DecodeOutcome;

// A frame is taken whole or not at all: one that cannot be decoded leaves every
// previous value (77 counts at 19 deg C, all lines on) as it was.
class TestFrameDecoder : public QObject
{
    Q_OBJECT

private slots:
    void analogFrames_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<DecodeOutcome>("outcome");
        QTest::addColumn<QList<int>>("counts");
        QTest::addColumn<float>("ambient");
        using enum DecodeOutcome;
        const QList<int> previous(8, 77);
        QTest::newRow("signed counts, the extremes fit")
            << QStringLiteral("+01234,-00050,+00000,+00000,+00000,+00000,-32768,+32767,+23.5\r")
            << Accepted << QList<int> {1234, -50, 0, 0, 0, 0, -32768, 32767} << 23.5f;
        QTest::newRow("exponent, letters as 0, blanks skipped, halves to even")
            << QStringLiteral("1e3xyz,+00000,+abcde,+1 2 3,12.5  ,13.5  ,+00000,+00000, -3.2\r")
            << Accepted << QList<int> {1000, 0, 0, 123, 12, 14, 0, 0} << -3.2f;
        QTest::newRow("start-up frame: only +25.0 of +25.00 is read")
            << core::DefaultAnalogFrame << Accepted << QList<int>(8, 0) << 25.0f;
        QTest::newRow("last count above 32767")
            << QStringLiteral("+00000,+00000,+00000,+00000,+00000,+00000,+00000,+32768,+25.0\r")
            << CountOutOfRange << previous << 19.0f;
        QTest::newRow("ambient beyond a single")
            << QStringLiteral("+00000,+00000,+00000,+00000,+00000,+00000,+00000,+00000,+4e38\r")
            << AmbientOutOfRange << previous << 19.0f;
        QTest::newRow("61 characters")
            << QStringLiteral("+00000,+00000,+00000,+00000,+00000,+00000,+00000,+00000,+25.\r")
            << WrongLength << previous << 19.0f;
        QTest::newRow("63 characters")
            << QStringLiteral("+00000,+00000,+00000,+00000,+00000,+00000,+00000,+00000,+25.00\r")
            << WrongLength << previous << 19.0f;
    }
    void analogFrames()
    {
        QFETCH(QString, frame);
        QFETCH(DecodeOutcome, outcome);
        QFETCH(QList<int>, counts);
        QFETCH(float, ambient);
        core::AcquisitionState s;
        s.rawCounts.fill(77);
        s.ambientTemp = 19.0f;
        s.analogFrame = frame;
        QCOMPARE(link::DecodeAnalogFrame(s), outcome);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(int(s.rawCounts[i]), counts[i]);
        QCOMPARE(s.ambientTemp, ambient);
    }

    void digitalFrames_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<DecodeOutcome>("outcome");
        QTest::addColumn<int>("inputs");
        QTest::addColumn<int>("outputs");
        using enum DecodeOutcome;
        QTest::newRow("line 15 first, either case")
            << QStringLiteral("0a5CFfFe\r") << Accepted << 0x0A5C << 0xFFFE;
        QTest::newRow("G in the inputs")
            << QStringLiteral("00G00000\r") << NotHexadecimal << 0xFFFF << 0xFFFF;
        QTest::newRow("blank in the outputs")
            << QStringLiteral("0000000 \r") << NotHexadecimal << 0xFFFF << 0xFFFF;
        QTest::newRow("sign") << QStringLiteral("-0010000\r") << NotHexadecimal << 0xFFFF << 0xFFFF;
        QTest::newRow("8 characters")
            << QStringLiteral("0000000\r") << WrongLength << 0xFFFF << 0xFFFF;
        QTest::newRow("10 characters")
            << QStringLiteral("000000000\r") << WrongLength << 0xFFFF << 0xFFFF;
    }
    void digitalFrames()
    {
        QFETCH(QString, frame);
        QFETCH(DecodeOutcome, outcome);
        QFETCH(int, inputs);
        QFETCH(int, outputs);
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
};

QTEST_GUILESS_MAIN(TestFrameDecoder)
#include "tst_framedecoder.moc"
