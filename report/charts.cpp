#include "report/charts.h"

#include "core/drawing/loopgeometry.h"
#include "core/drawing/pathsimplify.h"
#include "core/drawing/picturefile.h"
#include "report/reportformat.h"
#include "report/svgwriter.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace kov::report {

namespace {

constexpr double TickFontPixels = 12;
constexpr double TitleFontPixels = 13;
constexpr double MarkFontPixels = 10;

/// Attributes of a group of labels: size, colour and which end is the anchor.
std::string labelGroup(double size, const char *anchor)
{
    std::string a = "font-size=\"";
    appendNumber(a, size);
    a += std::string("\" fill=\"") + colour::Text + "\"";
    if (anchor != nullptr)
        a += std::string(" text-anchor=\"") + anchor + "\"";
    return a;
}

/// Attributes of a group of lines: no fill, a stroke of colour and width,
/// dashed with the given pattern when there is one.
std::string strokeGroup(const char *colour, double width, const char *dashes = nullptr)
{
    std::string a = std::string("fill=\"none\" stroke=\"") + colour + "\"";
    if (width != 1.0) {
        a += " stroke-width=\"";
        appendNumber(a, width);
        a += '"';
    }
    if (dashes != nullptr)
        a += std::string(" stroke-dasharray=\"") + dashes + "\"";
    return a;
}

std::string fillGroup(const char *colour)
{
    return std::string("fill=\"") + colour + "\"";
}

/// A plot area inside a chart and its user coordinates.
struct Area {
    double left = 0.0;
    double top = 0.0;
    PlotMapping mapping;
    double x(double v) const { return left + mapping.toPixelX(v); }
    double y(double v) const { return top + mapping.toPixelY(v); }
    double right() const { return left + mapping.width(); }
    double bottom() const { return top + mapping.height(); }
};

/// The width of the widest tick label.
double labelWidth(const Ticks &t)
{
    double width = 0.0;
    for (int i = 0; i < t.count; ++i)
        width = std::max(width, textWidth(t.text(i), TickFontPixels));
    return width;
}

/// The grid lines of the Y ticks (v gives the drawing coordinate of a tick
/// value) and their labels on the left; returns the labels' width.
double yGrid(Svg &svg, const Area &a, const Ticks &t, const std::function<double(double)> &v)
{
    svg.group(strokeGroup(colour::Grid, 1.0));
    PathData lines;
    for (int i = 0; i < t.count; ++i) {
        lines.moveTo(a.left, a.y(v(t.at(i))));
        lines.lineTo(a.right(), a.y(v(t.at(i))));
    }
    svg.path(lines);
    svg.group(labelGroup(TickFontPixels, "end"));
    for (int i = 0; i < t.count; ++i)
        svg.text(a.left - 6, a.y(v(t.at(i))) + BaselineShift * TickFontPixels, t.text(i));
    return labelWidth(t);
}

void xGrid(Svg &svg, const Area &a, const Ticks &t)
{
    svg.group(strokeGroup(colour::Grid, 1.0));
    PathData lines;
    for (int i = 0; i < t.count; ++i) {
        lines.moveTo(a.x(t.at(i)), a.top);
        lines.lineTo(a.x(t.at(i)), a.bottom());
    }
    svg.path(lines);
    svg.group(labelGroup(TickFontPixels, "middle"));
    for (int i = 0; i < t.count; ++i)
        svg.text(a.x(t.at(i)), a.bottom() + 12 + BaselineShift * TickFontPixels, t.text(i));
}

void frame(Svg &svg, const Area &a)
{
    svg.group(strokeGroup(colour::Frame, 1.0));
    svg.rect(a.left, a.top, a.right(), a.bottom());
}

/// The axis titles: x centred below the area, y reading upwards beside the
/// Y tick labels (labelWidth wide), kept inside the chart.
void titles(Svg &svg, const Area &a, const std::string &x, const std::string &y, double labelWidth)
{
    const double shift = BaselineShift * TitleFontPixels;
    svg.group(labelGroup(TitleFontPixels, "middle"));
    svg.text((a.left + a.right()) / 2, a.bottom() + 32 + shift, x);
    svg.text(std::max(a.left - labelWidth - 16, 9.0) + shift, (a.top + a.bottom()) / 2, y, -90);
}

std::string withUnit(const std::string &title, const std::string &unit)
{
    return unit.empty() ? title : title + " (" + unit + ")";
}

// ---- The loop

constexpr int LoopLeft = 64;
constexpr int LoopTop = 12;
constexpr int LoopRight = 16;
constexpr int LoopBottom = 46;

Area loopArea(const SharedState &ranged)
{
    Area a{LoopLeft, LoopTop, PlotMapping(PlotWidth * LoopScale, PlotHeight * LoopScale)};
    a.mapping.setScale(loopCorners(ranged));
    return a;
}

/// The indices of the points to draw: all of them, or for a light drawing
/// those that keep the path within half a unit (within more, where that
/// still needs more than MaxPathPoints) and always the cycles' steps.
std::vector<std::size_t> drawnPoints(const std::vector<PixelPoint> &pixels, const SharedState &s, bool light)
{
    if (!light) {
        std::vector<std::size_t> all(pixels.size());
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] = i;
        return all;
    }
    const std::vector<std::size_t> always = cycleSteps(s);
    std::vector<std::size_t> kept = simplifyPath(pixels, 0.5, always);
    for (double tolerance = 1.0; kept.size() > MaxPathPoints && kept.size() > always.size() + 2; tolerance *= 2.0)
        kept = simplifyPath(pixels, tolerance, always);
    return kept;
}

