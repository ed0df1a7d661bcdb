#include "app/core/sharedstate.h"

#include <gtest/gtest.h>

#include <cerrno>

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
