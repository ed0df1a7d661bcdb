#include "pictures/plotcanvas.h"

#include "pictures/qtcolour.h"

#include <QImage>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace kov {

namespace {
/// Drawing reaches this far beyond the edges, so clipped lines and circles
/// still end outside the visible area.
constexpr double Margin = 16.0;
/// A circle larger than this many pixels is not drawn: it cannot be seen as
/// a marker and would only load the painter.
constexpr double MaxRadius = 100000.0;
} // namespace

void drawBoundedPolyline(QPainter &painter, const std::vector<QPointF> &points, const QPen &pen, const QSize &size)
{
    if (points.size() <= MaxVectorPathPoints) {
        painter.setPen(pen);
        painter.drawPolyline(points.data(), static_cast<int>(points.size()));
        return;
    }
    QImage layer(size, QImage::Format_RGB32);
    layer.fill(Qt::white);
    {
        QPainter lp(&layer);
        lp.setRenderHint(QPainter::Antialiasing, painter.testRenderHint(QPainter::Antialiasing));
        QPen black = pen;
        black.setColor(Qt::black);
        lp.setPen(black);
        lp.drawPolyline(points.data(), static_cast<int>(points.size()));
    }
    QImage mono = layer.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    QList<QRgb> table = mono.colorTable();
    for (QRgb &c : table)
        c = qGray(c) > 127 ? qRgba(0, 0, 0, 0) : pen.color().rgb();
    mono.setColorTable(table);
    painter.drawImage(QPointF(0.0, 0.0), mono);
}

PlotCanvas::PlotCanvas(QPaintDevice *device, int width, int height, double penScale)
    : m_device(device), m_mapping(width, height), m_penScale(penScale > 0.0 ? penScale : 1.0)
{
}

PlotCanvas::~PlotCanvas()
{
    flush();
}

QPainter &PlotCanvas::painter()
{
    if (!m_painter) {
        m_painter = std::make_unique<QPainter>(m_device);
        m_painter->setRenderHint(QPainter::Antialiasing, false);
        m_painter->setClipRect(0, 0, m_mapping.width(), m_mapping.height());
    }
    return *m_painter;
}

void PlotCanvas::flush()
{
    if (m_painter) {
        m_painter->end();
        m_painter.reset();
    }
}

void PlotCanvas::notify()
{
    if (changed)
        changed();
}

void PlotCanvas::Cls()
{
    painter().fillRect(0, 0, m_mapping.width(), m_mapping.height(), design::qColor(design::plotcolour::Background));
    m_current = QPointF(0.0, 0.0);
    notify();
}

void PlotCanvas::Scale(double x1, double y1, double x2, double y2)
{
    m_mapping.setScale(x1, y1, x2, y2);
}

void PlotCanvas::PSet(double x, double y, const QColor &colour)
{
    m_current = QPointF(x, y);
    const double px = std::floor(m_mapping.toPixelX(x));
    const double py = std::floor(m_mapping.toPixelY(y));
    if (px < 0 || py < 0 || px >= m_mapping.width() || py >= m_mapping.height())
        return;
    QPainter &p = painter();
    const int size = std::max(1, static_cast<int>(std::lround(m_penScale)));
    p.fillRect(static_cast<int>(px), static_cast<int>(py), size, size, colour);
    notify();
}

void PlotCanvas::Line(double x1, double y1, double x2, double y2, const QColor &colour)
{
    m_current = QPointF(x2, y2);
    double ax = m_mapping.toPixelX(x1), ay = m_mapping.toPixelY(y1);
    double bx = m_mapping.toPixelX(x2), by = m_mapping.toPixelY(y2);
    if (!clipSegment(ax, ay, bx, by, -Margin, -Margin, m_mapping.width() + Margin,
                     m_mapping.height() + Margin))
        return;
    QPainter &p = painter();
    QPen pen(colour);
    pen.setWidthF(m_penScale == 1.0 ? 0.0 : m_penScale);
    pen.setCapStyle(Qt::SquareCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(std::floor(ax) + 0.5, std::floor(ay) + 0.5),
               QPointF(std::floor(bx) + 0.5, std::floor(by) + 0.5));
    notify();
}

void PlotCanvas::LineTo(double x, double y, const QColor &colour)
{
    Line(m_current.x(), m_current.y(), x, y, colour);
}

void PlotCanvas::PixelPolyline(const std::vector<QPointF> &pixels, const QColor &colour)
{
    if (pixels.empty())
        return;
    QPainter &p = painter();
    QPen pen(colour);
    pen.setWidthF(m_penScale == 1.0 ? 0.0 : m_penScale);
    pen.setCapStyle(Qt::SquareCap);
    p.setBrush(Qt::NoBrush);
    drawBoundedPolyline(p, pixels, pen, QSize(m_mapping.width(), m_mapping.height()));
    notify();
}

void PlotCanvas::Circle(double x, double y, double radius, const QColor &colour)
{
    m_current = QPointF(x, y);
    const double cx = m_mapping.toPixelX(x), cy = m_mapping.toPixelY(y);
    const double r = m_mapping.toPixelsHorizontal(radius);
    if (!(r <= MaxRadius))
        return;
    if (cx + r < -Margin || cy + r < -Margin || cx - r > m_mapping.width() + Margin ||
        cy - r > m_mapping.height() + Margin)
        return;
    QPainter &p = painter();
    QPen pen(colour.isValid() ? colour : design::qColor(design::plotcolour::Foreground));
    pen.setWidthF(m_penScale == 1.0 ? 0.0 : m_penScale);
    p.setPen(pen);
    p.setBrush(m_fillStyle == 0 ? QBrush(m_fillColor) : QBrush(Qt::NoBrush));
    p.drawEllipse(QPointF(std::floor(cx) + 0.5, std::floor(cy) + 0.5), r, r);
    notify();
}

} // namespace kov
