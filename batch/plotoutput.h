#pragma once

#include "core/state/sharedstate.h"

#include <string>

namespace kov::batch {

/// Draws the loop of a loaded record, as "Draw" draws it with the automatic
/// range, into a .png or .svg file. Returns false with error set when the
/// picture cannot be made or written.
bool writeRecordPlot(const SharedState &state, const std::string &path, double scale, std::string &error);

} // namespace kov::batch
