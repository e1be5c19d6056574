#include "core/numberformat.h"

#include <QLocale>

#include <charconv>
#include <cmath>

namespace tarv::core {

namespace {

QString nonFinite(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    return value < 0 ? QStringLiteral("-Infinity") : QStringLiteral("Infinity");
}

template<typename Real> QByteArray shortestFixed(Real value)
{
    if (!std::isfinite(value))
        return {};
    if (value == Real(0))
        return QByteArrayLiteral("0"); // also for -0.0, which would print as "-0"
    // Fixed notation at its shortest round trip; the widest finite double needs 309
    // integer digits and the smallest 751 characters after the point.
    char buffer[800];
    const auto [end, ec]
        = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return QByteArray(buffer, ec == std::errc() ? end - buffer : 0);
}

} // namespace

QByteArray numberText(double value)
{
    return shortestFixed(value);
}

QByteArray numberText(float value)
{
    return shortestFixed(value);
}

QChar regionalDecimalPoint()
{
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QLatin1Char('.') : point.front();
}

QString formatPicture(double value, int decimals, QChar decimalPoint)
{
    if (!std::isfinite(value))
        return nonFinite(value);
    QString text = QString::number(value, 'f', decimals);
    if (text.startsWith(QLatin1Char('-'))) {
        bool allZero = true;
        for (qsizetype i = 1; i < text.size(); ++i)
            if (text[i] != QLatin1Char('0') && text[i] != QLatin1Char('.'))
                allZero = false;
        if (allZero)
            text.remove(0, 1);
    }
    if (decimalPoint != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), decimalPoint);
    return text;
}

int decimalsForInputType(int inputType)
{
    if (inputType >= 0 && inputType <= 3)
        return 2;
    if (inputType == 4)
        return 1;
    return 0;
}

QString formatForInputType(double value, int inputType, QChar decimalPoint)
{
    return formatPicture(value, decimalsForInputType(inputType), decimalPoint);
}

QString formatGeneral(float value, QChar decimalPoint)
{
    if (!std::isfinite(value))
        return nonFinite(value);
    // to_chars with a precision behaves as printf's %.7g in the C locale: the
    // exponent form exactly when the exponent is below -4 or at least 7, trailing
    // zeros removed, at least two exponent digits.
    // Zero has no sign in any form, whichever side it came from.
    if (value == 0.0f)
        value = 0.0f;
    char buffer[32];
    const auto result = std::to_chars(
        buffer, buffer + sizeof buffer, double(value), std::chars_format::general, 7);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    text.replace(QLatin1Char('e'), QLatin1Char('E'));
    if (decimalPoint != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), decimalPoint);
    return text;
}

} // namespace tarv::core