// ---- The per-cycle charts

constexpr int CycleWidth = 420;
constexpr int CycleHeight = 260;
constexpr int CycleTop = 12;
constexpr int CycleBottom = 46;
constexpr int CycleRight = 18;

/// The room beside the area for tick labels labelWidth wide and the axis
/// title along them.
double axisRoom(double labelWidth)
{
    return std::ceil(labelWidth) + 26.0;
}

/// The area of a per-cycle chart, left and right pixels in from the edges:
/// cycles 1..n across, each in a band of width 1 around its number; lo..hi up.
Area cycleArea(std::size_t n, double lo, double hi, double left, double right)
{
    Area a{left, CycleTop,
           PlotMapping(static_cast<int>(CycleWidth - left - right), CycleHeight - CycleTop - CycleBottom)};
    a.mapping.setScale(0.5, hi, static_cast<double>(n) + 0.5, lo);
    return a;
}

/// Integer ticks of the cycle numbers 1..n.
Ticks cycleTicks(std::size_t n)
{
    return niceTicks(1.0, static_cast<double>(n), static_cast<int>(std::min<std::size_t>(n, 10)));
}

/// A value of each cycle, and whether the cycle is open.
struct CycleSeries {
    std::vector<std::optional<double>> values;
    std::vector<bool> open;
    bool anyOpen() const { return std::find(open.begin(), open.end(), true) != open.end(); }
};

CycleSeries seriesOf(const RecordMetrics &m, const std::function<std::optional<double>(const CycleMetrics &)> &value)
{
    CycleSeries s;
    for (const CycleMetrics &c : m.cycles) {
        s.values.push_back(value(c));
        s.open.push_back(!c.closed);
    }
    return s;
}

/// The range lo..hi (with 0 and atLeast) of the finite values of the closed
/// cycles, widened to whole ticks.
void valueRange(const CycleSeries &series, double &lo, double &hi, double atLeast = 0.0)
{
    lo = 0.0;
    hi = atLeast;
    for (std::size_t i = 0; i < series.values.size(); ++i) {
        const auto &v = series.values[i];
        if (v && std::isfinite(*v) && !series.open[i]) {
            lo = std::min(lo, *v);
            hi = std::max(hi, *v);
        }
    }
    niceRange(lo, hi, 6);
}

/// Up to this many cycles a series shows a dot at each value; beyond, the
/// dots would merge into the line and only swell the page. An open cycle's
/// value always has its (hollow) dot.
constexpr std::size_t MaxDottedCycles = 40;

/// Where a value lies in the area: at its place, or beyond the scale at the
/// edge it passes (clipped).
struct Placed {
    double y = 0.0;
    int beyond = 0; ///< -1 below the area, 1 above it, 0 within
};

