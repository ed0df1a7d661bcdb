#include "core/drawing/pathsimplify.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

using namespace kov;

namespace {

double segmentDistance(const PixelPoint &p, const PixelPoint &a, const PixelPoint &b)
{
    const double dx = b.x - a.x, dy = b.y - a.y, l2 = dx * dx + dy * dy;
    const double t = l2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / l2, 0.0, 1.0) : 0.0;
    return std::hypot(a.x + t * dx - p.x, a.y + t * dy - p.y);
}

/// A path of n points and the most points that its simplified form may keep.
struct PathCase {
    const char *name;
    std::size_t n;
    std::function<PixelPoint(std::size_t i, std::size_t n)> at;
    std::size_t mostKept;
};

void PrintTo(const PathCase &c, std::ostream *os)
{
    *os << c.name;
}

class SimplifiedPath : public ::testing::TestWithParam<PathCase> {};

TEST_P(SimplifiedPath, StaysWithinHalfAPixelAndKeepsWhatMustStay)
{
    const PathCase &c = GetParam();
    std::vector<PixelPoint> points;
    for (std::size_t i = 0; i < c.n; ++i)
        points.push_back(c.at(i, c.n));
    const std::vector<std::size_t> always = {c.n / 3, c.n / 2};
    const auto kept = simplifyPath(points, 0.5, always);
    ASSERT_GE(kept.size(), 2u);
    EXPECT_EQ(kept.front(), 0u);
    EXPECT_EQ(kept.back(), c.n - 1);
    EXPECT_TRUE(std::is_sorted(kept.begin(), kept.end()));
    for (const std::size_t i : always)
        EXPECT_TRUE(std::binary_search(kept.begin(), kept.end(), i)) << i;
    EXPECT_LE(kept.size(), c.mostKept);
    for (std::size_t k = 0; k + 1 < kept.size(); ++k)
        for (std::size_t i = kept[k] + 1; i < kept[k + 1]; ++i) // the ends are finite, or none is left out
            ASSERT_LE(segmentDistance(points[i], points[kept[k]], points[kept[k + 1]]), 0.5) << "point " << i;
}

const double Pi = std::numbers::pi;

INSTANTIATE_TEST_SUITE_P(Cases, SimplifiedPath, ::testing::Values(
    // 330 loops of 100 steps over one another, as a long record draws them.
    PathCase{"retraced_loop", 33000, [](std::size_t i, std::size_t) {
        const double u = 2 * Pi * static_cast<double>(i % 100) / 100.0;
        return PixelPoint{450 + 400 * std::sin(u), 300 + 250 * std::sin(u + 0.4)}; }, 33000 / 100 * 60},
    // A million steps of a slowly growing loop.
    PathCase{"growing_loop", 1000000, [](std::size_t i, std::size_t n) {
        const double u = 2 * Pi * static_cast<double>(i) / 5000.0, a = 0.2 + 0.8 * static_cast<double>(i) / static_cast<double>(n);
        return PixelPoint{450 + 400 * a * std::sin(u), 300 + 250 * a * std::sin(u + 0.4)}; }, 40000},
    // Out and back on one line: the turn is far from the line's ends.
    PathCase{"turns_back", 1001, [](std::size_t i, std::size_t) {
        return PixelPoint{i <= 600 ? double(i) : 1200.0 - double(i), 10}; }, 6},
    // Noise within a quarter pixel of a straight line, broken by a point that is not a number.
    PathCase{"noise_and_nan", 5000, [](std::size_t i, std::size_t) {
        return PixelPoint{0.1 * double(i), i == 4000 ? std::nan("") : 0.25 * std::sin(double(i) * 1.7)}; }, 12}));

} // namespace

TEST(SpacedMarkers, StayApartButPeaksAndEndsAreAllDrawn)
{
    std::vector<PixelPoint> points;
    for (int i = 0; i < 20000; ++i)
        points.push_back({300 + 200 * std::cos(i * 0.01), 200 + 150 * std::sin(i * 0.013)});
    const std::vector<std::size_t> always = {5, 6, 700, 701, 19999};
    points[6] = points[5]; // the same pixel: drawn once
    const double spacing = 9.0;
    const auto kept = spacedMarkers(points, spacing, always);
    for (const std::size_t i : {5u, 700u, 701u, 19999u})
        EXPECT_TRUE(std::binary_search(kept.begin(), kept.end(), i)) << i;
    EXPECT_FALSE(std::binary_search(kept.begin(), kept.end(), 6u));
    EXPECT_LT(kept.size(), 600u * 400u / (spacing * spacing));
    auto forced = [&](std::size_t i) { return std::find(always.begin(), always.end(), i) != always.end(); };
    for (std::size_t i = 0; i < points.size(); i += 7) {
        const bool isKept = std::binary_search(kept.begin(), kept.end(), i);
        double nearest = INFINITY;
        for (const std::size_t k : kept)
            if (k != i)
                nearest = std::min(nearest, std::hypot(points[i].x - points[k].x, points[i].y - points[k].y));
        if (isKept && !forced(i)) {
            EXPECT_GE(nearest, spacing) << i;
        } else if (!isKept) {
            EXPECT_LT(nearest, spacing) << i;
        }
    }
    EXPECT_EQ(spacedMarkers(points, 0.0).size(), points.size());
}
