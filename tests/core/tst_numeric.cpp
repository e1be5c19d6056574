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
        QTest::newRow("sign, zeros, blanks, tabs, line feeds") << " -0 0\t5\n0" << -50.0;
        QTest::newRow("comma is not a decimal point") << "1,5" << 1.0;
        QTest::newRow("point only") << "." << 0.0;
        QTest::newRow("leading point, exponent") << ".25E+1" << 2.5;
        QTest::newRow("exponent without digits") << "3e+" << 3.0;
        QTest::newRow("underflow") << "1e-999" << 0.0;
        QTest::newRow("negative overflow") << "-9e999" << -std::numeric_limits<double>::infinity();
    }
    void leadingNumber()
    {
        QFETCH(QString, text);
        QFETCH(double, expected);
        QCOMPARE(tarv::core::leadingNumber(text), expected);
    }

    void roundingAndRanges()
    {
        QCOMPARE(roundHalfEven(2.5), 2.0);
        QCOMPARE(roundHalfEven(3.5), 4.0);
        QCOMPARE(roundHalfEven(-2.5), -2.0);
        QCOMPARE(toInteger(-32768.5).value(), Integer(-32768));
        QVERIFY(!toInteger(32767.5)); // rounds to 32768
        QVERIFY(!toInteger(std::nan("")));
        QCOMPARE(subtractInteger(-32768, 1), std::optional<Integer>());
        QCOMPARE(subtractInteger(-1, 32767).value(), Integer(-32768));
        QVERIFY(!toLong(2147483647.5));
    }

    void generalForm_data()
    {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("single noise is not shown") << 0.1f << "0.1";
        QTest::newRow("small") << 1e-5f << "1E-05";
        QTest::newRow("0.0001 stays plain") << 1e-4f << "0.0001";
        QTest::newRow("large") << 12345678.0f << "1.234568E+07";
        QTest::newRow("one million stays plain") << 1000000.0f << "1000000";
        QTest::newRow("NaN") << std::nanf("") << "NaN";
        QTest::newRow("negative zero has no sign") << -0.0f << "0";
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
        QTest::newRow("PT-100 one decimal, no grouping") << 12345.46 << 4 << "12345.5";
        QTest::newRow("type 3 two decimals") << -21.456 << 3 << "-21.46";
        QTest::newRow("type -1 whole") << -7.6 << -1 << "-8";
        QTest::newRow("negative that rounds to zero") << -0.004 << 0 << "0.00";
        QTest::newRow("negative infinity")
            << -std::numeric_limits<double>::infinity() << 0 << "-Infinity";
    }
    void pictures()
    {
        QFETCH(double, value);
        QFETCH(int, type);
        QFETCH(QString, expected);
        QCOMPARE(formatForInputType(value, type), expected);
    }

    void regionalSeparator()
    {
        QCOMPARE(formatGeneral(1.234568e7f, QLatin1Char(',')), QStringLiteral("1,234568E+07"));
        QCOMPARE(formatPicture(-2.5, 2, QLatin1Char(',')), QStringLiteral("-2,50"));
    }
};

QTEST_GUILESS_MAIN(TestNumeric)
#include "tst_numeric.moc"
