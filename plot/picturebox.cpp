#include "plot/picturebox.h"

#include <QPainter>

namespace kov {

PictureBox::PictureBox(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_image = QImage(1, 1, QImage::Format_RGB32);
    m_image.fill(Qt::white);
    m_canvas = std::make_unique<PlotCanvas>(&m_image, 1, 1);
}

PictureBox::~PictureBox() = default;

void PictureBox::ensureSize()
{
    if (m_image.size() == size() || width() < 1 || height() < 1)
        return;
    m_canvas.reset();
    m_image = QImage(std::max(1, width()), std::max(1, height()), QImage::Format_RGB32);
    m_image.fill(Qt::white);
    m_canvas = std::make_unique<PlotCanvas>(&m_image, m_image.width(), m_image.height());
    m_canvas->changed = [this] { update(); };
}

PlotCanvas &PictureBox::canvas()
{
    ensureSize();
    return *m_canvas;
}

const QImage &PictureBox::image()
{
    ensureSize();
    m_canvas->flush();
    return m_image;
}

void PictureBox::paintEvent(QPaintEvent *)
{
    // The picture lives in the image; painting only shows it. The disabled
    // state of the plot area (it takes no input) does not grey it out.
    ensureSize();
    m_canvas->flush();
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
}

} // namespace kov
