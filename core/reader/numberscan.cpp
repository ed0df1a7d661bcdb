#include "core/reader/numberscan.h"

#include "core/reader/fastpaths.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace kov {

namespace {

/// The value of c as a digit of radix (up to 16), or -1.
int digitOf(char c, int radix)
{
    int d = -1;
    if (c >= '0' && c <= '9')
        d = c - '0';
    else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
    return d < radix ? d : -1;
}

/// A written exponent beyond this gives infinity or 0 whatever the digits;
/// saturating here keeps the arithmetic far from overflowing.
constexpr long long ExponentCap = 1'000'000'000;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

void NumberScanner::addDigit(int digit, bool fraction)
{
    // Leading zeros only move the point: 0.05 is 0.5 x 10^-1.
    if (!m_significant && digit == 0) {
        if (fraction)
            --m_pointExponent;
        return;
    }
    m_significant = true;
    if (!fraction)
        ++m_pointExponent;
    if (m_count < MaxDigits) {
        m_digits[m_count++] = static_cast<char>('0' + digit);
    }
    else if (digit != 0)
        m_sticky = true;
}

void NumberScanner::addDigits(const char *p, const char *end, bool fraction)
{
    if (!m_significant) {
        while (p != end && *p == '0') {
            addDigit(0, fraction);
            ++p;
        }
        if (p == end)
            return;
        m_significant = true;
    }
    // From here every digit is significant.
    if (!fraction)
        m_pointExponent += end - p;
    for (; p != end && m_count < MaxDigits; ++p) {
        m_digits[m_count++] = *p;
    }
    for (; p != end; ++p)
        m_sticky = m_sticky || *p != '0';
}

void NumberScanner::addRadixDigit(int digit)
{
    // Keep the leading bits (at least 60 of them) and note whether any bit
    // after them is set: enough to round to double correctly.
    if (m_radixTop <= (std::numeric_limits<std::uint64_t>::max() >> m_radixBits)) {
        m_radixTop = (m_radixTop << m_radixBits) | static_cast<std::uint64_t>(digit);
    } else {
        m_radixShift += m_radixBits;
        m_sticky = m_sticky || digit != 0;
    }
}

bool NumberScanner::feed(std::string_view piece)
{
    if (m_ended)
        return false;
    const bool exponentD = m_grammar.exponentD;
    const char point = m_grammar.decimalComma ? ',' : '.';
    const char *p = piece.data();
    const char *const end = p + piece.size();
    while (p != end) {
        // Most of a number is a run of mantissa digits: take it in one go.
        if ((m_state == State::Int || m_state == State::Fraction) && isDigit(*p)) {
            const char *const run = p;
            do
                ++p;
            while (p != end && isDigit(*p));
            addDigits(run, p, m_state == State::Fraction);
            continue;
        }
        const char c = *p++;
        if (m_grammar.ignoreBlanks && (c == ' ' || c == '\t' || c == '\n'))
            continue;
        const bool digit = isDigit(c);
        const bool sign = c == '+' || c == '-';
        const bool exponentLetter = c == 'e' || c == 'E' || (exponentD && (c == 'd' || c == 'D'));
        State next = State::Invalid;
        switch (m_state) {
        case State::Start:
            if (sign) {
                m_negative = c == '-';
                next = State::Sign;
                break;
            }
            if (c == '&' && m_grammar.radixPrefixes) {
                next = State::Ampersand;
                break;
            }
            [[fallthrough]];
        case State::Sign:
        case State::Int: {
            // Before any digit a point starts ".5"; after digits it ends them.
            const bool afterDigits = m_state == State::Int;
            if (digit) {
                addDigit(c - '0', false);
                next = State::Int;
            } else if (c == point) {
                next = afterDigits ? State::Fraction : State::Point;
            } else if (exponentLetter && afterDigits) {
                next = State::ExponentMark;
            }
            break;
        }
        case State::Point:
        case State::Fraction:
            if (digit) {
                addDigit(c - '0', true);
                next = State::Fraction;
            } else if (exponentLetter && m_state == State::Fraction) {
                next = State::ExponentMark;
            }
            break;
        case State::ExponentMark:
            if (sign) {
                m_exponentNegative = c == '-';
                next = State::ExponentSign;
                break;
            }
            [[fallthrough]];
        case State::ExponentSign:
        case State::Exponent:
            if (digit) {
                m_exponent = std::min(m_exponent * 10 + (c - '0'), ExponentCap);
                next = State::Exponent;
            }
            break;
        case State::Ampersand:
            if (c == 'H' || c == 'h' || c == 'O' || c == 'o') {
                m_radixBits = (c == 'H' || c == 'h') ? 4 : 3;
                next = State::Radix;
            }
            break;
        case State::Radix:
            if (const int d = digitOf(c, 1 << m_radixBits); d >= 0) {
                addRadixDigit(d);
                next = State::Radix;
            }
            break;
        case State::Invalid:
            return false;
        }
        if (next == State::Invalid) {
            // A character that cannot continue the number: a prefix ends
            // before it, a whole text is no number.
            if (m_grammar.prefix)
                m_ended = true;
            else
                m_state = State::Invalid;
            return false;
        }
        m_state = next;
    }
    return true;
}

double NumberScanner::decimalValue() const
{
    const double zero = m_negative ? -0.0 : 0.0;
    const double infinity = m_negative ? -HUGE_VAL : HUGE_VAL;
    if (!m_significant)
        return zero;
    // The value lies in [10^(e-1), 10^e). Far outside the double range the
    // answer is known without converting.
    const long long e = m_pointExponent + (m_exponentNegative ? -m_exponent : m_exponent);
    if (e > 400)
        return infinity;
    if (e < -400)
        return zero;

    // "0.DIGITS[1]e<e>" in a bounded buffer; a trailing 1 stands for the
    // non-zero digits that were not kept, which decides ties correctly.
    char text[2 + MaxDigits + 1 + 8];
    char *p = text;
    *p++ = '0';
    *p++ = '.';
    for (std::size_t i = 0; i < m_count; ++i)
        *p++ = m_digits[i];
    if (m_sticky)
        *p++ = '1';
    *p++ = 'e';
    p = std::to_chars(p, text + sizeof text, e).ptr;
    double value = 0.0;
    const auto r = std::from_chars(text, p, value);
    if (r.ec == std::errc::result_out_of_range)
        return e > 0 ? infinity : zero;
    return m_negative ? -value : value;
}

double NumberScanner::radixValue() const
{
    // A set lowest bit stands for the dropped bits that were not all zero:
    // with 60 or more bits kept it lies below the rounding position.
    const std::uint64_t top = m_sticky ? (m_radixTop | 1u) : m_radixTop;
    if (m_radixShift > 2048)
        return top == 0 ? 0.0 : HUGE_VAL;
    return std::ldexp(static_cast<double>(top), static_cast<int>(m_radixShift));
}

std::optional<double> NumberScanner::value() const
{
    switch (m_state) {
    case State::Int:
    case State::Fraction:
    case State::Exponent:
        return decimalValue();
    case State::ExponentMark:
    case State::ExponentSign:
        // "1e" or "1e+": a prefix reads the mantissa alone.
        if (m_grammar.prefix)
            return decimalValue();
        return std::nullopt;
    case State::Radix:
        return radixValue();
    case State::Start:
    case State::Sign:
    case State::Point:
    case State::Ampersand:
    case State::Invalid:
        break;
    }
    if (!m_grammar.prefix)
        return std::nullopt;
    return 0.0;
}

namespace {

/// The general scan, apart: its scanner's digit buffer would otherwise
/// give the quick path a large stack frame too.
[[gnu::noinline]] std::optional<double> scanWhole(std::string_view text, NumberGrammar grammar)
{
    NumberScanner scanner(grammar);
    scanner.feed(text);
    return scanner.value();
}

} // namespace

std::optional<double> scanNumber(std::string_view text, NumberGrammar grammar)
{
    double value = 0.0;
    if (!grammar.prefix && !grammar.ignoreBlanks && !grammar.radixPrefixes) {
        if (fast::shortDecimal(text, grammar.decimalComma ? ',' : '.', value))
            return value;
    }
    return scanWhole(text, grammar);
}

} // namespace kov
