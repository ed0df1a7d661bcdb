// libFuzzer harness: the number scanner in its three grammars (typed prefix,
// record field, option decimal) and the 16-bit and float conversions built on
// the prefix.
//
// Beside "never crash", it checks the scanner against the C library where
// both must agree: once blanks, tabs and line feeds are taken out, a text
// that is wholly a plain decimal number must read as strtod reads it
// (correctly rounded), with D as exponent letter read like E. As a whole,
// the text is a field number exactly when it is a plain decimal, and an
// option decimal exactly when it is one without D; cut into two pieces at
// any point it scans as it does whole.

#include "core/reader/numberscan.h"
#include "core/reader/numtext.h"
#include "core/state/failure.h"

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
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

/// strtod of a plain decimal with D read as E; both values agree bit for bit
/// in sign and value.
bool sameAsStrtod(double value, std::string text)
{
    for (char &c : text)
        c = c == 'd' ? 'e' : c == 'D' ? 'E' : c;
    std::setlocale(LC_NUMERIC, "C");
    const double expected = std::strtod(text.c_str(), nullptr);
    return value == expected && std::signbit(value) == std::signbit(expected);
}

/// The text fed to a scanner in two pieces, cut at cut.
std::optional<double> inTwoPieces(std::string_view text, std::size_t cut, kov::NumberGrammar grammar)
{
    kov::NumberScanner scanner(grammar);
    if (scanner.feed(text.substr(0, cut)))
        scanner.feed(text.substr(cut));
    return scanner.value();
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
    if (isPlainDecimal(compact))
        check(sameAsStrtod(value, compact));

    const std::string whole(text);
    const auto field = kov::scanNumber(text, kov::FieldNumber);
    check(field.has_value() == isPlainDecimal(whole));
    if (field)
        check(sameAsStrtod(*field, whole));
    const auto option = kov::scanNumber(text, kov::OptionDecimal);
    check(option.has_value() == (field && whole.find_first_of("dD") == std::string::npos));
    if (option)
        check(*option == *field);
    const std::size_t cut = size == 0 ? 0 : data[0] % (size + 1);
    check(inTwoPieces(text, cut, kov::FieldNumber) == field);
    check(inTwoPieces(text, cut, kov::TypedPrefix) == value);

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
