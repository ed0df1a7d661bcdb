#include "core/analysis/cycle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace kov;

namespace {

/// A state holding the given points as steps 1..n, with cycle 1 running
/// from step start to step end.
SharedState withSteps(const std::vector<std::pair<float, float>> &points, int start, int end)
{
    SharedState s;
    for (std::size_t i = 0; i < points.size(); ++i) {
        s.XData(static_cast<long long>(i) + 1) = points[i].first;
        s.YData(static_cast<long long>(i) + 1) = points[i].second;
    }
    s.RowCount = static_cast<float>(points.size());
    s.CycleNo = 1;
    s.CycleEndStep(0) = static_cast<std::int16_t>(start);
    s.CycleEndStep(1) = static_cast<std::int16_t>(end);
    return s;
}

TEST(CycleTest, UnitSquareClockwiseAndCounterClockwise)
{
    SharedState cw = withSteps({{0, 1}, {1, 1}, {1, 0}, {0, 0}, {0, 1}}, 1, 5);
    runCycleComputation(cw);
    EXPECT_EQ(cw.CycleEnergy(1), 1.0f);

    SharedState ccw = withSteps({{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}, 1, 5);
    runCycleComputation(ccw);
    EXPECT_EQ(ccw.CycleEnergy(1), -1.0f);
}

TEST(CycleTest, DampingOfAKnownLoop)
{
    SharedState s = withSteps({{10, 5}, {-10, -5}}, 1, 1);
    s.PeakStep(0, 1) = 1;
    s.PeakStep(1, 1) = 2;
    ResetCycleResults(s);
    s.CycleEnergy(1) = 31.4159f;
    FinishCycle(s);
    EXPECT_EQ(s.StrainEnergy, 50.0f);
    EXPECT_EQ(s.CycleDamping(1), static_cast<float>(static_cast<double>(31.4159f) / 6.28318 / 50.0));
    EXPECT_NEAR(s.CycleDamping(1), 0.1f, 1e-6);
    EXPECT_EQ(s.ResultDamping(1), s.CycleDamping(1));
}

TEST(CycleTest, NoSegmentWhenTheEndIsNotAfterTheStart)
{
    for (int end : {3, 2}) {
        SharedState s = withSteps({{0, 0}, {1, 1}, {2, 2}, {3, 3}}, 3, end);
        s.TotalEnergy(0) = 7.0f;
        s.CycleEnergy(1) = 99.0f;
        runCycleComputation(s);
        EXPECT_EQ(s.CycleEnergy(1), 0.0f);
        EXPECT_EQ(s.TotalEnergy(1), 7.0f);
    }
}

TEST(CycleTest, ZeroStrainEnergyGivesZeroDamping)
{
    SharedState s = withSteps({{0, 1}, {1, 1}, {1, 0}}, 1, 3);
    s.PeakStep(0, 1) = 0;
    s.PeakStep(1, 1) = 0;
    runCycleComputation(s);
    EXPECT_NE(s.CycleEnergy(1), 0.0f);
    EXPECT_EQ(s.CycleDamping(1), 0.0f);
    EXPECT_EQ(s.ResultDamping(1), 0.0f);

    // Peaks whose triangles cancel, and a quotient beyond the float range.
    SharedState c = withSteps({{2, 3}, {-2, 3}}, 1, 2);
    c.PeakStep(0, 1) = 1;
    c.PeakStep(1, 1) = 2;
    runCycleComputation(c);
    EXPECT_EQ(c.StrainEnergy, 0.0f);
    EXPECT_EQ(c.CycleDamping(1), 0.0f);
    SharedState h = withSteps({{0, 0}, {3e38f, 3e38f}, {1e-20f, 1e-20f}}, 1, 2);
    h.PeakStep(0, 1) = 3;
    runCycleComputation(h);
    EXPECT_EQ(h.CycleEnergy(1), std::numeric_limits<float>::infinity()) << "never clamped";
    EXPECT_EQ(h.CycleDamping(1), 0.0f);
    EXPECT_TRUE(cycleResultsBeyondFloatRange(h));
    EXPECT_FALSE(cycleResultsBeyondFloatRange(c));

    // Cycle 2 runs the path back: -infinity, and the total of both is NaN,
    // not a finite, sign-flipped sum.
    h.CycleNo = 2;
    h.CycleEndStep(2) = 3;
    h.PeakStep(0, 2) = 2;
    runCycleComputation(h);
    EXPECT_EQ(h.CycleEnergy(2), -std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(h.TotalEnergy(2)));
    EXPECT_TRUE(std::isinf(h.StrainEnergy));
    EXPECT_EQ(h.CycleDamping(2), 0.0f);
}

TEST(CycleTest, PeakStepZeroIsTheOrigin)
{
    SharedState s = withSteps({{4, 2}, {1, 1}}, 1, 2);
    s.PeakStep(0, 1) = 1;
    s.PeakStep(1, 1) = 0;
    runCycleComputation(s);
    EXPECT_EQ(s.StrainEnergy, 4.0f);
}

TEST(CycleTest, SumsInDoubleAndStoresFloatAfterEverySegment)
{
    // 1e8 + 1 + 1 ... as floats loses the small segments; each stored sum is
    // rounded to float, so the result is exactly the float running sum.
    SharedState s = withSteps({{0, 2e8f}, {1, 0}, {2, 1}, {3, 1}, {4, 1}}, 1, 5);
    runCycleComputation(s);
    float expected = 0.0f;
    const double segs[] = {1e8, 0.5, 1.0, 1.0};
    for (double seg : segs)
        expected = static_cast<float>(seg + static_cast<double>(expected));
    EXPECT_EQ(s.CycleEnergy(1), expected);
}

TEST(CycleTest, TotalsFollowTheCycleOrder)
{
    SharedState s = withSteps({{0, 1}, {1, 1}, {1, 0}, {0, 0}, {0, 1}, {2, 1}, {2, 0}, {0, 0}, {0, 1}}, 1, 5);
    s.CycleEndStep(2) = 9;
    s.CycleEndStep(3) = 9;
    float running = 0.0f;
    for (int n = 1; n <= 3; ++n) {
        s.CycleNo = static_cast<std::int16_t>(n);
        runCycleComputation(s);
        running = static_cast<float>(static_cast<double>(running) + static_cast<double>(s.CycleEnergy(n)));
        EXPECT_EQ(s.TotalEnergy(n), running);
    }
    // Recomputing cycle 2 with another end step leaves cycle 3's total alone.
    const float total3 = s.TotalEnergy(3);
    s.CycleNo = 2;
    s.CycleEndStep(2) = 7;
    runCycleComputation(s);
    EXPECT_EQ(s.TotalEnergy(3), total3);
}

TEST(CycleTest, HooksSeeEveryStepAndCanStop)
{
    SharedState s = withSteps({{0, 1}, {1, 1}, {1, 0}, {0, 0}}, 1, 4);
    std::vector<int> drawn, added;
    CycleSteps hooks;
    hooks.drawStep = [&](int i) { drawn.push_back(i); };
    hooks.segmentAdded = [&](int i) {
        added.push_back(i);
        return i < 3;
    };
    EXPECT_FALSE(runCycleComputation(s, hooks));
    EXPECT_EQ(drawn, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(added, (std::vector<int>{2, 3}));
}

TEST(RangeTest, AutomaticRangeAndMarkerRadius)
{
    SharedState s;
    s.MaxAbsX = 7.0f;
    s.MaxAbsY = 66.0f;
    AutoRange(s);
    SetMarkerRadius(s);
    EXPECT_EQ(s.ScaleXMax, static_cast<float>(7.0 * 1.1));
    EXPECT_EQ(s.ScaleXMin, static_cast<float>(7.0 * -1.1));
    EXPECT_EQ(s.ScaleYMax, static_cast<float>(66.0 * 1.1));
    EXPECT_EQ(s.MarkerRadius,
              static_cast<float>((static_cast<double>(s.ScaleXMax) - static_cast<double>(s.ScaleXMin)) / 100.0));
    EXPECT_NEAR(s.MarkerRadius, 0.154f, 1e-6);
}

TEST(CycleTest, OutOfRangeStepsFailWithNine)
{
    SharedState s = withSteps({{0, 1}}, 1, 1);
    s.PeakStep(0, 1) = 2001;
    try {
        runCycleComputation(s);
        FAIL();
    } catch (const Failure &f) {
        EXPECT_EQ(f.number(), 9);
    }
}

} // namespace
