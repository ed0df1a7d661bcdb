#include "window/picturebox.h"

#include "window/qtdesign.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kov {

namespace {

int devicePixels(int logical, double ratio)
{
    return std::max(1, static_cast<int>(std::lround(logical * ratio)));
}

} // namespace

PictureBox::PictureBox(QSize size, QWidget *parent, double ratio) : QWidget(parent), m_size(size)
{
    if (!(ratio > 0.0))
        ratio = devicePixelRatioF();
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_image = QImage(devicePixels(size.width(), ratio), devicePixels(size.height(), ratio), QImage::Format_RGB32);
    m_image.fill(design::qColor(design::plotcolour::Background));
    m_canvas = std::make_unique<PlotCanvas>(&m_image, m_image.width(), m_image.height(), ratio);
    m_canvas->changed = [this] { update(); };
}

PictureBox::~PictureBox() = default;

const QImage &PictureBox::image()
{
    m_canvas->flush();
    return m_image;
}

void PictureBox::paintEvent(QPaintEvent *)
{
    // The picture lives in the image; painting only shows it. The disabled
    // state of the plot area (it takes no input) does not grey it out.
    m_canvas->flush();
    QPainter painter(this);
    // Device pixel for device pixel: the image has the box's size times the
    // ratio that the painter scales by.
    painter.drawImage(QRectF(0.0, 0.0, m_size.width(), m_size.height()), m_image);
}

} // namespace kov