Placed place(const Area &a, double v)
{
    const double y = a.y(v);
    if (y < a.top)
        return {a.top, 1};
    if (y > a.bottom())
        return {a.bottom(), -1};
    return {y, 0};
}

/// The marks of values beyond the scale: a small triangle on the edge,
/// pointing outwards, in colour, with the value beside it (on line row of
/// the labels, so that two series' marks at one cycle stay apart).
void beyondMarks(Svg &svg, const Area &a, const CycleSeries &series, const char *colour, int row = 0)
{
    std::vector<std::pair<std::size_t, Placed>> marks;
    for (std::size_t i = 0; i < series.values.size(); ++i) {
        const auto &v = series.values[i];
        if (v && std::isfinite(*v))
            if (const Placed p = place(a, *v); p.beyond != 0)
                marks.emplace_back(i, p);
    }
    if (marks.empty())
        return;
    svg.group(fillGroup(colour));
    for (const auto &[i, p] : marks) {
        const double x = a.x(static_cast<double>(i + 1));
        PathData d;
        d.moveTo(x - 4, p.y);
        d.lineTo(x + 4, p.y);
        d.lineTo(x, p.y - 6 * p.beyond);
        svg.path(d);
    }
    // The values on a white halo, legible over the lines they cross.
    svg.group(labelGroup(MarkFontPixels, nullptr) + " stroke=\"#ffffff\" stroke-width=\"3\" paint-order=\"stroke\"");
    for (const auto &[i, p] : marks) {
        const double v = *series.values[i];
        const std::string text = formatNumber(v, columnFormat(std::fabs(v)));
        const double x = a.x(static_cast<double>(i + 1));
        // Beside the triangle, on the side with room, just inside the area.
        const double width = textWidth(text, MarkFontPixels);
        const double left = x + 6 + width <= a.right() ? x + 6 : x - 6 - width;
        svg.text(left, p.y + (p.beyond > 0 ? 9 + 11 * row : -3 - 11 * row), text);
    }
}

/// A series over the cycles: a line through the values of the closed
/// cycles (broken where one does not exist), the lines to and from an open
/// cycle's value dashed; a dot at each value, hollow for an open cycle.
void drawSeries(Svg &svg, const Area &a, const CycleSeries &series, const char *colour, int markRow = 0)
{
    const std::size_t n = series.values.size();
    std::vector<std::optional<Point>> points(n);
    for (std::size_t i = 0; i < n; ++i)
        if (const auto &v = series.values[i]; v && std::isfinite(*v))
            points[i] = Point{a.x(static_cast<double>(i + 1)), place(a, *v).y};
    // The closed cycles' runs as polylines (one move a run); each line to
    // or from an open cycle's value on its own, dashed.
    PathData runs, dashed;
    std::optional<std::size_t> runEnd; // the last point of runs
    for (std::size_t i = 1; i < n; ++i) {
        if (!points[i] || !points[i - 1])
            continue;
        if (series.open[i] || series.open[i - 1]) {
            dashed.moveTo(points[i - 1]->x, points[i - 1]->y);
            dashed.lineTo(points[i]->x, points[i]->y);
            continue;
        }
        if (runEnd != i - 1)
            runs.moveTo(points[i - 1]->x, points[i - 1]->y);
        runs.lineTo(points[i]->x, points[i]->y);
        runEnd = i;
    }
    svg.group(strokeGroup(colour, 1.5));
    svg.path(runs);
    if (!dashed.empty()) {
        svg.group(strokeGroup(colour, 1.5, OpenDashes));
        svg.path(dashed);
    }
    if (n <= MaxDottedCycles) {
        svg.group(fillGroup(colour));
        for (std::size_t i = 0; i < n; ++i)
            if (points[i] && !series.open[i])
                svg.circle(points[i]->x, points[i]->y, 2.5);
    }
    if (series.anyOpen()) {
        svg.group(std::string("fill=\"#ffffff\" stroke=\"") + colour + "\" stroke-width=\"1.5\"");
        for (std::size_t i = 0; i < n; ++i)
            if (points[i] && series.open[i])
                svg.circle(points[i]->x, points[i]->y, 3);
    }
    beyondMarks(svg, a, series, colour, markRow);
}

