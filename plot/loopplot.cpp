#include "plot/loopplot.h"

#include "analysis/core/cycle.h"
#include "plot/plotcanvas.h"

#include <algorithm>
#include <cmath>

namespace kov {

namespace {
const QColor Green(0, 255, 0);
const QColor Blue(0, 0, 255);
const QColor Red(255, 0, 0);

double d(float v)
{
    return static_cast<double>(v);
}
} // namespace

void ClearPlot(PlotCanvas &canvas)
{
    canvas.Cls();
}

UserCorners loopCorners(const SharedState &state)
{
    return {d(state.ScaleXMin), -d(state.ScaleYMax), d(state.ScaleXMax), -d(state.ScaleYMin)};
}

void SetPlotScale(PlotCanvas &canvas, const SharedState &state)
{
    const UserCorners c = loopCorners(state);
    canvas.Scale(c.x1, c.y1, c.x2, c.y2);
}

SharedState withRecordRange(const SharedState &loaded)
{
    SharedState s = loaded;
    s.MaxAbsX = 0.0f;
    s.MaxAbsY = 0.0f;
    const int rows = static_cast<int>(s.RowCount);
    for (int i = 1; i <= rows; ++i) {
        s.MaxAbsX = std::max(s.MaxAbsX, std::fabs(s.XData(i)));
        s.MaxAbsY = std::max(s.MaxAbsY, std::fabs(s.YData(i)));
    }
    AutoRange(s);
    SetMarkerRadius(s);
    return s;
}

void DrawAxes(PlotCanvas &canvas, const SharedState &state)
{
    canvas.Line(d(state.ScaleXMin), 0.0, d(state.ScaleXMax), 0.0, Blue);
    canvas.Line(0.0, -d(state.ScaleYMin), 0.0, -d(state.ScaleYMax), Blue);
}

void drawPathStep(PlotCanvas &canvas, const SharedState &state, int i)
{
    const double x = d(state.XData(i));
    const double y = -d(state.YData(i));
    const double r = d(state.MarkerRadius);
    canvas.LineTo(x, y, Green);
    canvas.Circle(x, y, r, Green);
    if (i % 5 == 0)
        canvas.Circle(x, y, r, Blue);
    if (i % 10 == 0)
        canvas.Circle(x, y, r, Red);
}

void DrawStepPath(PlotCanvas &canvas, const SharedState &state, int first, int last)
{
    canvas.PSet(d(state.XData(first)), -d(state.YData(first)), Green);
    for (int i = first; i <= last; ++i)
        drawPathStep(canvas, state, i);
}

} // namespace kov
