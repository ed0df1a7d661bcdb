#include "batch/options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

/// The text without its second line (the date and time of writing).
std::string withoutLine2(const std::string &text)
{
    const std::size_t a = text.find('\n');
    const std::size_t b = text.find('\n', a + 1);
    return text.substr(0, a + 1) + text.substr(b + 1);
}

struct Outcome {
    int status;
    std::string out, err;
};

class BatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("kov-batch-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    Outcome run(const std::string &args)
    {
        const std::string out = (dir / "stdout").string(), err = (dir / "stderr").string();
        const std::string cmd = "cd '" + dir.string() + "' && '" KOV_BATCH_EXE "' " + args + " >'" + out +
                                "' 2>'" + err + "'";
        const int raw = std::system(cmd.c_str());
        Outcome r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readAll(out), readAll(err)};
        fs::remove(out);
        fs::remove(err);
        return r;
    }

    fs::path copyExample(const std::string &name, const std::string &as)
    {
        fs::copy_file(fs::path(KOV_EXAMPLES_DIR) / name, dir / as);
        return dir / as;
    }

    fs::path dir;
};

TEST_F(BatchTest, RealRecordGivesTheKnownResults)
{
    copyExample("rc-column-soesianawati1986.prn", "combined.prn");
    const Outcome r = run("--skip-lines 5 --x-column=2 --y-column 3 --x-coef 1000 --y-unit kN combined.prn");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (dir / "combined-kov.prn").string() + "\n");
    EXPECT_EQ(r.err, "");
    const std::string text = readAll(dir / "combined-kov.prn");
    EXPECT_EQ(withoutLine2(text), readAll(fs::path(KOV_TEST_DATA_DIR) / "batch-combined-kov.prn"));
    EXPECT_NE(text.find("File Name = " + (dir / "combined.prn").string() + ", at "), std::string::npos);

    // --stdout writes the same bytes and no file.
    fs::remove(dir / "combined-kov.prn");
    const Outcome s = run("--skip-lines 5 --x-column 2 --y-column 3 --x-coef 1000 --y-unit kN --stdout combined.prn");
    ASSERT_EQ(s.status, 0);
    EXPECT_EQ(withoutLine2(s.out), withoutLine2(text));
    EXPECT_FALSE(fs::exists(dir / "combined-kov.prn"));
}

TEST_F(BatchTest, EveryRecordStartsFresh)
{
    copyExample("ufp-damper-ganey2015.prn", "ufp.prn");
    copyExample("slit-damper-chan-albermani.prn", "slit.prn");
    ASSERT_EQ(run("--skip-lines 0 slit.prn").status, 0);
    const std::string alone = withoutLine2(readAll(dir / "slit-kov.prn"));
    const Outcome both = run("--skip-lines 0 ufp.prn slit.prn");
    ASSERT_EQ(both.status, 0) << both.err;
    EXPECT_EQ(both.out, (dir / "ufp-kov.prn").string() + "\n" + (dir / "slit-kov.prn").string() + "\n");
    EXPECT_EQ(withoutLine2(readAll(dir / "slit-kov.prn")), alone);
    EXPECT_NE(readAll(dir / "ufp-kov.prn").find("\r\n    1 "), std::string::npos);
}

TEST_F(BatchTest, FailingRecordsAreReportedAndSkipped)
{
    std::ofstream(dir / "bad.prn") << "1 2\nx 3\n";
    std::ofstream(dir / "good.prn") << "h\nh\nh\nh\nh\n0 -1\n1 1\n2 2\n1 -1\n0 1\n";
    const Outcome r = run("bad.prn missing.prn good.prn");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "bad.prn: This file includes error data or you may mistake column or skip indication. (62)\n"
              "missing.prn: This file includes error data or you may mistake column or skip indication. (53)\n");
    EXPECT_FALSE(fs::exists(dir / "bad-kov.prn"));
    EXPECT_TRUE(fs::exists(dir / "good-kov.prn"));
    EXPECT_EQ(r.out, (dir / "good-kov.prn").string() + "\n");
}

TEST_F(BatchTest, UsageErrorsWriteNothing)
{
    std::ofstream(dir / "good.prn") << "0 -1\n1 1\n2 2\n";
    for (const char *args : {"--x-column 0 good.prn", "--x-column 1.5 good.prn", "--skip-lines -1 good.prn",
                             "--x-coef 1,5 good.prn", "--y-coef 1e39 good.prn", "--x-column", "--bogus good.prn",
                             "", "--x-column 40000 good.prn"}) {
        const Outcome r = run(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args;
        EXPECT_FALSE(fs::exists(dir / "good-kov.prn")) << args;
    }
    EXPECT_EQ(run("--help").status, 0);
    EXPECT_EQ(run("--version").out.rfind("kov-batch ", 0), 0u);
}

TEST_F(BatchTest, UnwritableResultsAreReported)
{
    std::ofstream(dir / "x.prn") << "0 -1\n1 1\n2 2\n";
    fs::create_directories(dir / "x-kov.prn"); // a folder where the results file belongs
    const Outcome r = run("--skip-lines 0 x.prn");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("x-kov.prn"), std::string::npos) << r.err;
}

TEST(OptionGrammarTest, StrictNumbers)
{
    using kov::batch::parseDecimal;
    using kov::batch::parseWhole;
    EXPECT_EQ(parseWhole("+12"), 12);
    EXPECT_EQ(parseWhole("-3"), -3);
    EXPECT_FALSE(parseWhole("1.0"));
    EXPECT_FALSE(parseWhole(" 1"));
    EXPECT_FALSE(parseWhole(""));
    EXPECT_EQ(parseDecimal(".5"), 0.5);
    EXPECT_EQ(parseDecimal("5."), 5.0);
    EXPECT_EQ(parseDecimal("-1.5e3"), -1500.0);
    EXPECT_EQ(parseDecimal("1e-400"), 0.0);
    for (const char *bad : {"1e", "1,5", "inf", "nan", "1D3", "0x10", "--1", "."})
        EXPECT_FALSE(parseDecimal(bad)) << bad;
}

} // namespace
