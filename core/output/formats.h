#pragma once

#include <string>

namespace kov {

/// "###0.000": fixed point, three decimals, at least one digit before the
/// point, "-" before a negative value, rounded half away from zero from the
/// exact binary value (1.0625 -> "1.063"). -0 prints "0.000"; a negative
/// value that rounds to zero prints "-0.000". Never cut to a width.
std::string formatFixed3(float value);

/// "0.0000e+00": one digit, point, four decimals, "e", exponent sign and at
/// least two digits; the mantissa rounded half away from zero to five
/// significant digits from the exact value (0.328125 -> "3.2813e-01");
/// zero is "0.0000e+00".
std::string formatExp4(float value);

/// Right-aligns text in width characters (longer text is kept whole).
std::string padLeft(const std::string &text, std::size_t width);

} // namespace kov
