#pragma once

#include "plot/plotcanvas.h"

#include <QImage>
#include <QWidget>

#include <memory>

namespace kov {

/// The plot area: a widget that keeps its picture in an off-screen image, so
/// the plot survives being covered; painting only copies the image.
///
/// The image has the size the box is made with (the plot area's, fixed by
/// the window's design) and keeps it, and its canvas lives as long as the
/// box: a PlotCanvas& taken from canvas() stays valid across yields to the
/// event loop, whatever runs meanwhile.
class PictureBox : public QWidget {
    Q_OBJECT

public:
    PictureBox(QSize size, QWidget *parent = nullptr);
    ~PictureBox() override;

    /// The drawing operations on the picture.
    PlotCanvas &canvas() { return *m_canvas; }
    /// The picture as drawn so far.
    const QImage &image();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
    std::unique_ptr<PlotCanvas> m_canvas;
};

} // namespace kov
