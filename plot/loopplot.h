#pragma once

#include "app/core/sharedstate.h"

namespace kov {

class PlotCanvas;

// The base drawing operations of the loop plot. The point of step i is drawn
// at (XData(i), -YData(i)), so a larger load is drawn higher.

/// Erases the plot area and resets the drawing position.
void ClearPlot(PlotCanvas &canvas);

/// User coordinates from the plot range: upper-left (ScaleXMin, -ScaleYMax),
/// lower-right (ScaleXMax, -ScaleYMin).
void SetPlotScale(PlotCanvas &canvas, const SharedState &state);

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
