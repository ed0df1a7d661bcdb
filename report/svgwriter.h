#pragma once

// SVG and HTML written as text: the few elements the report's charts are
// made of (paths, polylines, rectangles, circles and text, in groups that
// share their attributes), numbers in the shortest text of a tenth, escaped
// text, and the width of a label in the page's font. Standard library only.

#include <string>
#include <string_view>
#include <vector>

namespace kov::report {

/// Text for HTML and XML, in element content and in quoted attributes:
/// & < > " escaped, and every byte that does not belong to a well-formed
/// UTF-8 character (a stray continuation byte, a truncated or overlong
/// sequence, a surrogate, beyond U+10FFFF) replaced by U+FFFD, one for each
/// such byte. Control
/// characters other than tab, line feed and carriage return, which XML does
/// not allow, become U+FFFD as well.
std::string escapeText(std::string_view text);

/// A coordinate as the charts write it: rounded to a tenth of a unit.
double svgCoordinate(double v);

/// Appends v rounded to a tenth, in its shortest text: "12", "-3.5", "0.1",
/// never "-0". Magnitudes beyond 1e9 are written as +-1e9: no drawing
/// reaches that far, and the text stays short and valid.
void appendNumber(std::string &out, double v);

/// The width in pixels of text set in the charts' font at size pixels. The
/// page names one font stack, whose fonts differ; the advances are those of
/// DejaVu Sans, the widest of them (and the one Debian's system-ui and
/// sans-serif give), so that room measured with them holds the text in any
/// of the others. A character outside ASCII counts as wide as "W".
double textWidth(std::string_view text, double size);

/// How far below a line's centre its baseline lies, as a fraction of the
/// font size (half of ascent less descent), so that a label is centred on
/// the y it is given.
inline constexpr double BaselineShift = 0.3462;

/// A point of a drawing.
struct Point {
    double x = 0.0;
    double y = 0.0;
};

/// Path data ("d") of lines between points rounded to a tenth: each run
/// starts with an absolute move and goes on with relative lines (l; h and v
/// for level and upright ones), whose steps are short texts
/// ("M64 261l1.2-.3 .5 2h-4"). The steps are taken between the rounded
/// points, so no rounding accumulates along a long path.
class PathData {
public:
    void moveTo(double x, double y);
    void lineTo(double x, double y);
    /// A polyline through the points.
    void polyline(const std::vector<Point> &points);
    bool empty() const { return m_text.empty(); }
    const std::string &text() const { return m_text; }

private:
    void appendStep(long long tenths);
    std::string m_text;
    long long m_x = 0; ///< the current point, in tenths
    long long m_y = 0;
    char m_last = 0;   ///< the last command written ('M', 'l', 'h' or 'v')
};

/// One chart: an <svg> element to put inline into a page, scaled by its
/// viewBox (no size of its own), with an accessible label. Elements go into
/// the group last started, whose attributes they share; starting a group
/// closes the one before.
class Svg {
public:
    Svg(int width, int height, std::string_view label);

    /// Starts a group with the attributes given as their text
    /// ("fill=\"none\" stroke=\"#999999\""), closing the one before.
    void group(std::string_view attributes);
    /// Closes the open group, if any.
    void endGroup();

    void path(const PathData &d);
    /// A path of a single line.
    void line(double x1, double y1, double x2, double y2);
    void polyline(const std::vector<Point> &points);
    void rect(double left, double top, double right, double bottom);
    void circle(double cx, double cy, double r);
    /// text (escaped here) with its anchor at (x, baseline y), turned by
    /// rotate degrees about the anchor (clockwise; -90 reads upwards). Which
    /// end of the text is the anchor, its font and colour are the group's.
    void text(double x, double y, std::string_view text, int rotate = 0);

    /// The element, closed. The chart is spent.
    std::string finish();

private:
    std::string m_out;
    bool m_inGroup = false;
};

} // namespace kov::report
