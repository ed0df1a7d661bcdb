#include "core/drawing/plotmapping.h"

#include <gtest/gtest.h>

using namespace kov;

TEST(PlotMappingTest, CornersMapToTheEdges)
{
    PlotMapping m(200, 100);
    m.setScale(-11.0, -5.0, 10.0, 6.0);
    EXPECT_DOUBLE_EQ(m.toPixelX(-11.0), 0.0);
    EXPECT_DOUBLE_EQ(m.toPixelX(10.0), 200.0);
    EXPECT_DOUBLE_EQ(m.toPixelY(-5.0), 0.0);
    EXPECT_DOUBLE_EQ(m.toPixelY(6.0), 100.0);
    EXPECT_DOUBLE_EQ(m.toPixelX(-0.5), 100.0);
    EXPECT_DOUBLE_EQ(m.toPixelsHorizontal(2.1), 20.0);
}

TEST(PlotMappingTest, DegenerateRangesMapToTheMiddle)
{
    PlotMapping m(200, 100);
    m.setScale(0.0, -5.0, 0.0, 5.0);
    EXPECT_FALSE(m.xValid());
    EXPECT_TRUE(m.yValid());
    EXPECT_DOUBLE_EQ(m.toPixelX(3.0), 100.0);
    EXPECT_DOUBLE_EQ(m.toPixelsHorizontal(1.0), 0.0);
    m.setScale(-1.0, 2.0, 1.0, 2.0);
    EXPECT_DOUBLE_EQ(m.toPixelY(7.0), 50.0);
    m.setScale(-3e38, -1.0, 3e38, 1.0);
    EXPECT_TRUE(m.xValid());
    m.setScale(-1e308, -1.0, 1e308, 1.0); // the width overflows a double
    EXPECT_FALSE(m.xValid());
}

TEST(ClipTest, SegmentsAreCutAtTheEdges)
{
    double x0 = -50, y0 = 50, x1 = 150, y1 = 50;
    ASSERT_TRUE(clipSegment(x0, y0, x1, y1, 0, 0, 100, 100));
    EXPECT_DOUBLE_EQ(x0, 0.0);
    EXPECT_DOUBLE_EQ(x1, 100.0);
    double a = 200, b = 200, c = 300, d = 300;
    EXPECT_FALSE(clipSegment(a, b, c, d, 0, 0, 100, 100));
    double e = -1e30, f = 50, g = 1e30, h = 50;
    ASSERT_TRUE(clipSegment(e, f, g, h, 0, 0, 100, 100));
    EXPECT_DOUBLE_EQ(e, 0.0);
    EXPECT_DOUBLE_EQ(g, 100.0);
}
