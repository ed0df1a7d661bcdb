#pragma once

#include <QImage>
#include <QWidget>

namespace kov {

/// The plot area: a widget that keeps its picture in an off-screen image, so
/// the plot survives being covered; painting only copies the image.
class PictureBox : public QWidget {
    Q_OBJECT

public:
    explicit PictureBox(QWidget *parent = nullptr);

    const QImage &image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
};

} // namespace kov
