#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kov {

/// What a number scan accepts. The program's three grammars are the
/// constants below; a caller picks one, as with fast_float's parse options.
/// The decimal separator never follows the locale: a point, or a comma
/// where the grammar says so.
struct NumberGrammar {
    /// D or d introduces an exponent, as E or e does.
    bool exponentD = false;
    /// Reads the longest leading number up to the first character that
    /// cannot continue it and ignores the rest; an exponent letter without
    /// digits after it is ignored too. Text that does not begin with a
    /// number gives 0. Without it the text must be a number as a whole.
    bool prefix = false;
    /// Blanks, tabs and line feeds anywhere in the text are ignored ("1 2" is 12).
    bool ignoreBlanks = false;
    /// "&H" and "&O" (either case) introduce a hexadecimal or an octal integer.
    bool radixPrefixes = false;
    /// A comma, not a point, separates the decimals ("1,5E-3").
    bool decimalComma = false;
};

/// A chosen field of a test record, as a whole:
/// [+-]? ( digits [ . digits? ] | . digits ) ( [EeDd] [+-]? digits )?
inline constexpr NumberGrammar FieldNumber{.exponentD = true};

/// A chosen field of a record written with decimal commas: the field
/// grammar with a comma in place of the point.
inline constexpr NumberGrammar FieldNumberDecimalComma{.exponentD = true, .decimalComma = true};

/// A decimal option value of kov-batch, as a whole: the field grammar with
/// E as the only exponent letter.
inline constexpr NumberGrammar OptionDecimal{};

/// The number prefix of a typed input field: blanks ignored, an optional
/// sign, digits with at most one point, an optional E or D exponent, or an
/// &H / &O integer; never refused.
inline constexpr NumberGrammar TypedPrefix{.exponentD = true, .prefix = true, .ignoreBlanks = true, .radixPrefixes = true};

/// Reads a number from text that may come in pieces (a field that spans two
/// reads of a file), in constant memory whatever the length of the text.
/// The value is the decimal (or &H/&O integer) correctly rounded to double:
/// any number of digits and any exponent; a magnitude beyond the double
/// range gives +-infinity, one below it gives 0 (with the sign).
class NumberScanner {
public:
    explicit NumberScanner(NumberGrammar grammar) : m_grammar(grammar) {}

    /// Takes the next piece of the text. Returns false once the rest of the
    /// text cannot change the outcome (a prefix has ended, or the text is
    /// already not a number), so the caller may stop feeding.
    bool feed(std::string_view piece);

    /// The number the text fed so far spells, or nullopt when it is not a
    /// number in the grammar (never for a prefix grammar).
    std::optional<double> value() const;

private:
    enum class State : std::uint8_t {
        Start, Sign, Int, Point, Fraction, ExponentMark, ExponentSign, Exponent, Ampersand, Radix, Invalid
    };

    void addDigit(int digit, bool fraction);
    /// Adds the run of decimal digits [p, end).
    void addDigits(const char *p, const char *end, bool fraction);
    void addRadixDigit(int digit);
    double decimalValue() const;
    double radixValue() const;

    /// Enough significant digits to round any decimal correctly to double:
    /// the exact midpoints between doubles have at most 767, so the digits
    /// after these only matter as "some non-zero digit follows" (sticky).
    static constexpr std::size_t MaxDigits = 800;

    NumberGrammar m_grammar;
    State m_state = State::Start;
    bool m_ended = false;           ///< a prefix has ended
    bool m_negative = false;
    bool m_exponentNegative = false;
    bool m_sticky = false;          ///< a non-zero digit beyond the kept ones
    bool m_significant = false;     ///< a non-zero mantissa digit was seen
    std::size_t m_count = 0;        ///< kept significant digits
    long long m_pointExponent = 0;  ///< value = 0.DIGITS x 10^(m_pointExponent + exponent)
    long long m_exponent = 0;       ///< the written exponent, saturated
    int m_radixBits = 0;            ///< 4 for &H, 3 for &O
    std::uint64_t m_radixTop = 0;   ///< leading bits of an &H/&O integer
    long long m_radixShift = 0;     ///< bits dropped after m_radixTop
    char m_digits[MaxDigits];
};

/// Scans the whole text at once (short decimals without an exponent on a
/// quicker path of the same result).
std::optional<double> scanNumber(std::string_view text, NumberGrammar grammar);

} // namespace kov