/// A bar per cycle from 0 to its value, filled with fill(i); an open
/// cycle's bar hollow, its outline dashed in that colour. Bars reach no
/// further than the area's edges.
void drawBars(Svg &svg, const Area &a, const CycleSeries &series, const std::function<const char *(std::size_t)> &fill)
{
    const char *current = nullptr;
    for (std::size_t i = 0; i < series.values.size(); ++i) {
        const auto &v = series.values[i];
        if (!v || !std::isfinite(*v) || series.open[i])
            continue;
        if (current == nullptr || std::string_view(current) != fill(i)) {
            current = fill(i);
            svg.group(fillGroup(current));
        }
        const double x = static_cast<double>(i + 1);
        svg.rect(a.x(x - 0.35), place(a, std::max(*v, 0.0)).y, a.x(x + 0.35), place(a, std::min(*v, 0.0)).y);
    }
    for (std::size_t i = 0; i < series.values.size(); ++i) {
        const auto &v = series.values[i];
        if (!v || !std::isfinite(*v) || !series.open[i])
            continue;
        svg.group(std::string("fill=\"#ffffff\" stroke=\"") + fill(i) + "\" stroke-dasharray=\"" + OpenDashes + "\"");
        const double x = static_cast<double>(i + 1);
        svg.rect(a.x(x - 0.35), place(a, std::max(*v, 0.0)).y, a.x(x + 0.35), place(a, std::min(*v, 0.0)).y);
    }
}

/// A dashed horizontal line across the area at value v.
void limitLine(Svg &svg, const Area &a, double v)
{
    svg.group(strokeGroup(colour::Frame, 1.0, "4 2"));
    svg.line(a.left, a.y(v), a.right(), a.y(v));
}

/// A chart of one series per cycle on a left axis; limit, when there is
/// one, dashed across it.
std::string seriesChart(const CycleSeries &series, double atLeast, const std::string &yTitle, const std::string &label,
                        std::optional<double> limit = std::nullopt)
{
    double lo = 0.0, hi = 0.0;
    valueRange(series, lo, hi, atLeast);
    Svg svg(CycleWidth, CycleHeight, label);
    const Ticks ticks = niceTicks(lo, hi, 6);
    const Area a = cycleArea(series.values.size(), lo, hi, axisRoom(labelWidth(ticks)), CycleRight);
    const double width = yGrid(svg, a, ticks, [](double v) { return v; });
    xGrid(svg, a, cycleTicks(series.values.size()));
    frame(svg, a);
    if (limit)
        limitLine(svg, a, *limit);
    drawSeries(svg, a, series, colour::Series);
    titles(svg, a, "Cycle", yTitle, width);
    return svg.finish();
}

constexpr int OverlayWidth = 520;
constexpr int OverlayHeight = 340;

} // namespace

std::string overlayChart(const std::vector<OverlayLine> &lines, const std::string &xTitle, const std::string &yTitle,
                         const std::string &label, double width, std::optional<double> limit)
{
    double xLo = 0.0, xHi = 0.0, yLo = 0.0, yHi = limit.value_or(0.0);
    for (const OverlayLine &line : lines)
        for (const auto &run : line.runs)
            for (const EnvelopePoint &p : run)
                if (std::isfinite(p.x) && std::isfinite(p.y)) {
                    xLo = std::min(xLo, p.x);
                    xHi = std::max(xHi, p.x);
                    yLo = std::min(yLo, p.y);
                    yHi = std::max(yHi, p.y);
                }
    niceRange(xLo, xHi, 8);
    niceRange(yLo, yHi, 7);
    Svg svg(OverlayWidth, OverlayHeight, label);
    const Ticks yTicks = niceTicks(yLo, yHi, 7);
    const double left = axisRoom(labelWidth(yTicks));
    Area a{left, CycleTop,
           PlotMapping(static_cast<int>(OverlayWidth - left - CycleRight), OverlayHeight - CycleTop - CycleBottom)};
    a.mapping.setScale(xLo, yHi, xHi, yLo);
    const double labels = yGrid(svg, a, yTicks, [](double v) { return v; });
    xGrid(svg, a, niceTicks(xLo, xHi, 8));
    svg.group(strokeGroup(colour::Frame, 1.0));
    PathData zero;
    zero.moveTo(a.left, a.y(0.0));
    zero.lineTo(a.right(), a.y(0.0));
    zero.moveTo(a.x(0.0), a.top);
    zero.lineTo(a.x(0.0), a.bottom());
    svg.path(zero);
    svg.rect(a.left, a.top, a.right(), a.bottom());
    if (limit)
        limitLine(svg, a, *limit);
    // One path per colour, in the order the colours first come.
    std::vector<std::pair<std::string, PathData>> paths;
    for (const OverlayLine &line : lines) {
        auto it = std::find_if(paths.begin(), paths.end(), [&](const auto &p) { return p.first == line.colour; });
        if (it == paths.end())
            it = paths.insert(paths.end(), {line.colour, PathData()});
        for (const auto &run : line.runs) {
            bool drawing = false;
            for (const EnvelopePoint &p : run) {
                if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
                    drawing = false;
                    continue;
                }
                if (drawing)
                    it->second.lineTo(a.x(p.x), a.y(p.y));
                else
                    it->second.moveTo(a.x(p.x), a.y(p.y));
                drawing = true;
            }
        }
    }
    for (const auto &[c, d] : paths) {
        if (d.empty())
            continue;
        svg.group(strokeGroup(c.c_str(), width) + " stroke-linejoin=\"round\"");
        svg.path(d);
    }
    titles(svg, a, xTitle, yTitle, labels);
    return svg.finish();
}

