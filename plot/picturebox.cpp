#include "plot/picturebox.h"

#include "app/design/qtdesign.h"

#include <QPainter>

#include <algorithm>

namespace kov {

PictureBox::PictureBox(QSize size, QWidget *parent)
    : QWidget(parent), m_image(std::max(1, size.width()), std::max(1, size.height()), QImage::Format_RGB32)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_image.fill(design::qColor(design::plotcolour::Background));
    m_canvas = std::make_unique<PlotCanvas>(&m_image, m_image.width(), m_image.height());
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
    painter.drawImage(0, 0, m_image);
}

} // namespace kov
