// libFuzzer harness: the number texts of the display fields and of the
// results file, for every float bit pattern.
//
// The first four bytes are a float; each text must read back (strtod) close
// to it: the short number text within its 7 significant digits, "###0.000"
// within half a thousandth, "0.0000e+00" within half a unit of its fifth
// digit. The rest of the input goes through the 16-bit conversion.

#include "core/output/formats.h"
#include "core/reader/numtext.h"

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

double readBack(const std::string &text)
{
    char *end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    check(end == text.c_str() + text.size()); // the whole text is one number
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 4)
        return 0;
    std::setlocale(LC_NUMERIC, "C");
    float value;
    std::memcpy(&value, data, 4);
    const double exact = static_cast<double>(value);

    const std::string shortText = kov::shortNumberText(value);
    const std::string fixed = kov::formatFixed3(value);
    const std::string exp4 = kov::formatExp4(value);
    if (std::isfinite(value)) {
        const double s = readBack(shortText);
        check(std::fabs(s - exact) <= std::fabs(exact) * 5.0000001e-7);
        check(shortText.size() <= 14);
        check(shortText.find(',') == std::string::npos);

        const double x = readBack(fixed);
        check(std::fabs(x - exact) <= 0.0005 * (1 + 1e-9) + std::fabs(exact) * 1e-15);
        const std::size_t point = fixed.find('.');
        check(point != std::string::npos && point > 0 && fixed.size() - point == 4);

        const double e = readBack(exp4);
        check(std::fabs(e - exact) <= std::fabs(exact) * 5.0000001e-5);
        // d.dddde+XX: one digit before the point, four after, signed exponent.
        const std::size_t at = exp4[0] == '-' ? 1 : 0;
        check(exp4.size() >= at + 10 && exp4[at + 1] == '.' && exp4[at + 6] == 'e');
        check(exp4[at + 7] == '+' || exp4[at + 7] == '-');
        if (value != 0.0f)
            check(exp4[at] != '0');
        // Only a value below zero carries a minus sign (-0 does not).
        check((shortText[0] == '-') == (value < 0.0f));
        check((exp4[0] == '-') == (value < 0.0f));
    }

    const std::string_view rest(reinterpret_cast<const char *>(data + 4), size - 4);
    const std::int16_t n = kov::int16OfText(rest);
    check(kov::integerText(n) == std::to_string(n));
    return 0;
}
