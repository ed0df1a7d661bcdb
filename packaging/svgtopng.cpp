// Renders an SVG file into a square PNG of the given size:
//   kov-svgtopng IN.svg OUT.png SIZE
// Used at build time for the bitmap copy of the program's icon.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool sizeOk = false;
    const int size = args.size() == 4 ? args.at(3).toInt(&sizeOk) : 0;
    if (!sizeOk || size < 1 || size > 1024) {
        std::fputs("usage: kov-svgtopng IN.svg OUT.png SIZE\n", stderr);
        return 2;
    }
    QSvgRenderer renderer(args.at(1));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "kov-svgtopng: cannot read %s\n", qPrintable(args.at(1)));
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
    }
    if (!image.save(args.at(2), "PNG")) {
        std::fprintf(stderr, "kov-svgtopng: cannot write %s\n", qPrintable(args.at(2)));
        return 1;
    }
    return 0;
}
