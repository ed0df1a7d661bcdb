#include "plot/render.h"

#include "analysis/core/cycle.h"
#include "plot/loopplot.h"
#include "plot/plotcanvas.h"

#include <QBuffer>
#include <QSaveFile>
#include <QImage>
#include <QString>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <memory>

namespace kov {

namespace {

/// The record's own range: the largest |X| and |Y| over its steps.
SharedState withRecordRange(const SharedState &loaded)
{
    SharedState s = loaded;
    s.MaxAbsX = 0.0f;
    s.MaxAbsY = 0.0f;
    const int rows = static_cast<int>(s.RowCount);
    for (int i = 1; i <= rows; ++i) {
        s.MaxAbsX = std::max(s.MaxAbsX, std::fabs(s.XData(i)));
        s.MaxAbsY = std::max(s.MaxAbsY, std::fabs(s.YData(i)));
    }
    AutoRange(s);
    SetMarkerRadius(s);
    return s;
}

void drawLoop(PlotCanvas &canvas, const SharedState &s)
{
    ClearPlot(canvas);
    SetPlotScale(canvas, s);
    DrawAxes(canvas, s);
    DrawStepPath(canvas, s, 1, static_cast<int>(s.RowCount));
    canvas.flush();
}

} // namespace

bool renderLoopPicture(const SharedState &state, const std::string &path, double scale, std::string &error)
{
    if (state.RowCount < 1.0f) {
        error = "no record loaded to draw";
        return false;
    }
    const auto s = std::make_unique<SharedState>(withRecordRange(state));
    const int width = static_cast<int>(std::lround(PlotWidth * scale));
    const int height = static_cast<int>(std::lround(PlotHeight * scale));
    const QString file = QString::fromStdString(path);
    try {
        if (file.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
            // Drawn into memory first and then saved whole, so a picture that
            // cannot be written is reported even when an older file of that name exists.
            QBuffer bytes;
            bytes.open(QIODevice::WriteOnly);
            {
                QSvgGenerator svg;
                svg.setOutputDevice(&bytes);
                svg.setSize(QSize(width, height));
                svg.setViewBox(QRect(0, 0, width, height));
                svg.setTitle(QStringLiteral("kov"));
                PlotCanvas canvas(&svg, width, height, scale);
                drawLoop(canvas, *s);
            }
            QSaveFile out(file);
            if (bytes.data().isEmpty() || !out.open(QIODevice::WriteOnly) || out.write(bytes.data()) != bytes.size() ||
                !out.commit()) {
                error = "cannot write the picture " + path;
                return false;
            }
            return true;
        }
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            PlotCanvas canvas(&image, width, height, scale);
            drawLoop(canvas, *s);
        }
        if (!image.save(file, "PNG")) {
            error = "cannot write the picture " + path;
            return false;
        }
        return true;
    } catch (const Failure &f) {
        error = std::string("cannot draw the record: ") + f.what();
        return false;
    }
}

} // namespace kov
