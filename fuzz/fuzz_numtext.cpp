// libFuzzer harness: the number-prefix conversion of typed field text and the
// 16-bit and float conversions built on it.
//
// Beside "never crash", it checks the conversion against the C library where
// both must agree: once blanks, tabs and line feeds are taken out, a text
// that is wholly a plain decimal number must read as strtod reads it
// (correctly rounded), with D as exponent letter read like E.

#include "app/core/failure.h"
#include "reader/numtext.h"

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

/// [+-]? ( digits [ . digits? ] | . digits ) ( [EeDd] [+-]? digits )?
bool isPlainDecimal(const std::string &s)
{
    std::size_t i = 0, digits = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    while (i < s.size() && isDigit(s[i]))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            ++i;
        std::size_t expDigits = 0;
        while (i < s.size() && isDigit(s[i]))
            ++i, ++expDigits;
        if (expDigits == 0)
            return false;
    }
    return i == s.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const double value = kov::numberPrefix(text);
    check(!std::isnan(value));

    std::string compact;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n')
            compact += c == 'd' ? 'e' : c == 'D' ? 'E' : c;
    if (isPlainDecimal(compact)) {
        std::setlocale(LC_NUMERIC, "C");
        const double expected = std::strtod(compact.c_str(), nullptr);
        check(value == expected || (std::isinf(value) && std::isinf(expected) && value == expected));
    }

    // Typed input is never refused: the clamped conversions never fail.
    const std::int16_t n = kov::int16OfText(text);
    if (std::fabs(value) <= 32767.0)
        check(std::fabs(static_cast<double>(n) - value) <= 0.5);
    const float f = kov::floatOfText(text);
    check(std::isfinite(f));

    // The strict conversions either give a fitting result or fail with 6.
    try {
        const std::int16_t r = kov::roundToInt16(value);
        check(std::fabs(static_cast<double>(r) - value) <= 0.5);
    } catch (const kov::Failure &e) {
        check(e.number() == 6 && !(std::fabs(value) < 32767.5));
    }
    try {
        check(std::isfinite(kov::toFloat(value)));
    } catch (const kov::Failure &e) {
        check(e.number() == 6);
    }
    return 0;
}
