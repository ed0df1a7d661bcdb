#include "core/output/formats.h"

#include <charconv>
#include <cmath>
#include <string>

namespace kov {

namespace {

/// The exact decimal value of |value|: all its digits, with the number of
/// digits before the point. A float's exact value has a finite expansion
/// (at most 149 decimals), so printing with 160 decimals loses nothing.
struct Exact {
    std::string digits; ///< no leading zeros before the point except a lone "0"
    int intDigits = 0;  ///< how many of digits stand before the point
};

Exact exactOf(float value)
{
    char buf[512];
    const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(static_cast<double>(value)),
                                 std::chars_format::fixed, 160);
    std::string text(buf, r.ptr);
    Exact e;
    const std::size_t point = text.find('.');
    e.intDigits = static_cast<int>(point);
    e.digits = text.substr(0, point) + text.substr(point + 1);
    return e;
}

/// Rounds the digit string to its first keep digits, half away from zero
/// (the value is exact, so "the next digit is 5 or more" is the rule).
/// Returns true when a carry made it one digit longer.
bool roundDigits(std::string &digits, std::size_t keep)
{
    const bool up = keep < digits.size() && digits[keep] >= '5';
    digits.resize(keep, '0');
    if (!up)
        return false;
    for (std::size_t i = keep; i-- > 0;) {
        if (digits[i] == '9') {
            digits[i] = '0';
        } else {
            ++digits[i];
            return false;
        }
    }
    digits.insert(digits.begin(), '1');
    return true;
}

} // namespace

std::string formatFixed3(float value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Infinity" : "Infinity";
    Exact e = exactOf(value);
    std::size_t keep = static_cast<std::size_t>(e.intDigits) + 3;
    if (roundDigits(e.digits, keep))
        ++e.intDigits;
    std::string intPart = e.digits.substr(0, static_cast<std::size_t>(e.intDigits));
    const std::size_t nz = intPart.find_first_not_of('0');
    intPart = nz == std::string::npos ? "0" : intPart.substr(nz);
    const std::string text = intPart + "." + e.digits.substr(static_cast<std::size_t>(e.intDigits), 3);
    return (std::signbit(value) && value != 0.0f) ? "-" + text : text;
}

std::string formatExp4(float value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Infinity" : "Infinity";
    if (value == 0.0f)
        return "0.0000e+00";
    Exact e = exactOf(value);
    const std::size_t first = e.digits.find_first_not_of('0');
    int exponent = e.intDigits - 1 - static_cast<int>(first);
    std::string mantissa = e.digits.substr(first);
    if (roundDigits(mantissa, 5)) {
        ++exponent;
        mantissa.resize(5);
    }
    const int absExp = exponent < 0 ? -exponent : exponent;
    std::string expText = std::to_string(absExp);
    if (expText.size() < 2)
        expText.insert(0, "0");
    std::string text = mantissa.substr(0, 1) + "." + mantissa.substr(1, 4) + "e" +
                       (exponent < 0 ? "-" : "+") + expText;
    return value < 0.0f ? "-" + text : text;
}

std::string padLeft(const std::string &text, std::size_t width)
{
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

} // namespace kov
