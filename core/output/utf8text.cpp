#include "core/output/utf8text.h"

namespace kov {

std::string validUtf8(const std::string &text)
{
    static const std::string Replacement = "\xef\xbf\xbd";
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
        const unsigned char lead = byte(i);
        if (lead < 0x80) {
            out += text[i++];
            continue;
        }
        // The length of the character and the range of its second byte,
        // which excludes overlong forms, surrogates and code points beyond
        // U+10FFFF; later bytes are 80..BF.
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF)
            length = 2;
        else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0;
            else if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90;
            else if (lead == 0xF4)
                high = 0x8F;
        }
        std::size_t k = i + 1;
        if (length != 0) {
            for (; k < i + length && k < n; ++k) {
                const unsigned char b = byte(k);
                if (b < low || b > high)
                    break;
                low = 0x80;
                high = 0xBF;
            }
        }
        if (length != 0 && k == i + length)
            out.append(text, i, length);
        else
            out += Replacement;
        i = k;
    }
    return out;
}

} // namespace kov
