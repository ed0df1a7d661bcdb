#pragma once

#include "core/drawing/design.h"
#include "core/drawing/picturefile.h"
#include "core/state/sharedstate.h"

#include <string>

namespace kov {

static_assert(PlotWidth == design::PlotWidth && PlotHeight == design::PlotHeight,
              "the picture size kov-batch plans with is the plot area's");

/// Draws the whole loop of a loaded record as "Draw" draws it with the
/// automatic range of the record (axes, path, markers) into a picture file:
/// .svg as a vector picture, anything else (.png) as an image, at the plot
/// area's size times scale. Needs no display. The file is written whole or
/// not at all (writeFileAtomically): a symbolic link at path is replaced,
/// never followed. Returns false with error set when the picture cannot be
/// made or written; the error then names the file, the reason and the error
/// number ("Cannot write pic.png: Disk full (61)").
bool renderLoopPicture(const SharedState &state, const std::string &path, double scale, std::string &error);

} // namespace kov
