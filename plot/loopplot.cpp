#include "plot/loopplot.h"

#include "plot/plotcanvas.h"

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

void SetPlotScale(PlotCanvas &canvas, const SharedState &state)
{
    canvas.Scale(d(state.ScaleXMin), -d(state.ScaleYMax), d(state.ScaleXMax), -d(state.ScaleYMin));
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
