#include "core/state/sharedstate.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

using namespace kov;

TEST(SharedStateTest, StartsAtZero)
{
    SharedState s;
    EXPECT_EQ(s.RowCount, 0.0f);
    EXPECT_EQ(s.XData(2000), 0.0f);
    EXPECT_EQ(s.PeakStep(1, 100), 0);
    EXPECT_TRUE(s.DataFileName.empty());
}

TEST(SharedStateTest, EveryAccessIsRangeChecked)
{
    SharedState s;
    auto expect9 = [](auto &&access) {
        try {
            access();
            ADD_FAILURE() << "no failure";
        } catch (const Failure &f) {
            EXPECT_EQ(f.number(), 9);
            EXPECT_STREQ(f.what(), "Subscript out of range");
        }
    };
    expect9([&] { s.XData(2001) = 1; });
    expect9([&] { (void)s.YData(-1); });
    expect9([&] { s.CycleEndStep(101) = 1; });
    expect9([&] { s.PeakStep(2, 0) = 1; });
    expect9([&] { s.PeakStep(0, 101) = 1; });
    s.CycleEnergy(100) = 1.5f;
    EXPECT_EQ(s.CycleEnergy(100), 1.5f);
}

TEST(SharedStateTest, LimitsSetTheLastIndex)
{
    SharedState s;
    s.setLimits(RecordLimits);
    s.XData(1'000'000) = 2.5f;
    s.PeakStep(1, 10'000) = 40'000;
    const SharedState &c = s;
    EXPECT_EQ(c.XData(1'000'000), 2.5f);
    EXPECT_EQ(c.XData(999'999), 0.0f);
    EXPECT_EQ(c.PeakStep(1, 10'000), 40'000);
    s.setLimits(WindowLimits);
    EXPECT_THROW(s.XData(2001) = 1, Failure);
    s.setLimits(RecordLimits);
    EXPECT_EQ(c.XData(1'000'000), 0.0f) << "dropped with the lower limit";
}

TEST(SharedStateTest, ArraysGrowInPartsAndTakeBlocksWhole)
{
    StepArray a(100'000);
    const StepArray &c = a;
    a(5) = 1.0f; // the first block starts small and doubles
    a(700) = 2.0f;
    EXPECT_EQ(c(699), 0.0f);
    EXPECT_EQ(c(4000), 0.0f);
    std::vector<float> run(10'000);
    for (std::size_t i = 0; i < run.size(); ++i)
        run[i] = static_cast<float>(i) + 0.5f;
    a.assign(8000, run.data(), run.size()); // across the first two blocks
    EXPECT_EQ(c(7999), 0.0f);
    EXPECT_EQ(c(8000), 0.5f);
    EXPECT_EQ(c(8191), 191.5f);
    EXPECT_EQ(c(8192), 192.5f);
    EXPECT_EQ(c(17'999), 9999.5f);
    a.adoptBlock(2, StepArray::Block(StepArray::BlockLength, 7.0f)); // replaces what assign left there
    EXPECT_EQ(c(16'384), 7.0f);
    EXPECT_EQ(c(24'575), 7.0f);
    a.adoptBlock(4, StepArray::Block(3, 9.0f)); // not a whole block: copied
    EXPECT_EQ(c(32'770), 9.0f);
    EXPECT_EQ(c(32'771), 0.0f);
    EXPECT_THROW(a.adoptBlock(13, StepArray::Block(StepArray::BlockLength)), Failure) << "past the last index";
    a.setLast(600); // drops what lies beyond, also inside the first block
    a.setLast(100'000);
    EXPECT_EQ(c(5), 1.0f);
    EXPECT_EQ(c(700), 0.0f);
    EXPECT_EQ(c(8192), 0.0f);
    EXPECT_EQ(c(16'384), 0.0f);
}

TEST(FailureTest, ErrnoValuesMapToErrorNumbers)
{
    EXPECT_EQ(errorNumberOfErrno(ENOENT, 75), 53);
    EXPECT_EQ(errorNumberOfErrno(ENOTDIR, 75), 76);
    EXPECT_EQ(errorNumberOfErrno(EACCES, 75), 70);
    EXPECT_EQ(errorNumberOfErrno(EISDIR, 75), 70);
    EXPECT_EQ(errorNumberOfErrno(ENOSPC, 75), 61);
    EXPECT_EQ(errorNumberOfErrno(EIO, 75), 57);
    EXPECT_EQ(errorNumberOfErrno(ELOOP, 75), 75) << "unlisted values take the fallback";
    const Failure f(53);
    EXPECT_EQ(f.number(), 53);
    EXPECT_STREQ(f.what(), "File not found");
    EXPECT_STREQ(Failure(62, "x.prn: past end").what(), "x.prn: past end");
}
