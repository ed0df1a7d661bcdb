#include "pictures/loopplot.h"

#include "core/analysis/cycle.h"
#include "core/drawing/pathsimplify.h"
#include "core/reader/numtext.h"
#include "pictures/plotcanvas.h"
#include "pictures/qtcolour.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kov {

namespace {

double d(float v)
{
    return static_cast<double>(v);
}

/// A large marker around the point of step, filled with fill.
void drawMarker(PlotCanvas &canvas, const SharedState &s, int step, design::Rgb fill, double radius)
{
    canvas.setFillColor(design::qColor(fill));
    canvas.Circle(d(s.XData(step)), -d(s.YData(step)), radius);
}

} // namespace

void ClearPlot(PlotCanvas &canvas)
{
    canvas.Cls();
}

void SetPlotScale(PlotCanvas &canvas, const SharedState &state)
{
    const UserCorners c = loopCorners(state);
    canvas.Scale(c.x1, c.y1, c.x2, c.y2);
}

void DrawAxes(PlotCanvas &canvas, const SharedState &state)
{
    const QColor axes = design::qColor(design::plotcolour::Axes);
    canvas.Line(d(state.ScaleXMin), 0.0, d(state.ScaleXMax), 0.0, axes);
    canvas.Line(0.0, -d(state.ScaleYMin), 0.0, -d(state.ScaleYMax), axes);
}

void drawEmptyPlot(PlotCanvas &canvas, const SharedState &state)
{
    ClearPlot(canvas);
    SetPlotScale(canvas, state);
    DrawAxes(canvas, state);
}

void drawPathStep(PlotCanvas &canvas, const SharedState &state, int i)
{
    const double x = d(state.XData(i));
    const double y = -d(state.YData(i));
    const double r = d(state.MarkerRadius);
    const QColor path = design::qColor(design::plotcolour::Path);
    canvas.LineTo(x, y, path);
    canvas.Circle(x, y, r, path);
    if (i % 5 == 0)
        canvas.Circle(x, y, r, design::qColor(design::plotcolour::EveryFifth));
    if (i % 10 == 0)
        canvas.Circle(x, y, r, design::qColor(design::plotcolour::EveryTenth));
}

void beginStepPath(PlotCanvas &canvas, const SharedState &state, int first)
{
    canvas.PSet(d(state.XData(first)), -d(state.YData(first)), design::qColor(design::plotcolour::Path));
}

void DrawStepPath(PlotCanvas &canvas, const SharedState &state, int first, int last)
{
    beginStepPath(canvas, state, first);
    for (int i = first; i <= last; ++i)
        drawPathStep(canvas, state, i);
}

void drawLightPath(PlotCanvas &canvas, const SharedState &state)
{
    const int rows = static_cast<int>(state.RowCount);
    if (rows < 1)
        return;
    const PlotMapping &m = canvas.mapping();
    // Each step on the centre of its pixel, where the canvas draws it.
    std::vector<PixelPoint> pixels(static_cast<std::size_t>(rows));
    for (int i = 1; i <= rows; ++i)
        pixels[static_cast<std::size_t>(i - 1)] = {std::floor(m.toPixelX(d(state.XData(i)))) + 0.5,
                                                   std::floor(m.toPixelY(-d(state.YData(i)))) + 0.5};
    const std::vector<std::size_t> marked = cycleSteps(state);
    const QColor path = design::qColor(design::plotcolour::Path);
    beginStepPath(canvas, state, 1);
    std::vector<QPointF> line;
    for (const std::size_t i : simplifyPath(pixels, 0.5, marked))
        line.emplace_back(pixels[i].x, pixels[i].y);
    canvas.PixelPolyline(line, path);

    const double r = d(state.MarkerRadius);
    const std::vector<std::size_t> markers = spacedMarkers(pixels, 2.0 * m.toPixelsHorizontal(r), marked);
    auto circles = [&](int every, const QColor &colour) {
        for (const std::size_t i : markers) {
            const int step = static_cast<int>(i) + 1;
            if (step % every == 0)
                canvas.Circle(d(state.XData(step)), -d(state.YData(step)), r, colour);
        }
    };
    circles(1, path);
    circles(5, design::qColor(design::plotcolour::EveryFifth));
    circles(10, design::qColor(design::plotcolour::EveryTenth));
}

void drawWholeLoop(PlotCanvas &canvas, const SharedState &state, const std::function<void()> &beforePath)
{
    drawEmptyPlot(canvas, state);
    if (beforePath)
        beforePath();
    if (isLongLoop(state))
        drawLightPath(canvas, state);
    else
        DrawStepPath(canvas, state, 1, static_cast<int>(state.RowCount));
}

void DrawCycleMarkers(PlotCanvas &canvas, const SharedState &state, int n)
{
    const double radius = d(clampToFloat(d(state.MarkerRadius) * 1.8));
    canvas.setFillStyle(0);
    if (state.PeakStep(0, n) != 0)
        drawMarker(canvas, state, state.PeakStep(0, n), design::plotcolour::PeakStep1, radius);
    if (state.PeakStep(1, n) != 0)
        drawMarker(canvas, state, state.PeakStep(1, n), design::plotcolour::PeakStep2, radius);
    drawMarker(canvas, state, state.CycleEndStep(n), design::plotcolour::EndStep, radius);
    canvas.setFillStyle(1);
}

} // namespace kov
