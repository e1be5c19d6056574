#include "core/numeric.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace tarv::core {

double roundHalfEven(double value)
{
    // nearbyint follows the current rounding mode, which is round-to-nearest-even
    // unless someone changed it; be explicit so a stray fesetround cannot leak in.
    const double floor = std::floor(value);
    const double diff = value - floor;
    if (diff > 0.5)
        return floor + 1;
    if (diff < 0.5)
        return floor;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

std::optional<Integer> toInteger(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = roundHalfEven(value);
    if (r < -32768.0 || r > 32767.0)
        return std::nullopt;
    return static_cast<Integer>(r);
}

std::optional<Long> toLong(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = roundHalfEven(value);
    if (r < -2147483648.0 || r > 2147483647.0)
        return std::nullopt;
    return static_cast<Long>(r);
}

std::optional<Integer> subtractInteger(Integer a, Integer b)
{
    const int d = int(a) - int(b);
    if (d < std::numeric_limits<Integer>::min() || d > std::numeric_limits<Integer>::max())
        return std::nullopt;
    return static_cast<Integer>(d);
}

namespace {

bool isIgnorable(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}
bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

double leadingNumber(QStringView text)
{
    // Gather the characters of the number, dropping the ignorable ones, then let
    // from_chars (locale-independent) do the conversion.
    std::string number;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto peek = [&]() -> char16_t {
        while (i < n && isIgnorable(text[i].unicode()))
            ++i;
        return i < n ? text[i].unicode() : u'\0';
    };

    char16_t c = peek();
    if (c == u'+' || c == u'-') {
        if (c == u'-')
            number += '-';
        ++i;
        c = peek();
    }
    bool anyDigit = false;
    while (isDigit(c)) {
        number += char(c);
        anyDigit = true;
        ++i;
        c = peek();
    }
    if (c == u'.') {
        ++i;
        c = peek();
        std::string fraction;
        while (isDigit(c)) {
            fraction += char(c);
            ++i;
            c = peek();
        }
        if (!fraction.empty()) {
            number += '.';
            number += fraction;
            anyDigit = true;
        }
    }
    if (!anyDigit)
        return 0.0;
    if (c == u'e' || c == u'E') {
        const qsizetype mark = i;
        ++i;
        c = peek();
        std::string exponent = "e";
        if (c == u'+' || c == u'-') {
            exponent += char(c);
            ++i;
            c = peek();
        }
        bool expDigit = false;
        while (isDigit(c)) {
            exponent += char(c);
            expDigit = true;
            ++i;
            c = peek();
        }
        if (expDigit)
            number += exponent;
        else
            i = mark;
    }

    double value = 0.0;
    const char *first = number.data();
    const char *last = first + number.size();
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec == std::errc::result_out_of_range) {
        // from_chars leaves the value untouched; decide from the exponent's sign
        // whether this was an overflow or an underflow.
        const auto e = number.find('e');
        const bool tiny = e != std::string::npos && number.find('-', e) != std::string::npos;
        const bool negative = !number.empty() && number.front() == '-';
        if (tiny)
            return negative ? -0.0 : 0.0;
        return negative ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::infinity();
    }
    (void)ptr;
    return value;
}

} // namespace tarv::core
