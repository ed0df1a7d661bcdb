// The automatic course of an analysis on records read from files, and the
// crossing test at the edges of the float range.

#include "core/analysis/course.h"
#include "core/analysis/cycle.h"
#include "core/analysis/nextcycle.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <memory>
#include <string>

namespace fs = std::filesystem;
using namespace kov;

namespace {

class CourseOnFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        state = std::make_unique<SharedState>();
        applyStartValues(*state);
        state->SkipLines = 0;
        state->DataFileName = path.string();
    }

    void write(const std::string &text) { test::writeAll(path, text); }

    /// Rows "x y", x the row number from 0, with loads -1, +1 alternating,
    /// starting with -1: rows 4, 6, 8... are upward crossings.
    void writeCrossings(int crossings) { write(test::crossingRecord(crossings, 0, false)); }

    test::ScratchFolder scratch;
    const fs::path path = scratch / "record.prn";
    std::unique_ptr<SharedState> state;
};

TEST_F(CourseOnFile, StopsAtCycleOneHundredOnlyWhenTheRecordGoesOn)
{
    writeCrossings(130);
    AutomaticCourse c = analyseRecord(*state);
    EXPECT_EQ(c.cycles, 100);
    EXPECT_TRUE(c.truncated);
    EXPECT_EQ(state->CycleNo, 100);
    EXPECT_EQ(state->CycleEndStep(100), 202);

    // 100 crossings: cycle 100 ends at the last row, nothing is cut off.
    writeCrossings(100);
    c = analyseRecord(*state);
    EXPECT_EQ(c.cycles, 100);
    EXPECT_FALSE(c.truncated);
    EXPECT_EQ(state->CycleEndStep(100), 201);
    EXPECT_EQ(state->RowCount, 201.0f);
}

TEST_F(CourseOnFile, StartsAgainFromStepOneWhateverWasLeft)
{
    writeCrossings(3);
    // Leftovers of an earlier analysis: another cycle, start step and skip.
    state->CycleNo = 7;
    state->CycleEndStep(0) = 5;
    state->DataLoaded = 1;
    state->RowCount = 3;
    AutomaticCourse c = analyseRecord(*state);
    EXPECT_EQ(state->RowCount, 7.0f) << "the record is counted afresh";
    EXPECT_EQ(c.cycles, 3);
    EXPECT_EQ(state->CycleEndStep(0), 1);
    EXPECT_EQ(state->CycleEndStep(1), 4);
    EXPECT_EQ(state->CycleEndStep(2), 6);
    EXPECT_EQ(state->CycleEndStep(3), 7);
    // Cycle 2 runs 4 -> 5 -> 6: X 3, 4, 5 with loads 1, -1, 1.
    EXPECT_EQ(state->CycleEnergy(2), 0.0f);
    EXPECT_EQ(state->PeakStep(0, 2), 6);
    EXPECT_EQ(state->PeakStep(1, 2), 0);
}

TEST_F(CourseOnFile, ASingleRowIsOneEmptyCycle)
{
    write("2 3\n");
    const AutomaticCourse c = analyseRecord(*state);
    EXPECT_EQ(c.cycles, 1);
    EXPECT_FALSE(c.truncated);
    EXPECT_EQ(state->CycleEndStep(1), 1);
    EXPECT_EQ(state->PeakStep(0, 1), 0);
    EXPECT_EQ(state->CycleEnergy(1), 0.0f);
    EXPECT_EQ(state->ResultDamping(1), 0.0f);
}

TEST_F(CourseOnFile, AFailingRecordThrowsItsErrorNumber)
{
    write("1 2\n3 x\n");
    try {
        analyseRecord(*state);
        FAIL() << "no failure";
    } catch (const Failure &f) {
        EXPECT_EQ(f.number(), err::TypeMismatch);
    }
}

/// The float product of two loads decides a crossing: one too small for a
/// float counts as 0, one too large keeps its sign.
struct ProductCase {
    float previous;
    float load;
    bool crossing;
};

class CrossingProduct : public ::testing::TestWithParam<ProductCase> {};

TEST_P(CrossingProduct, IsRoundedToFloatBeforeTheTest)
{
    SharedState s;
    s.RowCount = 5;
    s.CycleNo = 1;
    s.CycleEndStep(0) = 1;
    for (int k = 1; k <= 5; ++k)
        s.YData(k) = 1.0f;
    s.YData(2) = GetParam().previous;
    s.YData(3) = GetParam().load;
    FindNextCycle(s);
    EXPECT_EQ(s.CycleEndStep(1) == 3, GetParam().crossing);
}

constexpr float big = std::numeric_limits<float>::max();
INSTANTIATE_TEST_SUITE_P(Cases, CrossingProduct, ::testing::Values(
    ProductCase{-1.0f, 1.0f, true},
    ProductCase{0.0f, 1.0f, true},
    ProductCase{-0.0f, 1.0f, true},
    ProductCase{1.0f, 2.0f, false},
    ProductCase{1e-30f, 1e-30f, true},   // 1e-60 is 0 as a float
    ProductCase{-big, big, true},        // beyond the float range, still negative
    ProductCase{big, big, false},
    ProductCase{-1.0f, 0.0f, false}));   // the load must rise above 0

} // namespace
