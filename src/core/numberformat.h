#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

namespace tarv::core {

// The decimal separator of the user's regional settings (the default QLocale).
QChar regionalDecimalPoint();

// A number picture such as "0.00", "0.0" or "0": the value rounded to that many
// decimals, at least one integer digit, "-" before negative values, no grouping.
// A value that rounds to zero is written without a minus sign.
QString formatPicture(double value, int decimals, QChar decimalPoint = QLatin1Char('.'));

// The picture each input type is shown with: types 0..3 two decimals, type 4
// (PT-100) one, everything else whole numbers.
int decimalsForInputType(int inputType);
QString formatForInputType(double value, int inputType, QChar decimalPoint = QLatin1Char('.'));

// The general text form of a single-precision value: at most seven significant
// digits, no trailing zeros, no separator for whole values; exponent form
// ("1E-05", "1.234568E+07") when the decimal exponent is below -4 or at least 7;
// zero, negative zero included, is "0".
QString formatGeneral(float value, QChar decimalPoint = QLatin1Char('.'));

// The one text form every output that promises "the shortest digits that read back"
// uses (settings files, published values, saved trend data): plain decimal with
// ".", never an exponent, no "-" on zero (12.7 -> "12.7", 1e-5f -> "0.00001",
// 0.1f -> "0.1", not the double's digits). Empty for a value that is not finite,
// which has no such form.
QByteArray numberText(double value);
QByteArray numberText(float value);

} // namespace tarv::core
