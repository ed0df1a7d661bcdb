#pragma once

namespace kov {

/// The user coordinates of an area's upper-left corner (x1, y1) and
/// lower-right corner (x2, y2).
struct UserCorners {
    double x1 = 0.0, y1 = 0.0, x2 = 1.0, y2 = 1.0;
};

/// The user coordinate system of the plot area: the user coordinates of the
/// upper-left and lower-right corners, mapped onto an area of width x height
/// pixels. No Qt, so the arithmetic can be checked on its own.
///
/// A range of zero width (or height), or one that is not finite, cannot
/// spread its coordinates over the area; every coordinate on that axis is then
/// mapped to the middle of the area, so whatever can still be drawn is drawn
/// and nothing divides by zero.
class PlotMapping {
public:
    PlotMapping(int width = 1, int height = 1);

    void setSize(int width, int height);
    /// (x1, y1) is the upper-left corner, (x2, y2) the lower-right one.
    void setScale(double x1, double y1, double x2, double y2);
    void setScale(const UserCorners &c) { setScale(c.x1, c.y1, c.x2, c.y2); }

    int width() const { return m_width; }
    int height() const { return m_height; }
    bool xValid() const;
    bool yValid() const;

    /// Pixel position of a user coordinate: the fraction (x - x1) / (x2 - x1)
    /// of the width from the left edge, likewise for the height from the top.
    double toPixelX(double x) const;
    double toPixelY(double y) const;
    /// A length in horizontal user units, in pixels (0 when X is degenerate).
    double toPixelsHorizontal(double length) const;

private:
    int m_width;
    int m_height;
    double m_x1 = 0.0, m_y1 = 0.0, m_x2 = 1.0, m_y2 = 1.0;
};

/// Clips the segment (x0, y0)-(x1, y1) to the rectangle [left, right] x
/// [top, bottom] (Liang-Barsky). Returns false when nothing of it is inside.
bool clipSegment(double &x0, double &y0, double &x1, double &y1, double left, double top, double right,
                 double bottom);

} // namespace kov
