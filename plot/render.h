#pragma once

#include "app/core/sharedstate.h"

#include <string>

namespace kov {

/// Draws the whole loop of a loaded record as "Draw" draws it with the
/// automatic range of the record (axes, path, markers) into a picture file:
/// .svg as a vector picture, anything else (.png) as an image, at the plot
/// area's size times scale. Needs no display. Returns false with error set
/// when the picture cannot be written.
bool renderLoopPicture(const SharedState &state, const std::string &path, double scale, std::string &error);

/// Plot area size in pixels (4095 x 3735 twips).
inline constexpr int PlotWidth = 273;
inline constexpr int PlotHeight = 249;

} // namespace kov
