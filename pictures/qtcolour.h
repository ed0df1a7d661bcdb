#pragma once

// The design's colours as Qt's: the one conversion the drawing code needs.

#include "core/drawing/design.h"

#include <QColor>

namespace kov::design {

inline QColor qColor(Rgb rgb)
{
    return QColor(rgb.red, rgb.green, rgb.blue);
}

} // namespace kov::design
