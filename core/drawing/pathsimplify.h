#pragma once

// Long paths drawn as a person sees them: which points of a path and which
// step markers a picture needs, in the picture's own pixels. No Qt.

#include <cstddef>
#include <vector>

namespace kov {

/// A point in the pixels of a picture.
struct PixelPoint {
    double x = 0.0;
    double y = 0.0;
};

/// The points of a polyline to draw so that every point left out lies within
/// tolerance pixels of the polyline through the kept ones (Douglas-Peucker,
/// measuring to the segment rather than its line, so a path that turns back
/// keeps its turn). The first and last points and every index of always
/// (in any order) are kept. Points are taken in runs of at most 4096
/// between kept ones, so the work stays near linear in the number of points
/// whatever their shape. Returns the kept indices in increasing order.
std::vector<std::size_t> simplifyPath(const std::vector<PixelPoint> &points, double tolerance,
                                      const std::vector<std::size_t> &always = {});

/// The markers to draw, centred on points, so that they stay apart: the
/// markers of always come first (all of them, but one where two fall on the
/// same pixel, which draws the same), then, in the order of points, each
/// point whose centre is at least spacing pixels from every marker kept
/// before it. Returns the kept indices in increasing order.
std::vector<std::size_t> spacedMarkers(const std::vector<PixelPoint> &points, double spacing,
                                       const std::vector<std::size_t> &always = {});

} // namespace kov
