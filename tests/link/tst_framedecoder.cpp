#include "link/framedecoder.h"

#include <QtTest>

using namespace tarv;
using link::DecodeOutcome;

namespace {

QString analogFrame(const QStringList &fields, const QString &ambient)
{
    return fields.join(QLatin1Char(',')) + QLatin1Char(',') + ambient + QLatin1Char('\r');
}

QStringList zeros()
{
    return QStringList(8, QStringLiteral("+00000"));
}

} // namespace

class TestFrameDecoder : public QObject
{
    Q_OBJECT

private slots:
    void analogFieldsAreRead_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<QList<int>>("counts");
        QTest::addColumn<float>("ambient");

        QStringList f = zeros();
        f[0] = QStringLiteral("+01234");
        f[1] = QStringLiteral("-00050");
        QTest::newRow("signed counts, ambient 23.5")
            << analogFrame(f, QStringLiteral("+23.5")) << QList<int> {1234, -50, 0, 0, 0, 0, 0, 0}
            << 23.5f;

        f = zeros();
        f[2] = QStringLiteral("+abcde");
        f[7] = QStringLiteral("+32767");
        f[6] = QStringLiteral("-32768");
        QTest::newRow("letters read as 0, the extremes fit")
            << analogFrame(f, QStringLiteral("24.50"))
            << QList<int> {0, 0, 0, 0, 0, 0, -32768, 32767} << 24.5f;

        f = zeros();
        f[3] = QStringLiteral("+1 2 3");
        f[4] = QStringLiteral("12.5  ");
        f[5] = QStringLiteral("13.5  ");
        QTest::newRow("blanks inside are ignored, halves go to even")
            << analogFrame(f, QStringLiteral(" -3.2")) << QList<int> {0, 0, 0, 123, 12, 14, 0, 0}
            << -3.2f;

        f = zeros();
        f[0] = QStringLiteral("1e3xyz");
        QTest::newRow("exponent and trailing junk")
            << analogFrame(f, QStringLiteral("abcde")) << QList<int> {1000, 0, 0, 0, 0, 0, 0, 0}
            << 0.0f;
    }
    void analogFieldsAreRead()
    {
        QFETCH(QString, frame);
        QFETCH(QList<int>, counts);
        QFETCH(float, ambient);
        QCOMPARE(frame.size(), 62);

        core::AcquisitionState s;
        s.analogFrame = frame;
        QCOMPARE(link::DecodeAnalogFrame(s), DecodeOutcome::Accepted);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(int(s.rawCounts[i]), counts[i]);
        QCOMPARE(s.ambientTemp, ambient);
    }

    // A frame that cannot be decoded as a whole leaves every previous value.
    void badAnalogFramesChangeNothing_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<DecodeOutcome>("outcome");

        QStringList f = zeros();
        f[5] = QStringLiteral("+99999");
        QTest::newRow("count above 32767")
            << analogFrame(f, QStringLiteral("+25.0")) << DecodeOutcome::CountOutOfRange;
        f[5] = QStringLiteral("-32769");
        QTest::newRow("count below -32768")
            << analogFrame(f, QStringLiteral("+25.0")) << DecodeOutcome::CountOutOfRange;
        f[5] = QStringLiteral("3.3e99");
        QTest::newRow("huge exponent")
            << analogFrame(f, QStringLiteral("+25.0")) << DecodeOutcome::CountOutOfRange;
        QTest::newRow("ambient beyond a single")
            << analogFrame(zeros(), QStringLiteral("9e999")) << DecodeOutcome::AmbientOutOfRange;
        QTest::newRow("61 characters")
            << analogFrame(zeros(), QStringLiteral("+25.")) << DecodeOutcome::WrongLength;
        QTest::newRow("63 characters")
            << analogFrame(zeros(), QStringLiteral("+25.00")) << DecodeOutcome::WrongLength;
    }
    void badAnalogFramesChangeNothing()
    {
        QFETCH(QString, frame);
        QFETCH(DecodeOutcome, outcome);
        core::AcquisitionState s;
        s.rawCounts.fill(77);
        s.ambientTemp = 19.0f;
        s.analogFrame = frame;
        QCOMPARE(link::DecodeAnalogFrame(s), outcome);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(int(s.rawCounts[i]), 77);
        QCOMPARE(s.ambientTemp, 19.0f);
    }

    void theStartUpFrameDecodes()
    {
        core::AcquisitionState s;
        s.rawCounts.fill(5);
        QCOMPARE(link::DecodeAnalogFrame(s), DecodeOutcome::Accepted);
        QCOMPARE(int(s.rawCounts[3]), 0);
        QCOMPARE(s.ambientTemp, 25.0f); // only "+25.0" of "+25.00" is read
    }

    void digitalWordsAreRead_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<quint16>("inputs");
        QTest::addColumn<quint16>("outputs");
        QTest::newRow("lines 0 and 15 in, 0..3 out")
            << QStringLiteral("8001000F\r") << quint16(0x8001) << quint16(0x000F);
        QTest::newRow("all inputs on")
            << QStringLiteral("FFFF0000\r") << quint16(0xFFFF) << quint16(0);
        QTest::newRow("lower case")
            << QStringLiteral("ffff0000\r") << quint16(0xFFFF) << quint16(0);
        QTest::newRow("mixed") << QStringLiteral("0a5CFfFe\r") << quint16(0x0A5C)
                               << quint16(0xFFFE);
    }
    void digitalWordsAreRead()
    {
        QFETCH(QString, frame);
        QFETCH(quint16, inputs);
        QFETCH(quint16, outputs);
        core::AcquisitionState s;
        s.digitalFrame = frame;
        QCOMPARE(link::DecodeDigitalFrame(s), DecodeOutcome::Accepted);
        for (int n = 0; n < 16; ++n) {
            QCOMPARE(s.diStates[n], core::toFlag(inputs >> n & 1));
            QCOMPARE(s.doStates[n], core::toFlag(outputs >> n & 1));
        }
    }

    void badDigitalFramesChangeNothing_data()
    {
        QTest::addColumn<QString>("frame");
        QTest::addColumn<DecodeOutcome>("outcome");
        QTest::newRow("not hex in the inputs")
            << QStringLiteral("00G00000\r") << DecodeOutcome::NotHexadecimal;
        QTest::newRow("not hex in the outputs")
            << QStringLiteral("0000000 \r") << DecodeOutcome::NotHexadecimal;
        QTest::newRow("sign") << QStringLiteral("-0010000\r") << DecodeOutcome::NotHexadecimal;
        QTest::newRow("8 characters") << QStringLiteral("FFFF000\r") << DecodeOutcome::WrongLength;
        QTest::newRow("10 characters")
            << QStringLiteral("FFFF00000\r") << DecodeOutcome::WrongLength;
    }
    void badDigitalFramesChangeNothing()
    {
        QFETCH(QString, frame);
        QFETCH(DecodeOutcome, outcome);
        core::AcquisitionState s;
        s.diStates.fill(core::True);
        s.doStates.fill(core::True);
        s.digitalFrame = frame;
        QCOMPARE(link::DecodeDigitalFrame(s), outcome);
        for (int n = 0; n < 16; ++n) {
            QCOMPARE(s.diStates[n], core::True);
            QCOMPARE(s.doStates[n], core::True);
        }
    }
};

QTEST_GUILESS_MAIN(TestFrameDecoder)
#include "tst_framedecoder.moc"
