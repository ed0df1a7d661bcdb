#include "core/drawing/pathsimplify.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>
#include <utility>

namespace kov {

namespace {

/// The square of the distance from p to the segment a-b.
double squaredSegmentDistance(const PixelPoint &p, const PixelPoint &a, const PixelPoint &b)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length2 = dx * dx + dy * dy;
    double t = 0.0;
    if (length2 > 0.0)
        t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0);
    const double ex = a.x + t * dx - p.x, ey = a.y + t * dy - p.y;
    return ex * ex + ey * ey;
}

/// Douglas-Peucker on points[first..last], both kept already and finite, as
/// are the points between: marks in keep those the simplified path needs.
void simplifyRun(const std::vector<PixelPoint> &points, std::size_t first, std::size_t last, double tolerance2,
                 std::vector<char> &keep)
{
    std::vector<std::pair<std::size_t, std::size_t>> pending{{first, last}};
    while (!pending.empty()) {
        const auto [a, b] = pending.back();
        pending.pop_back();
        double farthest = tolerance2;
        std::size_t at = a;
        for (std::size_t i = a + 1; i < b; ++i) {
            const double d2 = squaredSegmentDistance(points[i], points[a], points[b]);
            if (d2 > farthest) {
                farthest = d2;
                at = i;
            }
        }
        if (at == a)
            continue;
        keep[at] = 1;
        pending.emplace_back(a, at);
        pending.emplace_back(at, b);
    }
}

constexpr std::size_t LongestRun = 4096;

/// The cell of a grid of cells size wide that holds p.
std::uint64_t cellOf(const PixelPoint &p, double size, std::int64_t dx = 0, std::int64_t dy = 0)
{
    auto index = [&](double v, std::int64_t d) {
        const double c = std::floor(v / size);
        const double clamped = std::clamp(c, -1e9, 1e9); // far outside or not a number: one edge cell
        return static_cast<std::uint32_t>(static_cast<std::int64_t>(std::isnan(c) ? 0.0 : clamped) + d);
    };
    return (static_cast<std::uint64_t>(index(p.x, dx)) << 32) | index(p.y, dy);
}

} // namespace

std::vector<std::size_t> simplifyPath(const std::vector<PixelPoint> &points, double tolerance,
                                      const std::vector<std::size_t> &always)
{
    const std::size_t n = points.size();
    std::vector<char> keep(n, 0);
    if (n == 0)
        return {};
    keep.front() = keep.back() = 1;
    for (const std::size_t i : always)
        if (i < n)
            keep[i] = 1;
    for (std::size_t i = LongestRun; i < n; i += LongestRun)
        keep[i] = 1;
    // A point that is not finite breaks the path (nothing is drawn to it):
    // it and its neighbours stay, so no run ends on it.
    for (std::size_t i = 0; i < n; ++i)
        if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y))
            keep[i] = keep[i > 0 ? i - 1 : i] = keep[i + 1 < n ? i + 1 : i] = 1;
    const double tolerance2 = tolerance * tolerance;
    for (std::size_t first = 0; first + 1 < n;) {
        std::size_t last = first + 1;
        while (!keep[last])
            ++last;
        simplifyRun(points, first, last, tolerance2, keep);
        first = last;
    }
    std::vector<std::size_t> kept;
    for (std::size_t i = 0; i < n; ++i)
        if (keep[i])
            kept.push_back(i);
    return kept;
}

std::vector<std::size_t> spacedMarkers(const std::vector<PixelPoint> &points, double spacing,
                                       const std::vector<std::size_t> &always)
{
    const std::size_t n = points.size();
    std::vector<char> kept(n, 0);
    // Cells of spacing / sqrt(2) hold at most one kept marker; a marker
    // closer than spacing lies at most two cells away.
    const double cell = spacing / std::sqrt(2.0);
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> grid;
    auto free = [&](const PixelPoint &p) {
        for (std::int64_t dx = -2; dx <= 2; ++dx)
            for (std::int64_t dy = -2; dy <= 2; ++dy) {
                const auto other = grid.find(cellOf(p, cell, dx, dy));
                if (other == grid.end())
                    continue;
                for (const std::size_t k : other->second)
                    if (std::hypot(p.x - points[k].x, p.y - points[k].y) < spacing)
                        return false;
            }
        return true;
    };
    // The markers that are always drawn: one a pixel.
    std::unordered_map<std::uint64_t, std::size_t> pixels;
    for (const std::size_t i : always) {
        if (i >= n || kept[i] || !pixels.emplace(cellOf(points[i], 1.0), i).second)
            continue;
        kept[i] = 1;
        if (spacing > 0.0)
            grid[cellOf(points[i], cell)].push_back(i);
    }
    for (std::size_t i = 0; i < n; ++i)
        if (!kept[i] && (spacing <= 0.0 || free(points[i]))) {
            kept[i] = 1;
            if (spacing > 0.0)
                grid[cellOf(points[i], cell)].push_back(i);
        }
    std::vector<std::size_t> indices;
    for (std::size_t i = 0; i < n; ++i)
        if (kept[i])
            indices.push_back(i);
    return indices;
}

} // namespace kov
