#pragma once

#include "core/drawing/loopgeometry.h"
#include "core/state/sharedstate.h"

#include <cstddef>
#include <functional>
#include <vector>

namespace kov {

class PlotCanvas;

// The drawing of the loop plot, for the window's plot area and for picture
// files alike. The point of step i is drawn at (XData(i), -YData(i)), so a
// larger load is drawn higher. The colours are design::plotcolour.

/// Erases the plot area and resets the drawing position.
void ClearPlot(PlotCanvas &canvas);

/// Gives the canvas the user coordinates of loopCorners.
void SetPlotScale(PlotCanvas &canvas, const SharedState &state);

/// The blue X axis across the full width, then the blue Y axis from the
/// bottom edge to the top edge.
void DrawAxes(PlotCanvas &canvas, const SharedState &state);

/// ClearPlot, SetPlotScale and DrawAxes: the empty plot of the current range,
/// on which the whole loop or one cycle is drawn.
void drawEmptyPlot(PlotCanvas &canvas, const SharedState &state);

/// The start of a path at step first: a green point there, which also makes
/// it the drawing position.
void beginStepPath(PlotCanvas &canvas, const SharedState &state, int first);

/// Step i as the path shows it: a green line from the drawing position to its
/// point, a green circle of MarkerRadius, a blue one on every 5th step and a
/// red one on top on every 10th. Fails with error 9 outside 0..2000.
void drawPathStep(PlotCanvas &canvas, const SharedState &state, int i);

/// The path through steps first..last: beginStepPath, then drawPathStep for
/// each step in order.
void DrawStepPath(PlotCanvas &canvas, const SharedState &state, int first, int last);

/// The path of a long record as a person sees it, in far fewer drawing
/// commands than steps: a green point at step 1, the polyline through the
/// steps' pixels simplified so that every step left out lies within half a
/// pixel of it (simplifyPath), then the step markers that stay apart, their
/// centres at least one marker diameter from each other (spacedMarkers):
/// green circles, then blue on every 5th step and red on every 10th among
/// them. The peak steps and the end step of every cycle are always points of
/// the polyline and always marked.
void drawLightPath(PlotCanvas &canvas, const SharedState &state);

/// The whole loop of a loaded record as "Draw" shows it, in the range and
/// with the MarkerRadius the state holds: drawEmptyPlot, then beforePath (the
/// window shows the range in its fields and lets the cleared plot be seen),
/// then DrawStepPath(1, RowCount), or drawLightPath for a long record.
/// "Draw" and kov-batch's pictures both draw with it.
void drawWholeLoop(PlotCanvas &canvas, const SharedState &state, const std::function<void()> &beforePath = {});

/// The large filled markers of cycle n, radius MarkerRadius x 1.8 and outlined
/// in the default foreground colour: peak step 1 blue and peak step 2 dark
/// green (each unless 0), then the cycle end step red. The fill style is
/// solid meanwhile and transparent again afterwards.
void DrawCycleMarkers(PlotCanvas &canvas, const SharedState &state, int n);

} // namespace kov
