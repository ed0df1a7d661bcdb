#include "core/reader/numtext.h"

#include "core/reader/numberscan.h"
#include "core/state/failure.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace kov {

double numberPrefix(std::string_view text)
{
    return scanNumber(text, TypedPrefix).value_or(0.0);
}

std::int16_t roundToInt16(double value)
{
    if (std::isnan(value))
        throw Failure(err::Overflow);
    // nearbyint rounds halves to even in the default rounding mode.
    const double r = std::nearbyint(value);
    if (r < -32768.0 || r > 32767.0)
        throw Failure(err::Overflow);
    return static_cast<std::int16_t>(r);
}

std::int16_t clampToInt16(double value)
{
    if (std::isnan(value))
        return 0;
    const double r = std::nearbyint(value);
    if (r < -32768.0)
        return -32768;
    if (r > 32767.0)
        return 32767;
    return static_cast<std::int16_t>(r);
}

std::int16_t int16OfText(std::string_view text)
{
    return clampToInt16(numberPrefix(text));
}

namespace {
// A double at or beyond this magnitude rounds to infinity as a float (the
// midpoint between the largest float and 2^128 rounds to even, upwards).
constexpr double FloatOverflow = 0x1.ffffffp127;
} // namespace

float toFloat(double value)
{
    if (!(std::fabs(value) < FloatOverflow))
        throw Failure(err::Overflow);
    return static_cast<float>(value);
}

float clampToFloat(double value)
{
    if (std::isnan(value))
        return 0.0f;
    if (std::fabs(value) >= FloatOverflow)
        return value < 0 ? -std::numeric_limits<float>::max() : std::numeric_limits<float>::max();
    return static_cast<float>(value);
}

float floatOfText(std::string_view text)
{
    return clampToFloat(numberPrefix(text));
}

std::string integerText(long long value)
{
    return std::to_string(value);
}

std::string shortNumberText(float value)
{
    if (value == 0.0f)
        return "0";
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Infinity" : "Infinity";

    // Seven significant digits in scientific form tell the decimal exponent
    // of the rounded value.
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, static_cast<double>(value),
                           std::chars_format::scientific, 6);
    std::string sci(buf, r.ptr);
    const std::size_t e = sci.find('e');
    const int exponent = std::stoi(sci.substr(e + 1));
    std::string mantissa = sci.substr(0, e);

    auto stripZeros = [](std::string &s) {
        if (s.find('.') == std::string::npos)
            return;
        while (!s.empty() && s.back() == '0')
            s.pop_back();
        if (!s.empty() && s.back() == '.')
            s.pop_back();
    };

    if (exponent < -5 || exponent > 6) {
        stripZeros(mantissa);
        const int absExp = exponent < 0 ? -exponent : exponent;
        std::string expText = std::to_string(absExp);
        if (expText.size() < 2)
            expText.insert(0, "0");
        return mantissa + "E" + (exponent < 0 ? "-" : "+") + expText;
    }
    const int decimals = 6 - exponent; // digits after the point for 7 significant
    r = std::to_chars(buf, buf + sizeof buf, static_cast<double>(value), std::chars_format::fixed,
                      decimals);
    std::string fixed(buf, r.ptr);
    stripZeros(fixed);
    if (fixed == "-0")
        fixed = "0";
    return fixed;
}

} // namespace kov