LoopFrame loopFrame(const SharedState &state)
{
    const auto ranged = std::make_unique<SharedState>(withRecordRange(state));
    const Area a = loopArea(*ranged);
    return {a.left, a.top, a.mapping};
}

std::string loopChart(const SharedState &state, const RecordMetrics &metrics, const std::string &xUnit,
                      const std::string &yUnit)
{
    const auto ranged = std::make_unique<SharedState>(withRecordRange(state));
    const SharedState &s = *ranged;
    const Area a = loopArea(s);
    Svg svg(LoopLeft + PlotWidth * LoopScale + LoopRight, LoopTop + PlotHeight * LoopScale + LoopBottom,
            "Hysteresis loop");
    // Drawing coordinates are (X, -Y), as in the window: a larger load is higher.
    auto point = [&](double x, double y) { return Point{a.x(x), a.y(-y)}; };

    const double width = yGrid(svg, a, niceTicks(s.ScaleYMin, s.ScaleYMax, 9), [](double v) { return -v; });
    xGrid(svg, a, niceTicks(s.ScaleXMin, s.ScaleXMax, 9));
    svg.group(strokeGroup(colour::Frame, 1.0));
    PathData zero;
    zero.polyline({point(s.ScaleXMin, 0.0), point(s.ScaleXMax, 0.0)});
    zero.polyline({point(0.0, s.ScaleYMin), point(0.0, s.ScaleYMax)});
    svg.path(zero);
    svg.rect(a.left, a.top, a.right(), a.bottom());

    const int rows = static_cast<int>(s.RowCount);
    const bool light = isLongLoop(s);
    std::vector<PixelPoint> pixels;
    pixels.reserve(static_cast<std::size_t>(rows));
    for (int i = 1; i <= rows; ++i) {
        const Point q = point(s.XData(i), s.YData(i));
        pixels.push_back({q.x, q.y});
    }
    // The steps of an open cycle (after its start step, up to its end) are
    // drawn dashed, the others solid.
    std::vector<bool> openStep(pixels.size(), false);
    for (const CycleMetrics &c : metrics.cycles)
        if (!c.closed)
            for (int k = std::max(c.startStep + 1, 1); k <= std::min(c.endStep, rows); ++k)
                openStep[static_cast<std::size_t>(k - 1)] = true;
    PathData solid, dashed;
    bool solidAtPrevious = false, dashedAtPrevious = false; // the path's last point is the previous one drawn
    std::optional<std::size_t> previous;
    for (const std::size_t i : drawnPoints(pixels, s, light)) {
        if (previous) {
            // The segment into step i belongs to that step's cycle.
            const bool open = openStep[i];
            PathData &d = open ? dashed : solid;
            if (!(open ? dashedAtPrevious : solidAtPrevious))
                d.moveTo(pixels[*previous].x, pixels[*previous].y);
            d.lineTo(pixels[i].x, pixels[i].y);
            solidAtPrevious = !open;
            dashedAtPrevious = open;
        }
        previous = i;
    }
    svg.group(strokeGroup(colour::Path, 1.0) + " stroke-linejoin=\"round\"");
    svg.path(solid);
    if (!dashed.empty()) {
        svg.group(strokeGroup(colour::Path, 1.0, OpenDashes) + " stroke-linejoin=\"round\"");
        svg.path(dashed);
    }

    // The window's order: peak step 1, peak step 2, then the end step on top.
    // In a light drawing, markers of one kind on the same unit are drawn once.
    // The end of an open cycle is no crossing: its marker is hollow.
    auto markers = [&](const char *colour, bool hollow,
                       const std::function<std::optional<CyclePeak>(const CycleMetrics &)> &step) {
        std::vector<PixelPoint> centres;
        for (const CycleMetrics &c : metrics.cycles)
            if (const auto st = step(c)) {
                const Point q = point(st->x, st->y);
                centres.push_back({q.x, q.y});
            }
        if (centres.empty())
            return;
        std::vector<std::size_t> all(centres.size());
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] = i;
        svg.group(hollow ? std::string("fill=\"#ffffff\" stroke=\"") + colour + "\" stroke-width=\"1.5\""
                         : std::string("fill=\"") + colour + "\" stroke=\"#000000\" stroke-width=\"0.6\"");
        for (const std::size_t i : light ? spacedMarkers(centres, 0.0, all) : all)
            svg.circle(centres[i].x, centres[i].y, 3.5);
    };
    markers(colour::PeakStep1, false,
            [](const CycleMetrics &c) { return c.peak1.step ? std::optional(c.peak1) : std::nullopt; });
    markers(colour::PeakStep2, false,
            [](const CycleMetrics &c) { return c.peak2.step ? std::optional(c.peak2) : std::nullopt; });
    for (const bool open : {false, true})
        markers(colour::EndStep, open, [&](const CycleMetrics &c) {
            return c.closed == open ? std::nullopt
                                    : std::optional(CyclePeak{c.endStep, s.XData(c.endStep), s.YData(c.endStep)});
        });

    svg.group(strokeGroup(colour::Envelope, 1.8));
    for (const EnvelopeSide *side : {&metrics.positive, &metrics.negative}) {
        std::vector<Point> line;
        for (const EnvelopePoint &q : side->points)
            line.push_back(point(q.x, q.y));
        svg.polyline(line);
        for (std::size_t i = 1; i < line.size(); ++i)
            svg.circle(line[i].x, line[i].y, 5.5);
    }
    svg.group(strokeGroup(colour::Eeep, 1.8, "7.2 3.6"));
    for (const EnvelopeSide *side : {&metrics.positive, &metrics.negative}) {
        if (!side->eeep)
            continue;
        const EeepCurve &c = *side->eeep;
        svg.polyline({point(0.0, 0.0), point(c.yieldDisp, c.yieldLoad), point(c.ultimateDisp, c.yieldLoad)});
    }

    titles(svg, a, withUnit("Displacement X", xUnit), withUnit("Load Y", yUnit), width);
    return svg.finish();
}

