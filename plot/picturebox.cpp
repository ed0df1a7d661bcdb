#include "plot/picturebox.h"

#include <QPainter>

namespace kov {

PictureBox::PictureBox(QWidget *parent) : QWidget(parent) {}

void PictureBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.drawImage(0, 0, m_image);
}

} // namespace kov
