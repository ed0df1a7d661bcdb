#include "batch/options.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kov::batch;

namespace {

std::optional<Options> parse(std::vector<std::string> args, std::string *error = nullptr)
{
    std::string e;
    auto o = parseOptions(args, e);
    if (error)
        *error = e;
    return o;
}

TEST(BatchOptions, DefaultsAreTheWindowsStartValues)
{
    const auto o = parse({"a.prn"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->xColumn, 1);
    EXPECT_EQ(o->yColumn, 2);
    EXPECT_EQ(o->skipLines, 5);
    EXPECT_EQ(o->xCoef, 1.0f);
    EXPECT_EQ(o->yCoef, 1.0f);
    EXPECT_EQ(o->xUnit, "mm");
    EXPECT_EQ(o->yUnit, "tonf");
    EXPECT_FALSE(o->toStdout);
    EXPECT_EQ(o->records, std::vector<std::string>{"a.prn"});
}

TEST(BatchOptions, BothValueFormsAndRecordsInOrder)
{
    const auto o = parse({"--x-column", "3", "r1.csv", "--y-column=4", "--skip-lines=0", "--x-coef", "1e3",
                          "--y-coef=-.5", "--x-unit=", "--y-unit", "kN", "--stdout", "--", "--odd.prn", "r2"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->xColumn, 3);
    EXPECT_EQ(o->yColumn, 4);
    EXPECT_EQ(o->skipLines, 0);
    EXPECT_EQ(o->xCoef, 1000.0f);
    EXPECT_EQ(o->yCoef, -0.5f);
    EXPECT_EQ(o->xUnit, "");
    EXPECT_EQ(o->yUnit, "kN");
    EXPECT_TRUE(o->toStdout);
    EXPECT_EQ(o->records, (std::vector<std::string>{"r1.csv", "--odd.prn", "r2"}));
}

TEST(BatchOptions, HelpAndVersionNeedNoRecord)
{
    EXPECT_TRUE(parse({"--help"})->help);
    EXPECT_TRUE(parse({"--version"})->version);
}

// Every usage error gives one line and no options.
class BatchUsageErrors : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(BatchUsageErrors, AreRefusedWithOneLine)
{
    std::string error;
    EXPECT_FALSE(parse(GetParam(), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find('\n'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Cases, BatchUsageErrors, ::testing::Values(
    std::vector<std::string>{},
    std::vector<std::string>{"--stdout"},
    std::vector<std::string>{"--x-column", "0", "a"},
    std::vector<std::string>{"--y-column=-1", "a"},
    std::vector<std::string>{"--skip-lines=-1", "a"},
    std::vector<std::string>{"--skip-lines=32768", "a"},
    std::vector<std::string>{"--x-column=", "a"},
    std::vector<std::string>{"--deadband=-1", "a"},
    std::vector<std::string>{"--deadband=100.5%", "a"},
    std::vector<std::string>{"--deadband=%", "a"},
    std::vector<std::string>{"--deadband=5 %", "a"},
    std::vector<std::string>{"--x-column=99999999999999999999999", "a"},
    std::vector<std::string>{"--height=0", "a"},
    std::vector<std::string>{"--height=-100", "a"},
    std::vector<std::string>{"--yield-disp=1e400", "a"},
    std::vector<std::string>{"--acceptance-drift=0", "a"},
    std::vector<std::string>{"--x-coef=1,5", "a"},
    std::vector<std::string>{"--x-coef=1e", "a"},
    std::vector<std::string>{"--x-coef=1D3", "a"},
    std::vector<std::string>{"--x-coef=inf", "a"},
    std::vector<std::string>{"--x-coef=nan", "a"},
    std::vector<std::string>{"--y-coef=1e39", "a"},
    std::vector<std::string>{"--y-coef=1e400", "a"},
    std::vector<std::string>{"--x-coef=.", "a"},
    std::vector<std::string>{"--y-coef"},
    std::vector<std::string>{"--y-coef=1" + std::string(400, '0') + "e-1", "a"},
    std::vector<std::string>{"--x-coef", "1" + std::string(320, '0') + "e-5", "a"},
    std::vector<std::string>{"--x-coef=3.5e38", "a"},
    std::vector<std::string>{"--plot=%n.prn", "a"},
    std::vector<std::string>{"--plot", "pic", "a"},
    std::vector<std::string>{"--plot-scale=0.002", "a"},
    std::vector<std::string>{"--colour=red", "a"},
    std::vector<std::string>{"-x", "a"}));

// A column value that is not a whole number is a name, looked up in the
// header that a name makes kov-batch find unless --skip-lines N is given.
struct NamedCase {
    std::vector<std::string> args;
    std::string xName, yName;
    bool skipLinesAuto;
};

class BatchColumnNames : public ::testing::TestWithParam<NamedCase> {};

TEST_P(BatchColumnNames, AreKeptForTheHeader)
{
    const auto o = parse(GetParam().args);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->xColumnName, GetParam().xName);
    EXPECT_EQ(o->yColumnName, GetParam().yName);
    EXPECT_EQ(o->skipLinesAuto, GetParam().skipLinesAuto);
}

INSTANTIATE_TEST_SUITE_P(Cases, BatchColumnNames, ::testing::Values(
    NamedCase{{"--x-column=2.0", "a"}, "2.0", "", true},
    NamedCase{{"--x-column= 2", "a"}, " 2", "", true},
    NamedCase{{"--x-column=&H10", "a"}, "&H10", "", true},
    NamedCase{{"--y-column", "Lead Actuator Force", "--skip-lines", "2", "a"}, "", "Lead Actuator Force", false},
    NamedCase{{"--x-column=Disp", "--x-column=3", "a"}, "", "", false},
    NamedCase{{"--skip-lines=auto", "--decimal-comma", "a"}, "", "", true}));

struct NumberCase {
    const char *text;
    bool valid;
    double value;
};

class BatchDecimals : public ::testing::TestWithParam<NumberCase> {};

TEST_P(BatchDecimals, FollowTheStrictGrammar)
{
    const auto d = parseDecimal(GetParam().text);
    ASSERT_EQ(d.has_value(), GetParam().valid) << GetParam().text;
    if (d) {
        EXPECT_EQ(*d, GetParam().value) << GetParam().text;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BatchDecimals, ::testing::Values(
    NumberCase{"1", true, 1.0}, NumberCase{"+2.5", true, 2.5}, NumberCase{"-.25", true, -0.25},
    NumberCase{"5.", true, 5.0}, NumberCase{"1.5e3", true, 1500.0}, NumberCase{"1E-2", true, 0.01},
    NumberCase{"0.1", true, 0.1}, NumberCase{"1e-400", true, 0.0},
    NumberCase{"", false, 0}, NumberCase{"+", false, 0}, NumberCase{"1.2.3", false, 0},
    NumberCase{"e5", false, 0}, NumberCase{"1e+", false, 0}, NumberCase{"12abc", false, 0},
    NumberCase{" 1", false, 0}, NumberCase{"0x10", false, 0},
    NumberCase{".5", true, 0.5}, NumberCase{"-1.5e3", true, -1500.0}, NumberCase{"1e", false, 0},
    NumberCase{"1,5", false, 0}, NumberCase{"inf", false, 0}, NumberCase{"nan", false, 0},
    NumberCase{"1D3", false, 0}, NumberCase{"--1", false, 0}, NumberCase{".", false, 0}));

TEST(BatchOptions, WholeNumbersTakeASignAndDigitsOnly)
{
    EXPECT_EQ(parseWhole("+7"), 7);
    EXPECT_EQ(parseWhole("-12"), -12);
    EXPECT_EQ(parseWhole("007"), 7);
    EXPECT_FALSE(parseWhole("-"));
    EXPECT_FALSE(parseWhole("1e2"));
    EXPECT_FALSE(parseWhole("3 "));
    EXPECT_EQ(parseWhole("+12"), 12);
    EXPECT_EQ(parseWhole("-3"), -3);
    EXPECT_FALSE(parseWhole("1.0"));
    EXPECT_FALSE(parseWhole(" 1"));
    EXPECT_FALSE(parseWhole(""));
    EXPECT_EQ(parse({"--skip-lines=32767", "a"})->skipLines, 32767);
}

TEST(BatchOptions, CoefficientsThatRoundToAFiniteFloat)
{
    EXPECT_EQ(parse({"--x-coef=3.40282347e38", "a"})->xCoef, std::numeric_limits<float>::max());
    EXPECT_EQ(parse({"--x-coef=-3.4028235677973e38", "a"})->xCoef, -std::numeric_limits<float>::max());
    EXPECT_EQ(parse({"--x-coef=0." + std::string(400, '0') + "1", "a"})->xCoef, 0.0f) << "underflow is no error";
    EXPECT_EQ(parse({"--y-coef=1e-400", "a"})->yCoef, 0.0f);
    EXPECT_EQ(parse({"--plot-scale=0.0021", "--plot=P.PNG", "a"})->plotScale, 0.0021);
}

TEST(BatchOptions, PictureNamesExpandInOnePass)
{
    EXPECT_EQ(pictureName("pic-%n.svg", "a%nb"), "pic-a%nb.svg");
    EXPECT_EQ(pictureName("%n/%n.png", "r"), "r/r.png");
    EXPECT_EQ(pictureName("100%.png", "r"), "100%.png");
    EXPECT_EQ(pictureName("%%n.png", "r"), "%r.png");
}

TEST(BatchOptions, MetricFilesAndSummary)
{
    const auto none = parse({"a"});
    EXPECT_FALSE(none->json || none->csv);
    EXPECT_EQ(none->summaryFile, "");
    EXPECT_EQ(none->levelTolerance, 0.05);
    EXPECT_FALSE(none->windowLimits);
    const auto o = parse({"--csv", "a", "--summary", "s.csv", "--json", "--level-tolerance=.1", "--window-limits", "b"});
    ASSERT_TRUE(o);
    EXPECT_TRUE(o->json && o->csv && o->windowLimits);
    EXPECT_TRUE(parse({"--deadband=2.5%", "a"})->deadband.percent);
    EXPECT_EQ(parse({"--deadband", "1e3", "a"})->deadband.value, 1000.0);
    EXPECT_EQ(o->summaryFile, "s.csv");
    EXPECT_EQ(o->levelTolerance, 0.1);
    EXPECT_EQ(o->records, (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(none->height || none->yieldDisp);
    EXPECT_EQ(none->acceptanceDrift, 0.035);
    const auto h = parse({"--height=1500", "--acceptance-drift", ".02", "--yield-disp=2.5", "a"});
    EXPECT_EQ(h->height, 1500.0);
    EXPECT_EQ(h->acceptanceDrift, 0.02);
    EXPECT_EQ(h->yieldDisp, 2.5);
}

// The level tolerance is a decimal of the strict grammar within 0..1.
class LevelTolerance : public ::testing::TestWithParam<NumberCase> {};

TEST_P(LevelTolerance, LiesWithinZeroAndOne)
{
    const auto o = parse({"--level-tolerance", GetParam().text, "a"});
    ASSERT_EQ(o.has_value(), GetParam().valid) << GetParam().text;
    if (o) {
        EXPECT_EQ(o->levelTolerance, GetParam().value);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, LevelTolerance, ::testing::Values(
    NumberCase{"0", true, 0.0}, NumberCase{"1", true, 1.0}, NumberCase{"+.25", true, 0.25},
    NumberCase{"5e-2", true, 0.05}, NumberCase{"-0", true, 0.0}, NumberCase{"1e-400", true, 0.0},
    NumberCase{"-0.01", false, 0}, NumberCase{"1.0001", false, 0}, NumberCase{"1e400", false, 0},
    NumberCase{"nan", false, 0}, NumberCase{"", false, 0}, NumberCase{"5%", false, 0}));

TEST(BatchOptions, SummaryNeedsAFileName)
{
    EXPECT_FALSE(parse({"--summary=", "a"}));
    EXPECT_FALSE(parse({"a", "--summary"}));
}

} // namespace
