#include "core/reader/numberscan.h"
#include "core/reader/numtext.h"
#include "core/state/failure.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <cmath>
#include <limits>
#include <optional>

using namespace kov;

namespace {

struct PrefixCase {
    const char *text;
    double value;
};

class NumberPrefix : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(NumberPrefix, ReadsTheLeadingNumber)
{
    EXPECT_EQ(numberPrefix(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Cases, NumberPrefix,
    ::testing::Values(PrefixCase{"12", 12}, PrefixCase{"1 2", 12}, PrefixCase{" 1\t2\n3", 123},
                      PrefixCase{"0.5e1", 5}, PrefixCase{"2.5kg", 2.5}, PrefixCase{"1.5D3", 1500},
                      PrefixCase{"1.5d-1", 0.15}, PrefixCase{"-.5", -0.5}, PrefixCase{"+7", 7},
                      PrefixCase{"5.", 5}, PrefixCase{"1e", 1}, PrefixCase{"1e+", 1},
                      PrefixCase{"1.2.3", 1.2}, PrefixCase{"abc", 0}, PrefixCase{"", 0},
                      PrefixCase{"-", 0}, PrefixCase{".", 0}, PrefixCase{"&H10", 16},
                      PrefixCase{"&hff", 255}, PrefixCase{"&O17", 15}, PrefixCase{"&O19", 1},
                      PrefixCase{"&X1", 0}, PrefixCase{"1,5", 1}, PrefixCase{"0.1", 0.1},
                      PrefixCase{"1e-400", 0}));

TEST(NumberPrefixTest, OverflowsToInfinity)
{
    EXPECT_EQ(numberPrefix("1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(numberPrefix("-1e400"), -std::numeric_limits<double>::infinity());
}

TEST(NumberPrefixTest, MagnitudesBeyondTheDoubleRange)
{
    // Many zeros after the point make the value tiny however large the
    // exponent that follows looks.
    EXPECT_EQ(numberPrefix("0." + std::string(400, '0') + "1e10"), 0.0);
    EXPECT_EQ(numberPrefix("0.0000001e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(numberPrefix(std::string(400, '9')), std::numeric_limits<double>::infinity());
    EXPECT_EQ(numberPrefix("-1e-99999999999999999999"), 0.0);
    EXPECT_EQ(numberPrefix("0e99999999999"), 0.0);
    EXPECT_EQ(numberPrefix("5.e3"), 5000.0);
    // Correctly rounded: the two neighbours of a double halfway case.
    EXPECT_EQ(numberPrefix("9007199254740993"), 9007199254740992.0);
    EXPECT_EQ(numberPrefix("9007199254740993.0000000001"), 9007199254740994.0);
}

TEST(NumberPrefixTest, RadixIntegersAreCorrectlyRounded)
{
    EXPECT_EQ(numberPrefix("&HFFFFFFFFFFFFFFFFF"), 0x1p68);
    // A tie goes to the even neighbour; a set bit after 64 kept ones breaks it.
    EXPECT_EQ(numberPrefix("&H100000000000008000000"), 0x1p80);
    EXPECT_EQ(numberPrefix("&H100000000000008000001"), 0x1.0000000000001p80);
    EXPECT_EQ(numberPrefix("&O1000000000000000002000000000"), 0x1p81);
    EXPECT_EQ(numberPrefix("&O1000000000000000002000000001"), 0x1.0000000000001p81);
    EXPECT_EQ(numberPrefix("&H" + std::string(300, 'F')), std::numeric_limits<double>::infinity());
}

/// One scanner, three grammars: the whole field of a record, an option
/// value of kov-batch, the prefix of a typed field.
struct ScanCase {
    std::string text;
    std::optional<double> field, option, prefix;
};

class NumberScan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(NumberScan, FollowsTheChosenGrammarInAnyPieces)
{
    const ScanCase &c = GetParam();
    const std::pair<NumberGrammar, std::optional<double>> grammars[] = {
        {FieldNumber, c.field}, {OptionDecimal, c.option}, {TypedPrefix, c.prefix}};
    for (const auto &[grammar, expected] : grammars) {
        EXPECT_EQ(scanNumber(c.text, grammar), expected) << c.text;
        // The same text fed in pieces: a field may span two reads of a file.
        for (std::size_t cut = 1; cut < c.text.size() && c.text.size() < 64; ++cut) {
            NumberScanner scanner(grammar);
            if (scanner.feed(std::string_view(c.text).substr(0, cut)))
                scanner.feed(std::string_view(c.text).substr(cut));
            EXPECT_EQ(scanner.value(), expected) << c.text << " cut at " << cut;
        }
    }    // Written with a decimal comma, a field reads the same.
    std::string comma = c.text;
    std::replace(comma.begin(), comma.end(), '.', ',');
    EXPECT_EQ(scanNumber(comma, FieldNumberDecimalComma), c.field) << comma;
}

const double Inf = std::numeric_limits<double>::infinity();
const std::string Zeros400(400, '0');

INSTANTIATE_TEST_SUITE_P(Cases, NumberScan, ::testing::Values(
    ScanCase{"12.5", 12.5, 12.5, 12.5}, ScanCase{"+.5", 0.5, 0.5, 0.5}, ScanCase{"-5.", -5.0, -5.0, -5.0},
    ScanCase{"1.5D3", 1500.0, std::nullopt, 1500.0}, ScanCase{"2e-1", 0.2, 0.2, 0.2},
    ScanCase{"1e", std::nullopt, std::nullopt, 1.0}, ScanCase{"1e+", std::nullopt, std::nullopt, 1.0},
    ScanCase{"12abc", std::nullopt, std::nullopt, 12.0}, ScanCase{"1 2", std::nullopt, std::nullopt, 12.0},
    ScanCase{".", std::nullopt, std::nullopt, 0.0}, ScanCase{"", std::nullopt, std::nullopt, 0.0},
    ScanCase{"&H10", std::nullopt, std::nullopt, 16.0}, ScanCase{"inf", std::nullopt, std::nullopt, 0.0},
    ScanCase{"3.40282347e38", 3.40282347e38, 3.40282347e38, 3.40282347e38},
    // Any number of digits and any exponent, correctly rounded.
    ScanCase{"1" + Zeros400 + "e-1", Inf, Inf, Inf},
    ScanCase{"1" + std::string(320, '0') + "e-5", Inf, Inf, Inf},
    ScanCase{"0." + Zeros400 + "1", 0.0, 0.0, 0.0}, ScanCase{"1e-400", 0.0, 0.0, 0.0},
    ScanCase{"1" + Zeros400 + "e-400", 1.0, 1.0, 1.0}, ScanCase{"0." + Zeros400 + "1e401", 1.0, 1.0, 1.0},
    ScanCase{"-1e99999999999999999999", -Inf, -Inf, -Inf},
    ScanCase{"1." + std::string(4095, '0'), 1.0, 1.0, 1.0},
    ScanCase{"9007199254740993." + std::string(1000, '0') + "1", 9007199254740994.0, 9007199254740994.0,
             9007199254740994.0},
    ScanCase{"9007199254740993" + std::string(1000, '0') + "e-1000", 9007199254740992.0, 9007199254740992.0,
             9007199254740992.0},
    ScanCase{"2.4703282292062328e-324", 0x1p-1074, 0x1p-1074, 0x1p-1074},
    // 7 and 8 digits before and after the point.
    ScanCase{"1234567.7654321", 1234567.7654321, 1234567.7654321, 1234567.7654321},
    ScanCase{"-12345678.5", -12345678.5, -12345678.5, -12345678.5},
    ScanCase{"0.12345678", 0.12345678, 0.12345678, 0.12345678},
    ScanCase{"-0000000.0000000", -0.0, -0.0, -0.0}, ScanCase{"-.0000001", -1e-7, -1e-7, -1e-7},
    // The short decimals' bounds: 19 digits, 2^53, 20 digits.
    ScanCase{"-.0000000000000000001", -1e-19, -1e-19, -1e-19},
    ScanCase{"1234567890123456789", 1234567890123456789.0, 1234567890123456789.0, 1234567890123456789.0},
    ScanCase{"12345678901234567890.5", 12345678901234567890.5, 12345678901234567890.5, 12345678901234567890.5},
    ScanCase{"1.2.3", std::nullopt, std::nullopt, 1.2}, ScanCase{"+-1", std::nullopt, std::nullopt, 0.0}));

/// Sets a locale with a decimal comma for the test's duration, building one
/// in a temporary folder when the system has none installed.
class CommaLocale : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char *old = std::setlocale(LC_ALL, nullptr);
        m_saved = old ? old : "C";
        for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
            if (std::setlocale(LC_ALL, name) != nullptr)
                return;
        const std::string dir = ::testing::TempDir() + "kov-locale";
        std::filesystem::create_directories(dir);
        const std::string cmd = "localedef -i de_DE -f UTF-8 " + dir + "/de_DE.UTF-8 >/dev/null 2>&1";
        if (std::system(cmd.c_str()) == 0) {
            ::setenv("LOCPATH", dir.c_str(), 1);
            if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr)
                return;
        }
        GTEST_SKIP() << "no locale with a decimal comma";
    }
    void TearDown() override { std::setlocale(LC_ALL, m_saved.c_str()); }

    std::string m_saved;
};

TEST_F(CommaLocale, TextAndNumbersKeepThePoint)
{
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    EXPECT_EQ(numberPrefix("2.5"), 2.5);
    EXPECT_EQ(numberPrefix("2,5"), 2.0);
    EXPECT_EQ(numberPrefix("1.5D3"), 1500.0);
    EXPECT_EQ(floatOfText("-0.154"), -0.154f);
    EXPECT_EQ(shortNumberText(2.5f), "2.5");
    EXPECT_EQ(shortNumberText(-12345678.0f), "-1.234568E+07");
    EXPECT_EQ(shortNumberText(0.000123f), "0.000123");
    EXPECT_EQ(integerText(-32768), "-32768");
}

TEST(Int16Test, RoundsHalvesToEven)
{
    EXPECT_EQ(roundToInt16(2.5), 2);
    EXPECT_EQ(roundToInt16(3.5), 4);
    EXPECT_EQ(roundToInt16(-2.5), -2);
    EXPECT_EQ(roundToInt16(12.5), 12);
    EXPECT_EQ(roundToInt16(13.5), 14);
    EXPECT_EQ(roundToInt16(-32768.4), -32768);
    EXPECT_EQ(roundToInt16(32767.4), 32767);
}

TEST(Int16Test, OutsideTheRangeIsOverflow)
{
    for (double v : {32767.5, -32768.6, 1e10, std::nan("")}) {
        try {
            roundToInt16(v);
            FAIL() << v;
        } catch (const Failure &f) {
            EXPECT_EQ(f.number(), 6);
        }
    }
}

TEST(Int16Test, TypedTextIsClamped)
{
    EXPECT_EQ(clampToInt16(32767.5), 32767);
    EXPECT_EQ(clampToInt16(-32768.5), -32768);
    EXPECT_EQ(clampToInt16(std::nan("")), 0);
    EXPECT_EQ(clampToInt16(-std::numeric_limits<double>::infinity()), -32768);
    EXPECT_EQ(clampToInt16(0.5), 0);
    EXPECT_EQ(clampToInt16(-1.5), -2);
    EXPECT_EQ(int16OfText("2 . 5"), 2);
    EXPECT_EQ(int16OfText("&HFFFF"), 32767);
    EXPECT_EQ(int16OfText("99999"), 32767);
    EXPECT_EQ(int16OfText("-99999"), -32768);
    EXPECT_EQ(int16OfText("1e400"), 32767);
    EXPECT_EQ(int16OfText("x"), 0);
}

TEST(FloatTest, OverflowAndClamp)
{
    EXPECT_EQ(toFloat(0.1), 0.1f);
    EXPECT_EQ(toFloat(3.4028235e38), std::numeric_limits<float>::max());
    EXPECT_THROW(toFloat(3.5e38), Failure);
    EXPECT_THROW(toFloat(std::numeric_limits<double>::infinity()), Failure);
    EXPECT_EQ(floatOfText("1e39"), std::numeric_limits<float>::max());
    EXPECT_EQ(floatOfText("-1e400"), -std::numeric_limits<float>::max());
    EXPECT_EQ(toFloat(1e-50), 0.0f);
    // The exact edge: below the midpoint to 2^128 still rounds to the largest float.
    EXPECT_EQ(toFloat(0x1.fffffefffffffp127), std::numeric_limits<float>::max());
    EXPECT_THROW(toFloat(0x1.ffffffp127), Failure);
    EXPECT_THROW(toFloat(-0x1.ffffffp127), Failure);
    EXPECT_THROW(toFloat(std::nan("")), Failure);
    EXPECT_EQ(clampToFloat(std::nan("")), 0.0f);
    EXPECT_EQ(clampToFloat(-std::numeric_limits<double>::infinity()), -std::numeric_limits<float>::max());
}

struct ShortCase {
    float value;
    const char *text;
};

class ShortNumber : public ::testing::TestWithParam<ShortCase> {};

TEST_P(ShortNumber, Formats)
{
    EXPECT_EQ(shortNumberText(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Cases, ShortNumber,
    ::testing::Values(ShortCase{0.0f, "0"}, ShortCase{-0.0f, "0"}, ShortCase{5.0f, "5"},
                      ShortCase{0.154f, "0.154"}, ShortCase{-2.1f, "-2.1"}, ShortCase{7.7f, "7.7"},
                      ShortCase{66.0f, "66"}, ShortCase{1234567.0f, "1234567"},
                      ShortCase{12345678.0f, "1.234568E+07"}, ShortCase{1e-5f, "0.00001"},
                      ShortCase{1e-6f, "1E-06"}, ShortCase{1.5e-7f, "1.5E-07"},
                      ShortCase{3.4028235e38f, "3.402823E+38"}, ShortCase{9999999.0f, "9999999"},
                      ShortCase{0.1f, "0.1"}, ShortCase{1.0f / 3.0f, "0.3333333"},
                      // Rounding to 7 digits may carry into the next power of ten.
                      ShortCase{999999.97f, "1000000"}, ShortCase{999999.94f, "999999.9"}, ShortCase{9999999.0f, "9999999"},
                      ShortCase{1e7f, "1E+07"}, ShortCase{-1e-6f, "-1E-06"},
                      ShortCase{9.9999e-6f, "9.9999E-06"}, ShortCase{123.456f, "123.456"},
                      ShortCase{-0.000123f, "-0.000123"}, ShortCase{1e30f, "1E+30"},
                      ShortCase{1.4e-45f, "1.401298E-45"}));

TEST(IntegerTextTest, Digits)
{
    EXPECT_EQ(integerText(5), "5");
    EXPECT_EQ(integerText(-32768), "-32768");
    EXPECT_EQ(integerText(0), "0");
}

} // namespace
