#pragma once

// What kov-batch needs to know about loop pictures without drawing one:
// their size and the names they may have. No Qt, and nothing from the
// window's folders: the drawing code checks at compile time that the plot
// size here is the window's.

#include <cmath>
#include <cstddef>
#include <string_view>

namespace kov {

/// Plot area size in pixels, as the window's design gives it (Picture1,
/// 4095 x 3735 twips).
inline constexpr int PlotWidth = 273;
inline constexpr int PlotHeight = 249;

/// The size in pixels of a picture drawn at scale: the plot area's size
/// times scale, rounded. A scale that gives less than one pixel either way
/// draws no picture.
inline int pictureWidth(double scale)
{
    return static_cast<int>(std::lround(PlotWidth * scale));
}
inline int pictureHeight(double scale)
{
    return static_cast<int>(std::lround(PlotHeight * scale));
}

/// True when name ends in suffix (lower case), ASCII letters compared
/// without case.
inline bool endsWithNoCase(std::string_view name, std::string_view suffix)
{
    if (name.size() < suffix.size())
        return false;
    name.remove_prefix(name.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const char c = name[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != suffix[i])
            return false;
    }
    return true;
}

/// True when name ends in ".svg" (either case): a vector picture.
inline bool isSvgName(std::string_view name)
{
    return endsWithNoCase(name, ".svg");
}

/// True when name ends in ".png" or ".svg" (either case), the two kinds of
/// picture.
inline bool hasPictureExtension(std::string_view name)
{
    return isSvgName(name) || endsWithNoCase(name, ".png");
}

} // namespace kov
