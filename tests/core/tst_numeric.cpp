#include "core/numberformat.h"
#include "core/numeric.h"

#include <QtTest>

#include <cmath>

using namespace tarv::core;

// Rows for leadingNumber, formatGeneral and numberText rather than an input type's
// picture.
constexpr int Leading = 97, General = 98, Shortest = 99;

class TestNumeric : public QObject
{
    Q_OBJECT

private slots:
    void roundingAndRanges()
    {
        QCOMPARE(QList<double>({roundHalfEven(2.5), roundHalfEven(3.5), roundHalfEven(-2.5)}),
            QList<double>({2, 4, -2}));
        QCOMPARE(toInteger(-32768.5).value(), Integer(-32768));
        QVERIFY(!toInteger(32767.5) && !toInteger(std::nan("")) && !toLong(2147483647.5)
            && !subtractInteger(-32768, 1));
        QCOMPARE(subtractInteger(-1, 32767).value(), Integer(-32768));
    }

    // Text to number: the leading number, blanks, tabs and line feeds inside it skipped.
    // General: seven significant digits, the exponent form only below 1E-4 and from
    // 1E+7 on, no sign on zero. Pictures: decimals by input type, no grouping.
    void conversions_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("type");
        QTest::addColumn<QChar>("point");
        QTest::addColumn<QString>("expected");
        const auto row
            = [](const char *name, const char *in, int type, const char *out, char p = '.') {
                  QTest::newRow(name) << QString::fromLatin1(in) << type << QChar::fromLatin1(p)
                                      << QString::fromLatin1(out);
              };
        row("sign, zeros, blanks, tabs, line feeds", " -0 0\t5\n0", Leading, "-50");
        row("comma is not a decimal point", "1,5", Leading, "1");
        row("leading point, exponent", ".25E+1", Leading, "2.5");
        row("exponent without digits", "3e+", Leading, "3");
        row("underflow", "1e-999", Leading, "0");
        row("negative overflow", "-9e999", Leading, "-inf");
        row("single noise is not shown", "0.1", General, "0.1");
        row("small", "1e-5", General, "1E-05");
        row("0.0001 stays plain", "1e-4", General, "0.0001");
        row("large, regional comma", "12345678", General, "1,234568E+07", ',');
        row("one million stays plain", "1e6", General, "1000000");
        row("NaN", "nan", General, "NaN");
        row("negative zero has no sign", "-0", General, "0");
        // The one form of every output that promises the shortest digits that read back.
        row("shortest: no exponent", "1e-5", Shortest, "0.00001");
        row("shortest: single's own digits", "0.1", Shortest, "0.1");
        row("shortest: large, whole", "1e20", Shortest, "100000002004087734272");
        row("shortest: no sign on zero", "-0", Shortest, "0");
        row("shortest: nothing for NaN", "nan", Shortest, "");
        row("PT-100 one decimal, no grouping", "12345.46", 4, "12345.5");
        row("type 3 two decimals", "-21.456", 3, "-21.46");
        row("type 0, regional comma", "-2.5", 0, "-2,50", ',');
        row("type -1 whole", "-7.6", -1, "-8");
        row("negative that rounds to zero", "-0.004", 0, "0.00");
        row("negative infinity", "-inf", 0, "-Infinity");
    }
    void conversions()
    {
        QFETCH(QString, input);
        QFETCH(int, type);
        QFETCH(QChar, point);
        QFETCH(QString, expected);
        QCOMPARE(type == Leading   ? QString::number(leadingNumber(input))
                : type == General  ? formatGeneral(input.toFloat(), point)
                : type == Shortest ? QString::fromLatin1(numberText(input.toFloat()))
                                   : formatForInputType(input.toDouble(), type, point),
            expected);
    }
};

QTEST_GUILESS_MAIN(TestNumeric)
#include "tst_numeric.moc"
