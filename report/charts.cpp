#include "report/charts.h"

#include "core/drawing/loopgeometry.h"
#include "core/drawing/pathsimplify.h"
#include "core/drawing/picturefile.h"
#include "pictures/plotcanvas.h"
#include "report/reportformat.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPolygonF>
#include <QSvgGenerator>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <functional>
#include <string_view>
#include <vector>

namespace kov::report {

namespace {

const QColor Text(0x33, 0x33, 0x33);
const QColor Frame(0x99, 0x99, 0x99);
const QColor Grid(0xe6, 0xe6, 0xe6);
const QColor ZeroLine(0x99, 0x99, 0x99);

constexpr int TickFontPixels = 12;
constexpr int TitleFontPixels = 13;

QFont chartFont(int pixels)
{
    QFont font(QStringLiteral("sans-serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    return font;
}

QString qText(const std::string &text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

/// The label's text in an attribute: & < > " escaped.
std::string attributeText(const std::string &text)
{
    return qText(text).toHtmlEscaped().toStdString();
}

QPointF at(double x, double y)
{
    return QPointF(svgCoordinate(x), svgCoordinate(y));
}

/// Appends the blanks and line ends of a run, without a line end where the
/// text already ends with one (no blank lines).
void appendSpace(std::string &out, std::string_view space)
{
    for (const char c : space)
        if (c != '\n' || (!out.empty() && out.back() != '\n'))
            out += c;
}

/// The start tag (or end tag) tag, from its '<' to its '>', without the
/// attributes that repeat the default or the enclosing group: opacities of 1,
/// identity transforms, vector-effect none, and on a text element its font
/// and white-space rule (its group carries the same font, as the generator
/// starts a group on every change of the painter's state, and no label has
/// runs of blanks). Attribute values are read whole, between their quotes,
/// so no text inside them is ever taken for an attribute.
void appendLeanTag(std::string &out, std::string_view tag)
{
    struct Attribute {
        std::string_view name, value; // value: empty for any value
    };
    static constexpr Attribute Redundant[] = {
        {"fill-opacity", "1"},    {"stroke-opacity", "1"}, {"vector-effect", "none"},
        {"transform", "matrix(1,0,0,1,0,0)"}, {"xml:space", "preserve"},
    };
    static constexpr Attribute TextFont[] = {{"font-family", {}}, {"font-size", {}}, {"font-weight", {}}, {"font-style", {}}};
    auto isSpace = [](char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r'; };
    std::size_t at = 1;
    while (at < tag.size() && !isSpace(tag[at]) && tag[at] != '>' && tag[at] != '/')
        ++at;
    const std::string_view element = tag.substr(1, at - 1);
    const bool text = element == "text";
    out.append(tag.substr(0, at));
    while (at < tag.size()) {
        const std::size_t spaceFrom = at;
        while (at < tag.size() && isSpace(tag[at]))
            ++at;
        const std::string_view space = tag.substr(spaceFrom, at - spaceFrom);
        const std::size_t equals = tag.find('=', at);
        const char quote = equals != std::string_view::npos && equals + 1 < tag.size() ? tag[equals + 1] : '\0';
        const std::size_t close = quote == '"' || quote == '\'' ? tag.find(quote, equals + 2) : std::string_view::npos;
        if (at >= tag.size() || tag[at] == '>' || tag[at] == '/' || close == std::string_view::npos) {
            // The end of the tag (what is not an attribute is kept as it is).
            if (!text)
                appendSpace(out, space);
            out.append(tag.substr(at));
            return;
        }
        const std::string_view name = tag.substr(at, equals - at);
        const std::string_view value = tag.substr(equals + 2, close - equals - 2);
        auto matches = [&](const Attribute &a) { return a.name == name && (a.value.empty() || a.value == value); };
        const bool drop = std::any_of(std::begin(Redundant), std::end(Redundant), matches) ||
                          (text && std::any_of(std::begin(TextFont), std::end(TextFont), matches));
        if (!drop) {
            appendSpace(out, space);
            out.append(tag.substr(at, close + 1 - at));
        }
        at = close + 1;
    }
}

/// QSvgGenerator's text without what repeats the default (appendLeanTag)
/// and without blank lines. Only tags are slimmed: the text between them
/// (labels, units) is copied as it is. A page of 100 records holds thousands
/// of these attributes.
std::string leanSvg(const std::string &svg)
{
    std::string out;
    out.reserve(svg.size());
    for (std::size_t at = 0; at < svg.size();) {
        if (svg[at] == '<') {
            // A tag runs to the first '>' outside quotes.
            std::size_t end = at + 1;
            char quote = '\0';
            for (; end < svg.size(); ++end) {
                if (quote != '\0') {
                    if (svg[end] == quote)
                        quote = '\0';
                } else if (svg[end] == '"' || svg[end] == '\'') {
                    quote = svg[end];
                } else if (svg[end] == '>') {
                    break;
                }
            }
            appendLeanTag(out, std::string_view(svg).substr(at, end + 1 - at));
            at = end + 1;
            continue;
        }
        const std::size_t next = std::min(svg.find('<', at), svg.size());
        const std::string_view between = std::string_view(svg).substr(at, next - at);
        if (between.find_first_not_of(" \t\r\n") == std::string_view::npos)
            appendSpace(out, between);
        else
            out.append(between);
        at = next;
    }
    return out;
}

/// One chart: a QPainter on a QSvgGenerator writing into memory.
class SvgChart {
public:
    SvgChart(int width, int height) : m_width(width), m_height(height)
    {
        m_bytes.open(QIODevice::WriteOnly);
        m_svg.setOutputDevice(&m_bytes);
        m_svg.setSize(QSize(width, height));
        m_svg.setViewBox(QRect(0, 0, width, height));
        m_painter.begin(&m_svg);
        m_painter.setFont(chartFont(TickFontPixels));
    }

    QPainter &painter() { return m_painter; }

    void pen(const QColor &colour, double width, Qt::PenStyle style = Qt::SolidLine)
    {
        QPen p(colour, width, style, Qt::FlatCap, Qt::RoundJoin);
        m_painter.setPen(p);
        m_painter.setBrush(Qt::NoBrush);
    }

    void fill(const QColor &colour)
    {
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(colour);
    }

    /// Text whose anchor (x, y) is its left end, middle or right end
    /// (align -1, 0, 1), vertically centred on y.
    void text(double x, double y, const QString &s, int align)
    {
        const QFontMetricsF metrics(m_painter.font());
        const double width = metrics.horizontalAdvance(s);
        const double left = align < 0 ? x : align == 0 ? x - width / 2 : x - width;
        m_painter.setPen(Text);
        m_painter.drawText(at(left, y + (metrics.ascent() - metrics.descent()) / 2), s);
    }

    /// Text turned a quarter to the left (reading upwards), centred on (x, y).
    void upwardText(double x, double y, const QString &s)
    {
        m_painter.save();
        m_painter.translate(svgCoordinate(x), svgCoordinate(y));
        m_painter.rotate(-90.0);
        text(0.0, 0.0, s, 0);
        m_painter.restore();
    }

    /// The inline SVG element: QSvgGenerator's document without its XML
    /// prolog, root attributes, title and description, under a root of
    /// our own that has the viewBox and an accessible label and no size (the
    /// page scales it).
    std::string finish(const std::string &label)
    {
        m_painter.end();
        std::string svg = m_bytes.data().toStdString();
        auto cut = [&](const std::string &open, const std::string &close) {
            const std::size_t from = svg.find(open);
            const std::size_t to = from == std::string::npos ? from : svg.find(close, from);
            if (to != std::string::npos)
                svg.erase(from, to + close.size() - from);
        };
        const std::size_t root = svg.find("<svg");
        const std::size_t rootEnd = root == std::string::npos ? root : svg.find('>', root);
        if (rootEnd != std::string::npos)
            svg.erase(0, rootEnd + 1);
        cut("<title>", "</title>");
        cut("<desc>", "</desc>");
        cut("<defs>", "</defs>");
        return "<svg class=\"chart\" viewBox=\"0 0 " + std::to_string(m_width) + " " + std::to_string(m_height) +
               "\" role=\"img\" aria-label=\"" + attributeText(label) + "\">" + leanSvg(svg);
    }

private:
    int m_width;
    int m_height;
    QBuffer m_bytes;
    QSvgGenerator m_svg;
    QPainter m_painter;
};

/// A plot area inside a chart and its user coordinates.
struct Area {
    double left = 0.0;
    double top = 0.0;
    PlotMapping mapping;
    double x(double v) const { return svgCoordinate(left + mapping.toPixelX(v)); }
    double y(double v) const { return svgCoordinate(top + mapping.toPixelY(v)); }
    double right() const { return left + mapping.width(); }
    double bottom() const { return top + mapping.height(); }
};

QString tick(const Ticks &t, int i)
{
    return QString::fromStdString(t.text(i));
}

/// The width of the widest tick label.
double labelWidth(SvgChart &chart, const Ticks &t)
{
    const QFontMetricsF metrics(chart.painter().font());
    double width = 0.0;
    for (int i = 0; i < t.count; ++i)
        width = std::max(width, metrics.horizontalAdvance(tick(t, i)));
    return width;
}

/// The grid lines of the Y ticks (v gives the drawing coordinate of a tick
/// value) and their labels on the left; returns the labels' width.
double yGrid(SvgChart &chart, const Area &a, const Ticks &t, const std::function<double(double)> &v)
{
    chart.pen(Grid, 1.0);
    for (int i = 0; i < t.count; ++i) {
        const double y = a.y(v(t.at(i)));
        chart.painter().drawLine(at(a.left, y), at(a.right(), y));
    }
    for (int i = 0; i < t.count; ++i)
        chart.text(a.left - 6, a.y(v(t.at(i))), tick(t, i), 1);
    return labelWidth(chart, t);
}

void xGrid(SvgChart &chart, const Area &a, const Ticks &t)
{
    chart.pen(Grid, 1.0);
    for (int i = 0; i < t.count; ++i) {
        const double x = a.x(t.at(i));
        chart.painter().drawLine(at(x, a.top), at(x, a.bottom()));
    }
    for (int i = 0; i < t.count; ++i)
        chart.text(a.x(t.at(i)), a.bottom() + 12, tick(t, i), 0);
}

void frame(SvgChart &chart, const Area &a)
{
    chart.pen(Frame, 1.0);
    chart.painter().drawRect(QRectF(at(a.left, a.top), at(a.right(), a.bottom())));
}

/// The axis titles: x centred below the area, y reading upwards beside the
/// Y tick labels (labelWidth wide), kept inside the chart.
void titles(SvgChart &chart, const Area &a, const std::string &x, const std::string &y, double labelWidth)
{
    chart.painter().setFont(chartFont(TitleFontPixels));
    chart.text((a.left + a.right()) / 2, a.bottom() + 32, qText(x), 0);
    chart.upwardText(std::max(a.left - labelWidth - 16, 9.0), (a.top + a.bottom()) / 2, qText(y));
    chart.painter().setFont(chartFont(TickFontPixels));
}

std::string withUnit(const std::string &title, const std::string &unit)
{
    return unit.empty() ? title : title + " (" + unit + ")";
}

/// The polyline through the points, one for each run of finite points.
void polylines(QPainter &p, const std::vector<std::optional<QPointF>> &points)
{
    QPolygonF run;
    auto flush = [&] {
        if (run.size() > 1)
            p.drawPolyline(run);
        run.clear();
    };
    for (const auto &point : points) {
        if (point)
            run << *point;
        else
            flush();
    }
    flush();
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

/// The range lo..hi (with 0) of the finite values, widened to whole ticks.
void valueRange(const std::vector<std::optional<double>> &values, double &lo, double &hi, double atLeast = 0.0)
{
    lo = 0.0;
    hi = atLeast;
    for (const auto &v : values) {
        if (v && std::isfinite(*v)) {
            lo = std::min(lo, *v);
            hi = std::max(hi, *v);
        }
    }
    niceRange(lo, hi, 6);
}

/// Up to this many cycles a series shows a dot at each value; beyond, the
/// dots would merge into the line and only swell the page.
constexpr std::size_t MaxDottedCycles = 40;

/// A series over the cycles: a line through the values that exist (broken
/// where one does not), with a dot at each.
void drawSeries(SvgChart &chart, const Area &a, const std::vector<std::optional<double>> &values,
                const QColor &colour)
{
    std::vector<std::optional<QPointF>> points;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i] && std::isfinite(*values[i]))
            points.emplace_back(at(a.x(static_cast<double>(i + 1)), a.y(*values[i])));
        else
            points.emplace_back();
    }
    chart.pen(colour, 1.5);
    polylines(chart.painter(), points);
    if (values.size() > MaxDottedCycles)
        return;
    chart.fill(colour);
    for (const auto &p : points)
        if (p)
            chart.painter().drawEllipse(*p, 2.5, 2.5);
}

/// A chart of one series per cycle on a left axis.
std::string seriesChart(const std::vector<std::optional<double>> &values, double atLeast, const std::string &yTitle,
                        const std::string &label, const std::function<void(SvgChart &, const Area &)> &extra = {})
{
    double lo = 0.0, hi = 0.0;
    valueRange(values, lo, hi, atLeast);
    SvgChart chart(CycleWidth, CycleHeight);
    const Ticks ticks = niceTicks(lo, hi, 6);
    const Area a = cycleArea(values.size(), lo, hi, axisRoom(labelWidth(chart, ticks)), CycleRight);
    const double width = yGrid(chart, a, ticks, [](double v) { return v; });
    xGrid(chart, a, cycleTicks(values.size()));
    frame(chart, a);
    if (extra)
        extra(chart, a);
    drawSeries(chart, a, values, QColor(colour::Series));
    titles(chart, a, "Cycle", yTitle, width);
    return chart.finish(label);
}

} // namespace

struct GuiForCharts::Own {
    char name[10] = "kov-batch";
    char platform[10] = "-platform";
    char offscreen[10] = "offscreen";
    char *argv[4] = {name, platform, offscreen, nullptr};
    int argc = 3;
    std::string locale = "C";
    std::unique_ptr<QGuiApplication> app;
};

GuiForCharts::GuiForCharts()
{
    if (QCoreApplication::instance())
        return;
    m_own = std::make_unique<Own>();
    if (const char *locale = std::setlocale(LC_ALL, nullptr))
        m_own->locale = locale;
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    m_own->app = std::make_unique<QGuiApplication>(m_own->argc, m_own->argv);
    qInstallMessageHandler(previous);
    restoreLocale();
}

GuiForCharts::~GuiForCharts()
{
    if (!m_own)
        return;
    m_own->app.reset();
    restoreLocale();
}

void GuiForCharts::restoreLocale()
{
    // The first application of a process sets the locale of the environment;
    // the program's own comes back at once, as the rest of the program may
    // run while it lives. Where the locale did not change it is not set
    // again: other threads may be using it.
    const char *now = std::setlocale(LC_ALL, nullptr);
    if (now == nullptr || m_own->locale != now)
        std::setlocale(LC_ALL, m_own->locale.c_str());
}

double svgCoordinate(double v)
{
    return std::round(v * 10.0) / 10.0;
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
    const QSize size(LoopLeft + PlotWidth * LoopScale + LoopRight, LoopTop + PlotHeight * LoopScale + LoopBottom);
    SvgChart chart(size.width(), size.height());
    QPainter &p = chart.painter();
    // Drawing coordinates are (X, -Y), as in the window: a larger load is higher.
    auto point = [&](double x, double y) { return at(a.x(x), a.y(-y)); };

    const double width = yGrid(chart, a, niceTicks(s.ScaleYMin, s.ScaleYMax, 9), [](double v) { return -v; });
    xGrid(chart, a, niceTicks(s.ScaleXMin, s.ScaleXMax, 9));
    chart.pen(ZeroLine, 1.0);
    p.drawLine(point(s.ScaleXMin, 0.0), point(s.ScaleXMax, 0.0));
    p.drawLine(point(0.0, s.ScaleYMin), point(0.0, s.ScaleYMax));
    frame(chart, a);

    const int rows = static_cast<int>(s.RowCount);
    chart.pen(QColor(colour::Path), 1.0);
    // A long record is drawn light: every step left out lies within half a
    // unit of the path drawn, and the cycles' peak and end steps stay on it.
    const bool light = isLongLoop(s);
    if (light) {
        std::vector<PixelPoint> pixels;
        pixels.reserve(static_cast<std::size_t>(rows));
        for (int i = 1; i <= rows; ++i) {
            const QPointF q = point(s.XData(i), s.YData(i));
            pixels.push_back({q.x(), q.y()});
        }
        std::vector<QPointF> path;
        for (const std::size_t i : simplifyPath(pixels, 0.5, cycleSteps(s)))
            path.emplace_back(pixels[i].x, pixels[i].y);
        drawBoundedPolyline(p, path, p.pen(), size);
    } else {
        QPolygonF path;
        path.reserve(rows);
        for (int i = 1; i <= rows; ++i)
            path << point(s.XData(i), s.YData(i));
        p.drawPolyline(path);
    }

    // The window's order: peak step 1, peak step 2, then the end step on top.
    // In a light drawing, markers of one kind on the same unit are drawn once.
    auto markers = [&](const char *colour, const std::function<std::optional<CyclePeak>(const CycleMetrics &)> &step) {
        chart.pen(Qt::black, 0.6);
        p.setBrush(QColor(colour));
        std::vector<PixelPoint> centres;
        for (const CycleMetrics &c : metrics.cycles)
            if (const auto st = step(c)) {
                const QPointF q = point(st->x, st->y);
                centres.push_back({q.x(), q.y()});
            }
        std::vector<std::size_t> all(centres.size());
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] = i;
        for (const std::size_t i : light ? spacedMarkers(centres, 0.0, all) : all)
            p.drawEllipse(QPointF(centres[i].x, centres[i].y), 3.5, 3.5);
    };
    markers(colour::PeakStep1, [](const CycleMetrics &c) { return c.peak1.step ? std::optional(c.peak1) : std::nullopt; });
    markers(colour::PeakStep2, [](const CycleMetrics &c) { return c.peak2.step ? std::optional(c.peak2) : std::nullopt; });
    markers(colour::EndStep, [&](const CycleMetrics &c) {
        return std::optional(CyclePeak{c.endStep, s.XData(c.endStep), s.YData(c.endStep)});
    });

    for (const EnvelopeSide *side : {&metrics.positive, &metrics.negative}) {
        QPolygonF line;
        for (const EnvelopePoint &q : side->points)
            line << point(q.x, q.y);
        chart.pen(QColor(colour::Envelope), 1.8);
        p.drawPolyline(line);
        for (qsizetype i = 1; i < line.size(); ++i)
            p.drawEllipse(line[i], 5.5, 5.5);
    }
    for (const EnvelopeSide *side : {&metrics.positive, &metrics.negative}) {
        if (!side->eeep)
            continue;
        const EeepCurve &c = *side->eeep;
        const QPolygonF curve{point(0.0, 0.0), point(c.yieldDisp, c.yieldLoad), point(c.ultimateDisp, c.yieldLoad)};
        chart.pen(QColor(colour::Eeep), 1.8, Qt::DashLine);
        p.drawPolyline(curve);
    }

    titles(chart, a, withUnit("Displacement X", xUnit), withUnit("Load Y", yUnit), width);
    return chart.finish("Hysteresis loop");
}

std::string energyChart(const RecordMetrics &metrics, const std::string &energyUnit)
{
    std::vector<std::optional<double>> energy, total;
    for (const CycleMetrics &c : metrics.cycles) {
        energy.emplace_back(c.energy);
        total.emplace_back(c.totalEnergy);
    }
    double lo = 0.0, hi = 0.0, totalLo = 0.0, totalHi = 0.0;
    valueRange(energy, lo, hi);
    valueRange(total, totalLo, totalHi);
    SvgChart chart(CycleWidth, CycleHeight);
    const std::size_t n = energy.size();
    const Ticks ticks = niceTicks(lo, hi, 6);
    const Ticks rightTicks = niceTicks(totalLo, totalHi, 6);
    const double left = axisRoom(labelWidth(chart, ticks));
    const double rightWidth = labelWidth(chart, rightTicks);
    const Area a = cycleArea(n, lo, hi, left, axisRoom(rightWidth));
    const Area right = cycleArea(n, totalLo, totalHi, left, axisRoom(rightWidth));

    const double width = yGrid(chart, a, ticks, [](double v) { return v; });
    xGrid(chart, a, cycleTicks(n));
    frame(chart, a);
    chart.fill(QColor(colour::Bars));
    for (std::size_t i = 0; i < n; ++i) {
        if (!std::isfinite(*energy[i]))
            continue;
        const double x = static_cast<double>(i + 1);
        chart.painter().drawRect(QRectF(at(a.x(x - 0.35), a.y(std::max(*energy[i], 0.0))),
                                        at(a.x(x + 0.35), a.y(std::min(*energy[i], 0.0)))));
    }
    drawSeries(chart, right, total, QColor(colour::Cumulative));
    for (int i = 0; i < rightTicks.count; ++i)
        chart.text(right.right() + 6, right.y(rightTicks.at(i)), tick(rightTicks, i), -1);

    titles(chart, a, "Cycle", withUnit("Energy", energyUnit), width);
    chart.painter().setFont(chartFont(TitleFontPixels));
    chart.painter().save();
    chart.painter().translate(svgCoordinate(std::min(right.right() + rightWidth + 16, CycleWidth - 9.0)),
                              svgCoordinate((a.top + a.bottom()) / 2));
    chart.painter().rotate(90.0);
    chart.text(0.0, 0.0, qText(withUnit("Cumulative", energyUnit)), 0);
    chart.painter().restore();
    return chart.finish("Energy per cycle and cumulative energy");
}

std::string dampingChart(const RecordMetrics &metrics)
{
    std::vector<std::optional<double>> damping;
    for (const CycleMetrics &c : metrics.cycles)
        damping.emplace_back(c.damping);
    return seriesChart(damping, 0.0, "Equivalent damping", "Equivalent damping factor per cycle");
}

std::optional<std::size_t> stiffnessReference(const RecordMetrics &metrics)
{
    for (std::size_t i = 0; i < metrics.cycles.size(); ++i) {
        const auto &k = metrics.cycles[i].secantStiffness;
        if (k && std::isfinite(*k) && *k > 0.0)
            return i;
    }
    return std::nullopt;
}

std::string stiffnessChart(const RecordMetrics &metrics, std::size_t reference)
{
    const double k0 = *metrics.cycles.at(reference).secantStiffness;
    std::vector<std::optional<double>> ratio;
    for (const CycleMetrics &c : metrics.cycles)
        ratio.push_back(c.secantStiffness ? std::optional(*c.secantStiffness / k0) : std::nullopt);
    auto one = [](SvgChart &chart, const Area &a) {
        chart.pen(Frame, 1.0, Qt::DashLine);
        chart.painter().drawLine(at(a.left, a.y(1.0)), at(a.right(), a.y(1.0)));
    };
    return seriesChart(ratio, 1.05, "Secant stiffness ratio", "Secant stiffness per cycle relative to cycle " +
                                                                  std::to_string(metrics.cycles[reference].cycle),
                       one);
}

std::string protocolChart(const RecordMetrics &metrics, const std::string &xUnit)
{
    std::vector<std::optional<double>> amplitude;
    for (const CycleMetrics &c : metrics.cycles)
        amplitude.emplace_back(static_cast<double>(c.amplitude));
    double lo = 0.0, hi = 0.0;
    valueRange(amplitude, lo, hi);
    SvgChart chart(CycleWidth, CycleHeight);
    const std::size_t n = amplitude.size();
    const Ticks ticks = niceTicks(lo, hi, 6);
    const Area a = cycleArea(n, lo, hi, axisRoom(labelWidth(chart, ticks)), CycleRight);
    const double width = yGrid(chart, a, ticks, [](double v) { return v; });
    xGrid(chart, a, cycleTicks(n));
    frame(chart, a);
    for (std::size_t i = 0; i < n; ++i) {
        const CycleMetrics &c = metrics.cycles[i];
        const char *fill = c.role == CycleRole::Primary  ? colour::Primary
                           : c.role == CycleRole::Repeat ? colour::Repeat
                           : c.role == CycleRole::Trailing ? colour::Trailing
                                                           : colour::NoLevel;
        chart.fill(QColor(fill));
        const double x = static_cast<double>(i + 1);
        const double v = static_cast<double>(c.amplitude);
        chart.painter().drawRect(QRectF(at(a.x(x - 0.35), a.y(std::max(v, 0.0))), at(a.x(x + 0.35), a.y(std::min(v, 0.0)))));
    }
    chart.pen(Frame, 1.0, Qt::DashLine);
    for (const LoadLevel &l : metrics.levels) {
        const double x = a.x(static_cast<double>(l.firstCycle) - 0.5);
        chart.painter().drawLine(at(x, a.top), at(x, a.bottom()));
    }
    titles(chart, a, "Cycle", withUnit("Amplitude", xUnit), width);
    return chart.finish("Loading protocol: amplitude per cycle by role, with the levels");
}

std::string betaChart(const RecordMetrics &metrics)
{
    std::vector<std::optional<double>> beta;
    for (const CycleMetrics &c : metrics.cycles)
        beta.push_back(c.beta);
    auto limit = [](SvgChart &chart, const Area &a) {
        chart.pen(Frame, 1.0, Qt::DashLine);
        chart.painter().drawLine(at(a.left, a.y(0.125)), at(a.right(), a.y(0.125)));
    };
    return seriesChart(beta, 0.2, "Energy dissipation ratio", "Relative energy dissipation ratio per cycle", limit);
}

} // namespace kov::report
