#include "core/analysis/course.h"
#include "core/analysis/cycle.h"
#include "core/analysis/nextcycle.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace kov;

namespace {

/// Steps 1..n with the given loads and X = the load unless given.
SharedState loads(const std::vector<float> &y, const std::vector<float> &x = {})
{
    SharedState s;
    for (std::size_t i = 0; i < y.size(); ++i) {
        s.YData(static_cast<long long>(i) + 1) = y[i];
        s.XData(static_cast<long long>(i) + 1) = x.empty() ? y[i] : x[i];
    }
    s.RowCount = static_cast<float>(y.size());
    s.CycleNo = 1;
    s.CycleEndStep(0) = 1;
    return s;
}

TEST(FindNextCycleTest, EndsAtTheNextUpwardCrossing)
{
    SharedState s = loads({1, 2, -3, -0.5f, 0.7f, 2, -1, 1}, {0, 1, -2, -1, 5, 9, 9, 9});
    EXPECT_FALSE(FindNextCycle(s));
    EXPECT_EQ(s.CycleEndStep(1), 5);
    EXPECT_EQ(s.PeakStep(0, 1), 5) << "the crossing step still counts for the extremes";
    EXPECT_EQ(s.PeakStep(1, 1), 3);
    EXPECT_EQ(s.MaxAbsX, 5.0f);
    EXPECT_EQ(s.MaxAbsY, 3.0f);
    EXPECT_EQ(s.SkipCrossing(1), 0);
}

TEST(FindNextCycleTest, PendingSkipPassesOverOneCrossing)
{
    SharedState s = loads({1, 2, -3, -0.5f, 0.7f, 2, -1, 1, 3});
    s.SkipCrossing(0) = 1;
    EXPECT_FALSE(FindNextCycle(s));
    EXPECT_EQ(s.CycleEndStep(1), 8);
    EXPECT_EQ(s.SkipCrossing(0), 0);
}

TEST(FindNextCycleTest, CrossingRules)
{
    // From exactly 0 to positive qualifies; positive to larger positive does not.
    SharedState a = loads({-1, -1, 0, 2, 3});
    FindNextCycle(a);
    EXPECT_EQ(a.CycleEndStep(1), 4);
    // Steps 1 and 2 never qualify.
    SharedState b = loads({-1, 1, 2, -1, 1, 1});
    FindNextCycle(b);
    EXPECT_EQ(b.CycleEndStep(1), 5);
    // A product too small for a float counts as 0, even of two positive loads.
    SharedState c = loads({1, 1, 1e-30f, 1e-30f, 5});
    FindNextCycle(c);
    EXPECT_EQ(c.CycleEndStep(1), 4);
}

TEST(FindNextCycleTest, LastRowEndsTheRecord)
{
    SharedState s = loads({1, 2, 3, 2, 1});
    EXPECT_TRUE(FindNextCycle(s));
    EXPECT_EQ(s.CycleEndStep(1), 5);
    // A crossing exactly at the last row.
    SharedState t = loads({1, 2, -3, -1, 2});
    EXPECT_TRUE(FindNextCycle(t));
    EXPECT_EQ(t.CycleEndStep(1), 5);
}

TEST(FindNextCycleTest, PeaksAndTies)
{
    SharedState s = loads({1, 2, 3, 4, 5, 6}, {2, 8, 3, 8, 5, 4});
    FindNextCycle(s);
    EXPECT_EQ(s.PeakStep(0, 1), 4) << "the last of equal extremes wins";
    EXPECT_EQ(s.PeakStep(1, 1), 0) << "no X at or below 0";
    SharedState t = loads({1, 2, 3, 4}, {1, 5, -7, 2});
    FindNextCycle(t);
    EXPECT_EQ(t.MaxAbsX, 7.0f);
}

TEST(FindNextCycleTest, NothingLeftToSearchEndsTheRecordAtItsStart)
{
    SharedState s = loads({1, 2, 3});
    s.CycleEndStep(0) = 3;
    s.CycleEndStep(1) = 1234; // stale
    s.PeakStep(0, 1) = 9;
    EXPECT_TRUE(FindNextCycle(s));
    EXPECT_EQ(s.CycleEndStep(1), 3);
    EXPECT_EQ(s.PeakStep(0, 1), 0);
    EXPECT_EQ(s.PeakStep(1, 1), 0);
    EXPECT_EQ(s.MaxAbsX, 0.0f);
}

TEST(CourseTest, StopsAfterCycleOneHundred)
{
    // 150 clean cycles of 4 steps: the course stops at cycle 100.
    SharedState s;
    std::vector<float> y;
    for (int c = 0; c < 150; ++c)
        for (float v : {-1.0f, 1.0f, 2.0f, 1.0f})
            y.push_back(v);
    for (std::size_t i = 0; i < y.size() && i < 2000; ++i) {
        s.XData(static_cast<long long>(i) + 1) = y[i];
        s.YData(static_cast<long long>(i) + 1) = y[i];
    }
    s.RowCount = 600;
    s.CycleNo = 0;
    s.CycleEndStep(0) = 1;
    int n = 0;
    bool atEnd = false;
    while (!atEnd && n < MaxCycle) {
        s.CycleNo = static_cast<std::int16_t>(++n);
        atEnd = FindNextCycle(s);
        runCycleComputation(s);
    }
    EXPECT_EQ(n, 100);
    EXPECT_FALSE(atEnd);
}

} // namespace
