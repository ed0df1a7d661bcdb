#pragma once

#include "core/drawing/plotmapping.h"

#include <QColor>
#include <QPointF>

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

class QPaintDevice;
class QPainter;
class QPen;
class QSize;

namespace kov {

/// A polyline of more points than this is drawn as an image (drawBoundedPolyline).
inline constexpr std::size_t MaxVectorPathPoints = 16000;

/// Draws the polyline through points with pen. Up to MaxVectorPathPoints it
/// is one polyline; beyond, it is drawn into an image of size pixels (at the
/// painter's coordinates 0, 0, with no transform) whose path pixels have the
/// pen's colour and the others none, so that in a vector picture it is one
/// two-colour PNG: the same pixels, in a size bounded by the area whatever
/// the length of the path.
void drawBoundedPolyline(QPainter &painter, const std::vector<QPointF> &points, const QPen &pen, const QSize &size);

/// The drawing operations of the plot area, on any paint device of a given
/// pixel size (the window's off-screen image, or a picture file): clear, a
/// user coordinate system, points, lines, circles, fill style and colour,
/// and the current drawing position. Antialiasing is off; lines are one
/// pixel wide times the pen scale. Everything is clipped to the area, in
/// double precision before it reaches the painter.
class PlotCanvas {
public:
    /// draws on device, whose size is width x height pixels. The device must
    /// outlive the canvas.
    PlotCanvas(QPaintDevice *device, int width, int height, double penScale = 1.0);
    ~PlotCanvas();
    PlotCanvas(const PlotCanvas &) = delete;
    PlotCanvas &operator=(const PlotCanvas &) = delete;

    /// Erases the area to white and moves the drawing position to (0, 0).
    void Cls();
    /// User coordinates of the upper-left and lower-right corners.
    void Scale(double x1, double y1, double x2, double y2);
    /// A single point; the drawing position moves there.
    void PSet(double x, double y, const QColor &colour);
    /// A line between two points; the drawing position moves to the end.
    void Line(double x1, double y1, double x2, double y2, const QColor &colour);
    /// A line from the drawing position to (x, y), which becomes the position.
    void LineTo(double x, double y, const QColor &colour);
    /// The lines through the points in pixels (not user coordinates), each
    /// point on the centre of its pixel, as one polyline: a long path as few
    /// drawing commands (and, in a vector picture, one element). The points
    /// must lie within the area; the drawing position stays where it is.
    void PixelPolyline(const std::vector<QPointF> &pixels, const QColor &colour);
    /// A circle around (x, y); the radius is in horizontal units, the circle
    /// is round on the screen. Its outline is in colour, or in the default
    /// foreground colour (black) when colour is invalid; it is filled with the
    /// fill colour while the fill style is solid. The position moves to the centre.
    void Circle(double x, double y, double radius, const QColor &colour = QColor());
    /// 0 solid, 1 transparent.
    void setFillStyle(int style) { m_fillStyle = style; }
    int fillStyle() const { return m_fillStyle; }
    void setFillColor(const QColor &colour) { m_fillColor = colour; }

    QPointF currentPosition() const { return m_current; }
    const PlotMapping &mapping() const { return m_mapping; }

    /// Ends the painting in progress so the device can be read or saved.
    void flush();
    /// Called after every drawing operation (the window repaints).
    std::function<void()> changed;

private:
    QPainter &painter();
    void notify();

    QPaintDevice *m_device;
    std::unique_ptr<QPainter> m_painter;
    PlotMapping m_mapping;
    double m_penScale;
    QPointF m_current{0.0, 0.0};
    int m_fillStyle = 1;
    QColor m_fillColor = Qt::black;
};

} // namespace kov
