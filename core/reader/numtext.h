#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kov {

/// Number-prefix conversion of a field's text. Blanks, tabs and line feeds
/// anywhere in the text are ignored ("1 2" reads 12); then an optional sign,
/// digits with at most one decimal point and an optional exponent introduced
/// by E or D (either case) are read up to the first character that cannot
/// continue the number. "&H" and "&O" read a hexadecimal or octal integer.
/// Text that does not begin with a number gives 0. The decimal separator is
/// always a point, whatever the locale. The result is correctly rounded; a
/// magnitude beyond the double range gives +-infinity, one below it 0.
double numberPrefix(std::string_view text);

/// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2,
/// 3.5 -> 4, -2.5 -> -2). Fails with error 6 outside -32768..32767 or for NaN.
std::int16_t roundToInt16(double value);

/// As roundToInt16, but a value outside the 16-bit range (or infinite) is
/// clamped to -32768 or 32767, and NaN gives 0. For typed input, which is
/// never refused.
std::int16_t clampToInt16(double value);

/// The 16-bit integer of a field's text: numberPrefix, then clampToInt16.
std::int16_t int16OfText(std::string_view text);

/// Rounds a double to the nearest float. Fails with error 6 when the result
/// is not finite (the value is beyond the float range, infinite or NaN).
float toFloat(double value);

/// As toFloat, but clamps a value beyond the float range to +-the largest
/// float; NaN gives 0.
float clampToFloat(double value);

/// The number of a field's text as single precision: numberPrefix, then
/// clampToFloat.
float floatOfText(std::string_view text);

/// Integer text: decimal digits with "-" before a negative value (5 -> "5").
std::string integerText(long long value);

/// Short number text of a float: at most 7 significant digits, no trailing
/// zeros, a point as separator with a 0 before it below 1 ("0.154"), "-" only
/// before a negative value. Exponent form ("1.234568E+07", "1E-06") when the
/// decimal exponent of the 7-digit rounding is below -5 or above 6, that is
/// for magnitudes below 0.00001 or from 10000000 on. -0 gives "0".
std::string shortNumberText(float value);

} // namespace kov
