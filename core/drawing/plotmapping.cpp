#include "core/drawing/plotmapping.h"

#include <cmath>

namespace kov {

PlotMapping::PlotMapping(int width, int height)
{
    setSize(width, height);
}

void PlotMapping::setSize(int width, int height)
{
    m_width = width > 0 ? width : 1;
    m_height = height > 0 ? height : 1;
    m_x1 = 0.0;
    m_y1 = 0.0;
    m_x2 = m_width;
    m_y2 = m_height;
}

void PlotMapping::setScale(double x1, double y1, double x2, double y2)
{
    m_x1 = x1;
    m_y1 = y1;
    m_x2 = x2;
    m_y2 = y2;
}

namespace {
bool spans(double a, double b)
{
    const double d = b - a;
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(d) && d != 0.0;
}
} // namespace

bool PlotMapping::xValid() const
{
    return spans(m_x1, m_x2);
}

bool PlotMapping::yValid() const
{
    return spans(m_y1, m_y2);
}

double PlotMapping::toPixelX(double x) const
{
    if (!xValid() || !std::isfinite(x))
        return m_width / 2.0;
    return (x - m_x1) / (m_x2 - m_x1) * m_width;
}

double PlotMapping::toPixelY(double y) const
{
    if (!yValid() || !std::isfinite(y))
        return m_height / 2.0;
    return (y - m_y1) / (m_y2 - m_y1) * m_height;
}

double PlotMapping::toPixelsHorizontal(double length) const
{
    if (!xValid() || !std::isfinite(length))
        return 0.0;
    return std::fabs(length / (m_x2 - m_x1) * m_width);
}

bool clipSegment(double &x0, double &y0, double &x1, double &y1, double left, double top, double right,
                 double bottom)
{
    const double dx = x1 - x0, dy = y1 - y0;
    double t0 = 0.0, t1 = 1.0;
    int edge0 = -1, edge1 = -1; // the edge that cut each end, if any
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - left, right - x0, y0 - top, bottom - y0};
    const double edges[4] = {left, right, top, bottom};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0) {
            if (t > t1)
                return false;
            if (t > t0) {
                t0 = t;
                edge0 = i;
            }
        } else {
            if (t < t0)
                return false;
            if (t < t1) {
                t1 = t;
                edge1 = i;
            }
        }
    }
    // A cut end lies exactly on its edge: with far-away coordinates the
    // parameter alone would lose the edge's position to rounding.
    auto place = [&](double t, int edge, double &x, double &y) {
        x = x0 + t * dx;
        y = y0 + t * dy;
        if (edge == 0 || edge == 1)
            x = edges[edge];
        else if (edge == 2 || edge == 3)
            y = edges[edge];
    };
    double ax = x0, ay = y0, bx = x1, by = y1;
    if (edge0 >= 0)
        place(t0, edge0, ax, ay);
    if (edge1 >= 0)
        place(t1, edge1, bx, by);
    x0 = ax;
    y0 = ay;
    x1 = bx;
    y1 = by;
    return true;
}

} // namespace kov
