#pragma once

// Where the loop of a record lies in a picture, without drawing it: the
// user coordinates of its range, its own automatic range, and the steps a
// light drawing of a long record keeps. The window, its pictures and the
// report share them.

#include "core/drawing/plotmapping.h"
#include "core/state/sharedstate.h"

#include <cstddef>
#include <vector>

namespace kov {

/// The user coordinates of the plot range: upper-left (ScaleXMin, -ScaleYMax),
/// lower-right (ScaleXMax, -ScaleYMin). Every drawing of the loop maps its
/// points through a PlotMapping set to these corners.
UserCorners loopCorners(const SharedState &state);

/// A copy of a loaded state whose range is the record's own automatic one,
/// as "Clear scale" gives it: MaxAbsX and MaxAbsY over steps 1..RowCount,
/// then AutoRange and the MarkerRadius of that range.
SharedState withRecordRange(const SharedState &loaded);

/// Whether the record is longer than the window shows (more than MaxStep
/// steps or MaxCycle cycles): its loop is then drawn light (drawLightPath).
bool isLongLoop(const SharedState &state);

/// The steps a light drawing always keeps and marks, as indices from 0 (step
/// less one): the start step of cycle 1, and the end step and both peak
/// steps of every cycle analysed.
std::vector<std::size_t> cycleSteps(const SharedState &state);

} // namespace kov