std::string energyChart(const RecordMetrics &metrics, const std::string &energyUnit)
{
    const CycleSeries energy = seriesOf(metrics, [](const CycleMetrics &c) { return double(c.energy); });
    const CycleSeries total = seriesOf(metrics, [](const CycleMetrics &c) { return double(c.totalEnergy); });
    double lo = 0.0, hi = 0.0, totalLo = 0.0, totalHi = 0.0;
    valueRange(energy, lo, hi);
    valueRange(total, totalLo, totalHi);
    Svg svg(CycleWidth, CycleHeight, "Energy per cycle and cumulative energy");
    const std::size_t n = energy.values.size();
    const Ticks ticks = niceTicks(lo, hi, 6);
    const Ticks rightTicks = niceTicks(totalLo, totalHi, 6);
    const double left = axisRoom(labelWidth(ticks));
    const double rightWidth = labelWidth(rightTicks);
    const Area a = cycleArea(n, lo, hi, left, axisRoom(rightWidth));
    const Area right = cycleArea(n, totalLo, totalHi, left, axisRoom(rightWidth));

    const double width = yGrid(svg, a, ticks, [](double v) { return v; });
    xGrid(svg, a, cycleTicks(n));
    frame(svg, a);
    drawBars(svg, a, energy, [](std::size_t) { return colour::Bars; });
    beyondMarks(svg, a, energy, colour::Bars);
    drawSeries(svg, right, total, colour::Cumulative, 1);
    svg.group(labelGroup(TickFontPixels, nullptr));
    for (int i = 0; i < rightTicks.count; ++i)
        svg.text(right.right() + 6, right.y(rightTicks.at(i)) + BaselineShift * TickFontPixels, rightTicks.text(i));

    titles(svg, a, "Cycle", withUnit("Energy", energyUnit), width);
    svg.text(std::min(right.right() + rightWidth + 16, CycleWidth - 9.0) - BaselineShift * TitleFontPixels,
             (a.top + a.bottom()) / 2, withUnit("Cumulative", energyUnit), 90);
    return svg.finish();
}

