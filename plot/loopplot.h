#pragma once

#include "app/core/sharedstate.h"
#include "plot/plotmapping.h"

namespace kov {

class PlotCanvas;

// The base drawing operations of the loop plot. The point of step i is drawn
// at (XData(i), -YData(i)), so a larger load is drawn higher.

/// Erases the plot area and resets the drawing position.
void ClearPlot(PlotCanvas &canvas);

/// The user coordinates of the plot range: upper-left (ScaleXMin, -ScaleYMax),
/// lower-right (ScaleXMax, -ScaleYMin). Every drawing of the loop maps its
/// points through a PlotMapping set to these corners.
UserCorners loopCorners(const SharedState &state);

/// Gives the canvas the user coordinates of loopCorners.
void SetPlotScale(PlotCanvas &canvas, const SharedState &state);

/// A copy of a loaded state whose range is the record's own automatic one,
/// as "Clear scale" gives it: MaxAbsX and MaxAbsY over steps 1..RowCount,
/// then AutoRange and the MarkerRadius of that range.
SharedState withRecordRange(const SharedState &loaded);

/// The blue X axis across the full width, then the blue Y axis from the
/// bottom edge to the top edge.
void DrawAxes(PlotCanvas &canvas, const SharedState &state);

/// Step i as the path shows it: a green line from the drawing position to its
/// point, a green circle of MarkerRadius, a blue one on every 5th step and a
/// red one on top on every 10th. Fails with error 9 outside 0..2000.
void drawPathStep(PlotCanvas &canvas, const SharedState &state, int i);

/// The path through steps first..last: a green point at step first, then
/// drawPathStep for each step in order.
void DrawStepPath(PlotCanvas &canvas, const SharedState &state, int first, int last);

} // namespace kov
