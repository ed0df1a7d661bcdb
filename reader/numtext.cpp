#include "reader/numtext.h"

#include "app/core/failure.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace kov {

namespace {

bool isIgnored(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

/// The characters of the text that take part in the number, blanks removed.
std::string withoutBlanks(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (!isIgnored(c))
            out.push_back(c);
    return out;
}

/// Reads "&H..." or "&O..." (after the prefix) as a non-negative integer.
double radixValue(std::string_view digits, int radix)
{
    double value = 0.0;
    for (char c : digits) {
        const int d = digitValue(c);
        if (d >= radix)
            break;
        value = value * radix + d;
    }
    return value;
}

} // namespace

double numberPrefix(std::string_view text)
{
    const std::string s = withoutBlanks(text);
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h')
            return radixValue(std::string_view(s).substr(2), 16);
        if (s[1] == 'O' || s[1] == 'o')
            return radixValue(std::string_view(s).substr(2), 8);
        return 0.0;
    }

    // Collect the longest prefix that spells a number, in the form
    // std::from_chars reads: no leading '+', 'e' for the exponent.
    std::string number;
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    std::size_t digits = 0;
    long long leadingDigits = 0; // significant digits before the point
    bool seenNonZero = false;
    while (i < s.size() && isDigit(s[i])) {
        if (s[i] != '0')
            seenNonZero = true;
        if (seenNonZero)
            ++leadingDigits;
        number.push_back(s[i++]);
        ++digits;
    }
    long long fractionZeros = 0; // zeros after the point before the first significant digit
    if (i < s.size() && s[i] == '.') {
        number.push_back(s[i++]);
        while (i < s.size() && isDigit(s[i])) {
            if (s[i] != '0')
                seenNonZero = true;
            else if (!seenNonZero)
                ++fractionZeros;
            number.push_back(s[i++]);
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    long long exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        std::size_t j = i + 1;
        bool expNegative = false;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            expNegative = s[j] == '-';
            ++j;
        }
        if (j < s.size() && isDigit(s[j])) {
            std::string exp = expNegative ? "e-" : "e";
            for (; j < s.size() && isDigit(s[j]); ++j) {
                exp.push_back(s[j]);
                if (exponent < 1000000)
                    exponent = exponent * 10 + (s[j] - '0');
            }
            if (expNegative)
                exponent = -exponent;
            number += exp;
        }
    }

    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Beyond the double range: a large magnitude overflows to infinity,
        // a tiny one underflows to zero. The decimal exponent of the first
        // significant digit tells which ("0.000...1e10" is tiny).
        value = (leadingDigits - fractionZeros + exponent > 0) ? std::numeric_limits<double>::infinity()
                                                               : 0.0;
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
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
