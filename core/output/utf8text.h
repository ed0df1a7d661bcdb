#pragma once

#include <string>

namespace kov {

/// The text as well-formed UTF-8: each maximal ill-formed part (a byte that
/// cannot start a character, or the start of a character that breaks off)
/// becomes U+FFFD, as the JSON writer and the report do it. Text that is
/// UTF-8 already comes back unchanged.
std::string validUtf8(const std::string &text);

} // namespace kov