std::string dampingChart(const RecordMetrics &metrics)
{
    return seriesChart(seriesOf(metrics, [](const CycleMetrics &c) { return double(c.damping); }), 0.0,
                       "Equivalent damping", "Equivalent damping factor per cycle");
}

std::optional<std::size_t> stiffnessReference(const RecordMetrics &metrics)
{
    for (std::size_t i = 0; i < metrics.cycles.size(); ++i) {
        const auto &k = metrics.cycles[i].secantStiffness;
        if (metrics.cycles[i].closed && k && std::isfinite(*k) && *k > 0.0)
            return i;
    }
    return std::nullopt;
}

std::string stiffnessChart(const RecordMetrics &metrics, std::size_t reference)
{
    const double k0 = *metrics.cycles.at(reference).secantStiffness;
    const CycleSeries ratio = seriesOf(metrics, [&](const CycleMetrics &c) {
        return c.secantStiffness ? std::optional(*c.secantStiffness / k0) : std::nullopt;
    });
    return seriesChart(ratio, 1.05, "Secant stiffness ratio",
                       "Secant stiffness per cycle relative to cycle " + std::to_string(metrics.cycles[reference].cycle),
                       1.0);
}

std::string protocolChart(const RecordMetrics &metrics, const std::string &xUnit)
{
    const CycleSeries amplitude = seriesOf(metrics, [](const CycleMetrics &c) { return double(c.amplitude); });
    double lo = 0.0, hi = 0.0;
    valueRange(amplitude, lo, hi);
    Svg svg(CycleWidth, CycleHeight, "Loading protocol: amplitude per cycle by role, with the levels");
    const std::size_t n = amplitude.values.size();
    const Ticks ticks = niceTicks(lo, hi, 6);
    const Area a = cycleArea(n, lo, hi, axisRoom(labelWidth(ticks)), CycleRight);
    const double width = yGrid(svg, a, ticks, [](double v) { return v; });
    xGrid(svg, a, cycleTicks(n));
    frame(svg, a);
    drawBars(svg, a, amplitude, [&](std::size_t i) {
        const CycleRole role = metrics.cycles[i].role;
        return role == CycleRole::Primary    ? colour::Primary
               : role == CycleRole::Repeat   ? colour::Repeat
               : role == CycleRole::Trailing ? colour::Trailing
                                             : colour::NoLevel;
    });
    beyondMarks(svg, a, amplitude, colour::Frame);
    if (!metrics.levels.empty()) {
        svg.group(strokeGroup(colour::Frame, 1.0, "4 2"));
        PathData starts;
        for (const LoadLevel &l : metrics.levels) {
            const double x = a.x(static_cast<double>(l.firstCycle) - 0.5);
            starts.moveTo(x, a.top);
            starts.lineTo(x, a.bottom());
        }
        svg.path(starts);
    }
    titles(svg, a, "Cycle", withUnit("Amplitude", xUnit), width);
    return svg.finish();
}

std::string betaChart(const RecordMetrics &metrics)
{
    return seriesChart(seriesOf(metrics, [](const CycleMetrics &c) { return c.beta; }), 0.2,
                       "Energy dissipation ratio", "Relative energy dissipation ratio per cycle", 0.125);
}

} // namespace kov::report
