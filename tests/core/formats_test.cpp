#include "core/output/formats.h"

#include <gtest/gtest.h>

using namespace kov;

namespace {

struct FormatCase {
    float value;
    const char *fixed3;
    const char *exp4;
};

class Formats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(Formats, RoundHalfAwayFromZeroFromTheExactValue)
{
    EXPECT_EQ(formatFixed3(GetParam().value), GetParam().fixed3);
    EXPECT_EQ(formatExp4(GetParam().value), GetParam().exp4);
}

INSTANTIATE_TEST_SUITE_P(Cases, Formats, ::testing::Values(
    FormatCase{0.0f, "0.000", "0.0000e+00"},
    FormatCase{-0.0f, "0.000", "0.0000e+00"},
    FormatCase{10.5f, "10.500", "1.0500e+01"},
    FormatCase{-2.1f, "-2.100", "-2.1000e+00"},
    FormatCase{987.6543f, "987.654", "9.8765e+02"},
    FormatCase{0.1234f, "0.123", "1.2340e-01"},
    // Exact binary ties: printf would round these to even.
    FormatCase{1.0625f, "1.063", "1.0625e+00"},
    FormatCase{2.5625f, "2.563", "2.5625e+00"},
    FormatCase{0.328125f, "0.328", "3.2813e-01"},
    FormatCase{-1.0625f, "-1.063", "-1.0625e+00"},
    FormatCase{-0.0001f, "-0.000", "-1.0000e-04"},
    FormatCase{9.99995f, "10.000", "1.0000e+01"},
    FormatCase{99999.5f, "99999.500", "1.0000e+05"},
    FormatCase{12345.678f, "12345.678", "1.2346e+04"},
    FormatCase{1e-40f, "0.000", "9.9999e-41"},
    FormatCase{3.4028235e38f, "340282346638528859811704183484516925440.000", "3.4028e+38"}));

TEST(PadTest, RightAlignsAndNeverCuts)
{
    EXPECT_EQ(padLeft("12", 4), "  12");
    EXPECT_EQ(padLeft("12345", 4), "12345");
}

} // namespace
