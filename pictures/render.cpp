#include "pictures/render.h"

#include "core/output/atomicfile.h"
#include "pictures/loopplot.h"
#include "pictures/plotcanvas.h"
#include "pictures/qtcolour.h"

#include <QBuffer>
#include <QImage>
#include <QSvgGenerator>

#include <memory>

namespace kov {

bool renderLoopPicture(const SharedState &state, const std::string &path, double scale, std::string &error)
{
    if (state.RowCount < 1.0f) {
        error = "no record loaded to draw";
        return false;
    }
    const int width = pictureWidth(scale);
    const int height = pictureHeight(scale);
    if (width < 1 || height < 1) {
        error = "the picture would be smaller than one pixel";
        return false;
    }
    const auto s = std::make_unique<SharedState>(withRecordRange(state));
    // The picture is made in memory and then written whole, so a failed
    // write never leaves a part of it, nor harms an earlier picture.
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    try {
        if (isSvgName(path)) {
            QSvgGenerator svg;
            svg.setOutputDevice(&bytes);
            svg.setSize(QSize(width, height));
            svg.setViewBox(QRect(0, 0, width, height));
            svg.setTitle(QStringLiteral("kov"));
            PlotCanvas canvas(&svg, width, height, scale);
            drawWholeLoop(canvas, *s);
            canvas.flush();
        } else {
            QImage image(width, height, QImage::Format_RGB32);
            image.fill(design::qColor(design::plotcolour::Background));
            {
                PlotCanvas canvas(&image, width, height, scale);
                drawWholeLoop(canvas, *s);
                canvas.flush();
            }
            image.save(&bytes, "PNG");
        }
    } catch (const Failure &f) {
        error = std::string("cannot draw the record: ") + f.what();
        return false;
    }
    if (bytes.size() == 0) {
        error = "cannot encode the picture " + path;
        return false;
    }
    try {
        writeFileAtomically(path, std::string_view(bytes.data().constData(), static_cast<std::size_t>(bytes.size())));
    } catch (const Failure &f) {
        error = failureLine(f);
        return false;
    }
    return true;
}

} // namespace kov
