#include "app/core/sharedstate.h"

#include <gtest/gtest.h>

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
