#include "core/numberformat.h"
#include "core/numeric.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace tarv::core;

class TestNumeric : public QObject
{
    Q_OBJECT

private slots:
    void leadingNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("expected");
        QTest::newRow("plain") << "+01234" << 1234.0;
        QTest::newRow("negative") << "-00050" << -50.0;
        QTest::newRow("fraction") << "+23.5" << 23.5;
        QTest::newRow("leading blanks") << "   12" << 12.0;
        QTest::newRow("blanks, tabs and line feeds inside") << "1 2\t3\n4" << 1234.0;
        QTest::newRow("stops at a letter") << "12ab" << 12.0;
        QTest::newRow("letters only") << "abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("sign only") << "-" << 0.0;
        QTest::newRow("point only") << "." << 0.0;
        QTest::newRow("leading point") << ".5" << 0.5;
        QTest::newRow("trailing point") << "7." << 7.0;
        QTest::newRow("exponent") << "1.5e3" << 1500.0;
        QTest::newRow("negative exponent") << "25E-1" << 2.5;
        QTest::newRow("exponent without digits") << "3e+" << 3.0;
        QTest::newRow("comma is not a decimal point") << "1,5" << 1.0;
        QTest::newRow("second sign ends it") << "-1-2" << -1.0;
        QTest::newRow("underflow") << "1e-999" << 0.0;
    }
    void leadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(tarv::core::leadingNumber(text), expected);
    }

    void overflowIsInfinite()
    {
        QCOMPARE(tarv::core::leadingNumber(u"9e999"), std::numeric_limits<double>::infinity());
        QCOMPARE(tarv::core::leadingNumber(u"-9e999"), -std::numeric_limits<double>::infinity());
    }

    void roundingAndRanges()
    {
        QCOMPARE(roundHalfEven(2.5), 2.0);
        QCOMPARE(roundHalfEven(3.5), 4.0);
        QCOMPARE(roundHalfEven(-2.5), -2.0);
        QCOMPARE(roundHalfEven(-0.6), -1.0);
        QCOMPARE(roundHalfEven(24.49), 24.0);
        QCOMPARE(toInteger(32767.4).value(), Integer(32767));
        QCOMPARE(toInteger(-32768.5).value(), Integer(-32768)); // half to even
        QVERIFY(!toInteger(32767.5)); // rounds to 32768
        QVERIFY(!toInteger(std::nan("")));
        QCOMPARE(subtractInteger(-32768, 1), std::optional<Integer>());
        QCOMPARE(subtractInteger(32767, -1), std::optional<Integer>());
        QCOMPARE(subtractInteger(-1, 32767).value(), Integer(-32768));
        QVERIFY(!toLong(2147483647.5));
    }

    void generalForm_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("whole") << 25.0f << "25";
        QTest::newRow("half") << -3.5f << "-3.5";
        QTest::newRow("quarter") << -0.25f << "-0.25";
        QTest::newRow("seven digits") << 1.0f / 3.0f << "0.3333333";
        QTest::newRow("small") << 1e-5f << "1E-05";
        QTest::newRow("0.0001 stays plain") << 1e-4f << "0.0001";
        QTest::newRow("large") << 12345678.0f << "1.234568E+07";
        QTest::newRow("one million stays plain") << 1000000.0f << "1000000";
        QTest::newRow("single noise is not shown") << 0.1f << "0.1";
        QTest::newRow("zero") << 0.0f << "0";
        QTest::newRow("big exponent") << 3e38f << "3E+38";
        QTest::newRow("ambient") << 24.5f << "24.5";
    }
    void generalForm()
    {
        QFETCH(float, value);
        QFETCH(QString, expected);
        QCOMPARE(formatGeneral(value), expected);
    }

    void pictures_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("expected");
        QTest::newRow("PT-100 one decimal") << 123.46 << 4 << "123.5";
        QTest::newRow("J whole") << 123.46 << 5 << "123";
        QTest::newRow("mA two decimals") << 4.0 << 1 << "4.00";
        QTest::newRow("unknown type whole") << 7.6 << 9 << "8";
        QTest::newRow("negative type -1") << -7.6 << -1 << "-8";
        QTest::newRow("negative that rounds to zero") << -0.004 << 0 << "0.00";
        QTest::newRow("negative") << -21.456 << 3 << "-21.46";
        QTest::newRow("K") << 21.456 << 6 << "21";
        QTest::newRow("no grouping") << 12345.5 << 4 << "12345.5";
    }
    void pictures()
    {
        QFETCH(double, value);
        QFETCH(int, type);
        QFETCH(QString, expected);
        QCOMPARE(formatForInputType(value, type), expected);
    }

    void regionalSeparatorAndNonFinite()
    {
        QCOMPARE(formatGeneral(1.5f, QLatin1Char(',')), QStringLiteral("1,5"));
        QCOMPARE(formatGeneral(1.234568e7f, QLatin1Char(',')), QStringLiteral("1,234568E+07"));
        QCOMPARE(formatPicture(-2.5, 2, QLatin1Char(',')), QStringLiteral("-2,50"));
        QCOMPARE(formatGeneral(std::numeric_limits<float>::infinity()), QStringLiteral("Infinity"));
        QCOMPARE(formatPicture(-std::numeric_limits<double>::infinity(), 2),
            QStringLiteral("-Infinity"));
        QCOMPARE(formatGeneral(std::nanf("")), QStringLiteral("NaN"));
    }
};

QTEST_GUILESS_MAIN(TestNumeric)
#include "tst_numeric.moc"
