#pragma once

#include "pictures/plotcanvas.h"

#include <QImage>
#include <QWidget>

#include <memory>

namespace kov {

/// The plot area: a widget that keeps its picture in an off-screen image, so
/// the plot survives being covered; painting only copies the image.
///
/// The image has the size the box is made with (the plot area's, fixed by
/// the window's design) times the device pixel ratio, and keeps it, and its
/// canvas lives as long as the box: a PlotCanvas& taken from canvas() stays
/// valid across yields to the event loop, whatever runs meanwhile.
///
/// On a high-density screen (device pixel ratio 2) the picture is drawn at
/// the screen's resolution, lines and points as many device pixels wide as
/// the ratio, so it is the picture of ratio 1 drawn more finely; at ratio 1
/// the image has exactly the box's size.
class PictureBox : public QWidget {
    Q_OBJECT

public:
    /// size in logical pixels; a ratio of 0 takes the screen's device pixel
    /// ratio.
    PictureBox(QSize size, QWidget *parent = nullptr, double ratio = 0.0);
    ~PictureBox() override;

    /// The drawing operations on the picture.
    PlotCanvas &canvas() { return *m_canvas; }
    /// The picture as drawn so far, in device pixels.
    const QImage &image();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QSize m_size; ///< in logical pixels
    QImage m_image;
    std::unique_ptr<PlotCanvas> m_canvas;
};

} // namespace kov
