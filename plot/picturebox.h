#pragma once

#include "plot/plotcanvas.h"

#include <QImage>
#include <QWidget>

namespace kov {

/// The plot area: a widget that keeps its picture in an off-screen image, so
/// the plot survives being covered; painting only copies the image.
class PictureBox : public QWidget {
    Q_OBJECT

public:
    explicit PictureBox(QWidget *parent = nullptr);
    ~PictureBox() override;

    /// The drawing operations on the picture.
    PlotCanvas &canvas();
    /// The picture as drawn so far.
    const QImage &image();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    /// Keeps the image at the widget's size (a new size starts a white picture).
    void ensureSize();

    QImage m_image;
    std::unique_ptr<PlotCanvas> m_canvas;
};

} // namespace kov
