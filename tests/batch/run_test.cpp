// Whole runs of the kov-batch program on real and made-up records.

#include "tests/support/files.h"
#include "tests/support/workbooks.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <atomic>
#include <csignal>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using kov::test::crlfLines;
using kov::test::crossingRecord;
using kov::test::readAll;
using kov::test::withoutLine2;
using kov::test::writeAll;
using RunResult = kov::test::BatchRun;

/// An address-space limit cannot bind a program built with AddressSanitizer,
/// whose shadow memory alone takes terabytes of addresses: the cases that set
/// one run in the plain build only.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool AddressLimitsBind = false;
#else
constexpr bool AddressLimitsBind = true;
#endif

/// The sanitizers test whether memory can be read through a pipe of their
/// own: with the few descriptors that many jobs leave, their checks fail and
/// report a fault of their own ("invalid vptr"), so the tightest descriptor
/// limit with many jobs runs in the plain build only.
constexpr bool FewDescriptorsWithManyJobs = AddressLimitsBind;

bool limitsAddressSpace(const std::string &limits)
{
    return limits.find("ulimit -v") != std::string::npos;
}

std::string shellQuote(const std::string &s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

/// Whole runs of kov-batch in a scratch folder of their own.
class BatchRun : public ::testing::Test {
protected:
    RunResult run(const std::vector<std::string> &args, bool diskFull = false)
    {
        return kov::test::runBatch(dir, args, diskFull);
    }

    /// Every file in the test folder, by name.
    std::vector<std::string> files() const { return scratch.names(); }

    void copyExample(const std::string &name, const std::string &as)
    {
        fs::copy_file(kov::test::examplesFolder() / name, dir / as);
    }

    kov::test::ScratchFolder scratch;
    const fs::path dir = scratch.path();
};

const std::regex rowPattern(R"( {0,4}\d{1,3} +\d{1,4} +-?\d+\.\d{3} +-?\d+\.\d{3} +\d{1,4} +-?\d+\.\d{3} +-?\d+\.\d{3})"
                            R"( -?\d\.\d{4}e[+-]\d\d -?\d\.\d{4}e[+-]\d\d -?\d\.\d{4}e[+-]\d\d)");

TEST_F(BatchRun, RealCsvRecordsGiveWellFormedTables)
{
    for (const fs::path &source : {kov::test::examplesFolder() / "ufp-damper-ganey2015.prn",
                                   kov::test::examplesFolder() / "slit-damper-chan-albermani.prn",
                                   kov::test::dataFolder() / "rc-column-disp.csv"}) {
        const std::string name = fs::path(source).filename().string();
        fs::copy_file(source, dir / name);
        const RunResult r = run({"--skip-lines", "0", "--x-unit=mm", "--y-unit=kN", name});
        EXPECT_EQ(r.status, 0) << name << r.err;
        EXPECT_EQ(r.err, "");
        const std::string stem = fs::path(name).stem().string();
        const fs::path results = dir / (stem.substr(0, stem.size()) + "-kov.prn");
        EXPECT_EQ(r.out, results.string() + "\n");
        const std::string text = readAll(results);
        ASSERT_FALSE(text.empty()) << name;
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
        const auto rows = crlfLines(text);
        ASSERT_GE(rows.size(), 6u) << name;
        EXPECT_EQ(rows[4], "               (mm)     (kN)          (mm)     (kN)    (kN*mm)    (kN*mm)");
        for (std::size_t i = 5; i < rows.size(); ++i) {
            EXPECT_TRUE(std::regex_match(rows[i], rowPattern)) << name << ": " << rows[i];
            EXPECT_EQ(rows[i].substr(0, 5), std::string(5 - std::to_string(i - 4).size(), ' ') + std::to_string(i - 4));
        }
    }
}

TEST_F(BatchRun, StdoutCarriesTheSameBytesAndNoFileIsWritten)
{
    writeAll(dir / "loop.prn", crossingRecord(3));
    const RunResult toFile = run({"loop.prn"});
    ASSERT_EQ(toFile.status, 0) << toFile.err;
    const std::string written = readAll(dir / "loop-kov.prn");
    fs::remove(dir / "loop-kov.prn");

    const RunResult toOut = run({"--stdout", "loop.prn"});
    EXPECT_EQ(toOut.status, 0);
    EXPECT_EQ(toOut.err, "");
    EXPECT_EQ(files(), std::vector<std::string>{"loop.prn"});
    auto a = crlfLines(written), b = crlfLines(toOut.out);
    ASSERT_EQ(a.size(), b.size());
    ASSERT_EQ(a.size(), 5u + 3u);
    a[1] = b[1] = ""; // date and time
    EXPECT_EQ(a, b);
}

TEST_F(BatchRun, AnExistingResultsFileIsReplacedNotExtended)
{
    writeAll(dir / "loop.prn", crossingRecord(2));
    writeAll(dir / "loop-kov.prn", std::string(5000, '#'));
    ASSERT_EQ(run({"loop.prn"}).status, 0);
    const std::string first = readAll(dir / "loop-kov.prn");
    EXPECT_EQ(first.find('#'), std::string::npos);
    ASSERT_EQ(run({"loop.prn"}).status, 0);
    EXPECT_EQ(readAll(dir / "loop-kov.prn").size(), first.size());
    EXPECT_EQ(files(), (std::vector<std::string>{"loop-kov.prn", "loop.prn"}));
}

TEST_F(BatchRun, FailingRecordsAreReportedAndTheOthersStillWritten)
{
    writeAll(dir / "text.prn", "h1\nh2\nh3\nh4\nh5\n1 2\n3 abc\n");
    writeAll(dir / "good.prn", crossingRecord(2));
    writeAll(dir / "few.prn", "h1\nh2\n");
    const RunResult r = run({"missing.prn", "text.prn", "good.prn", "few.prn", "nofolder/x.prn"});
    EXPECT_EQ(r.status, 1);
    const std::string tail = ": This file includes error data or you may mistake column or skip indication. (";
    EXPECT_EQ(r.err, "missing.prn" + tail + "53)\n" + "text.prn" + tail + "13)\n" + "few.prn" + tail + "62)\n" +
                         "nofolder/x.prn" + tail + "76)\n");
    EXPECT_EQ(r.out, (dir / "good-kov.prn").string() + "\n");
    EXPECT_EQ(files(), (std::vector<std::string>{"few.prn", "good-kov.prn", "good.prn", "text.prn"}));

    // Two lines where five header lines are due: past the end too.
    writeAll(dir / "bad.prn", "1 2\nx 3\n");
    const RunResult bad = run({"bad.prn", "good.prn"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "bad.prn" + tail + "62)\n");
    EXPECT_FALSE(fs::exists(dir / "bad-kov.prn"));
    EXPECT_EQ(bad.out, (dir / "good-kov.prn").string() + "\n");
}

TEST_F(BatchRun, EachRecordStartsFromAFreshState)
{
    // The first record leaves a pending state behind (many cycles, other
    // data); the second must give the same table as when run alone.
    writeAll(dir / "big.prn", crossingRecord(40));
    writeAll(dir / "small.prn", crossingRecord(2));
    auto alone = crlfLines(run({"--stdout", "small.prn"}).out);
    auto both = crlfLines(run({"--stdout", "big.prn", "small.prn"}).out);
    ASSERT_GE(both.size(), alone.size());
    std::vector<std::string> second(both.end() - static_cast<long>(alone.size()), both.end());
    alone[1] = second[1] = "";
    EXPECT_EQ(second, alone);

    // Likewise for two real records written to files.
    copyExample("ufp-damper-ganey2015.prn", "ufp.prn");
    copyExample("slit-damper-chan-albermani.prn", "slit.prn");
    ASSERT_EQ(run({"--skip-lines", "0", "slit.prn"}).status, 0);
    const std::string slitAlone = kov::test::withoutLine2(readAll(dir / "slit-kov.prn"));
    const RunResult real = run({"--skip-lines", "0", "ufp.prn", "slit.prn"});
    ASSERT_EQ(real.status, 0) << real.err;
    EXPECT_EQ(real.out, (dir / "ufp-kov.prn").string() + "\n" + (dir / "slit-kov.prn").string() + "\n");
    EXPECT_EQ(kov::test::withoutLine2(readAll(dir / "slit-kov.prn")), slitAlone);
    EXPECT_NE(readAll(dir / "ufp-kov.prn").find("\r\n    1 "), std::string::npos);
}

TEST_F(BatchRun, OnlyTheFirstHundredCyclesAreAnalysedWithinTheWindowLimits)
{
    writeAll(dir / "long.prn", crossingRecord(130));
    const RunResult all = run({"long.prn"});
    EXPECT_EQ(all.err, "");
    EXPECT_EQ(crlfLines(readAll(dir / "long-kov.prn")).size(), 135u);

    const RunResult r = run({"--window-limits", "long.prn"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "long.prn: warning: only the first 100 cycles were analysed; the record goes on\n");
    const auto rows = crlfLines(readAll(dir / "long-kov.prn"));
    ASSERT_EQ(rows.size(), 105u);
    EXPECT_EQ(rows.back().substr(0, 5), "  100");

    // A record that ends exactly with cycle 100 gives no warning.
    writeAll(dir / "exact.prn", crossingRecord(100));
    const RunResult exact = run({"--window-limits", "exact.prn"});
    EXPECT_EQ(exact.status, 0);
    EXPECT_EQ(exact.err, "");
    EXPECT_EQ(crlfLines(readAll(dir / "exact-kov.prn")).size(), 105u);
}

TEST_F(BatchRun, AResultsFileThatCannotBeWrittenKeepsItsPlace)
{
    // A folder in the way of the results file.
    writeAll(dir / "loop.prn", crossingRecord(2));
    fs::create_directory(dir / "loop-kov.prn");
    const RunResult r = run({"loop.prn"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.find("loop.prn: Cannot write " + (dir / "loop-kov.prn").string() + ": "), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    EXPECT_TRUE(fs::is_directory(dir / "loop-kov.prn"));
    EXPECT_EQ(files(), (std::vector<std::string>{"loop-kov.prn", "loop.prn"}));
}

TEST_F(BatchRun, DiskFullKeepsTheEarlierResults)
{
    writeAll(dir / "loop.prn", crossingRecord(2));
    writeAll(dir / "loop-kov.prn", "earlier results\r\n");
    const RunResult r = run({"loop.prn"}, true);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "loop.prn: Cannot write " + (dir / "loop-kov.prn").string() + ": Disk full (61)\n");
    EXPECT_EQ(readAll(dir / "loop-kov.prn"), "earlier results\r\n");
    EXPECT_EQ(files(), (std::vector<std::string>{"loop-kov.prn", "loop.prn"}));
}

TEST_F(BatchRun, ReadOnlyFolderKeepsTheEarlierResults)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    writeAll(dir / "loop.prn", crossingRecord(2));
    writeAll(dir / "loop-kov.prn", "earlier results\r\n");
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    const RunResult r = run({"loop.prn"});
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "loop.prn: Cannot write " + (dir / "loop-kov.prn").string() + ": Permission denied (70)\n");
    EXPECT_EQ(readAll(dir / "loop-kov.prn"), "earlier results\r\n");
}

TEST_F(BatchRun, UsageErrorsWriteNothing)
{
    writeAll(dir / "loop.prn", crossingRecord(2));
    for (const auto &args : std::vector<std::vector<std::string>>{
             {}, {"--x-column=0", "loop.prn"}, {"--skip-lines", "1.5", "loop.prn"}, {"--y-coef=1e39", "loop.prn"},
             {"loop.prn", "--bogus"}, {"loop.prn", "--x-unit"}, {"--x-column", "0", "loop.prn"},
             {"--x-column", "1.5", "loop.prn"}, {"--skip-lines", "-1", "loop.prn"}, {"--x-coef", "1,5", "loop.prn"},
             {"--y-coef", "1e39", "loop.prn"}, {"--x-column"}, {"--bogus", "loop.prn"},
             {"--x-column", "40000", "loop.prn"}}) {
        const RunResult r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(files(), std::vector<std::string>{"loop.prn"});
    }
}

TEST_F(BatchRun, HelpAndVersion)
{
    const RunResult help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--skip-lines N"), std::string::npos);
    const RunResult version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex(R"(kov-batch \d+\.\d+\.\d+\n)"))) << version.out;
}

TEST_F(BatchRun, FailedStandardOutputIsAFailure)
{
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    writeAll(dir / "loop.prn", crossingRecord(2));
    const std::string cmd = "cd " + shellQuote(dir.string()) + " && " + shellQuote(KOV_BATCH_EXE) +
                            " --stdout loop.prn >/dev/full 2>/dev/null";
    const int raw = std::system(("sh -c " + shellQuote(cmd)).c_str());
    EXPECT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 1);
}

/// A hostile input of kov-batch: the files it finds, its arguments, and what
/// must come of it. A given file's text may be "<dir>", "<fifo>",
/// "<link>TARGET", "<hard>TARGET" (a hard link), "<read-only>TEXT", "<rows>N" (N rows "0") or
/// "<sparse>N" (a row, then N zero bytes in a hole). An expected state is "-"
/// (absent), "=" (as given), "png", "svg" (a whole picture), "html" (a whole report), "results" (a results
/// file), "~TEXT" (a file that holds TEXT) or "@TARGET" (still a link to TARGET). err is a pattern for all of
/// standard error; limits are sh commands run before kov-batch starts.
struct Hostile {
    const char *name;
    std::vector<std::pair<std::string, std::string>> given;
    std::vector<std::string> args;
    int status;
    std::string err;
    std::vector<std::pair<std::string, std::string>> after;
    std::string outHas = "";
    bool diskFull = false;
    std::string limits = "";
};

void PrintTo(const Hostile &c, std::ostream *os)
{
    *os << c.name;
}

class HostileInput : public BatchRun, public ::testing::WithParamInterface<Hostile> {};

TEST_P(HostileInput, IsRefusedOrHandledWithoutHarm)
{
    const Hostile &c = GetParam();
    if (!AddressLimitsBind && limitsAddressSpace(c.limits))
        GTEST_SKIP() << "an address-space limit does not bind a sanitized kov-batch";
    for (const auto &[name, text] : c.given) {
        const fs::path p = dir / name;
        fs::create_directories(p.parent_path());
        if (text == "<dir>")
            fs::create_directories(p);
        else if (text == "<fifo>")
            ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0);
        else if (text.rfind("<rows>", 0) == 0) {
            std::ofstream rows(p, std::ios::binary);
            std::string block;
            for (int i = 0; i < (1 << 16); ++i)
                block += "0\n";
            for (long n = std::stol(text.substr(6)); n > 0; n -= 1 << 16)
                rows.write(block.data(), 2 * std::min<long>(n, 1 << 16));
        } else if (text.rfind("<sparse>", 0) == 0) {
            writeAll(p, "1 2\n");
            fs::resize_file(p, 4 + std::stoull(text.substr(8)));
        } else if (text.rfind("<link>", 0) == 0)
            fs::create_symlink(text.substr(6), p);
        else if (text.rfind("<hard>", 0) == 0)
            fs::create_hard_link(dir / text.substr(6), p);
        else if (text.rfind("<read-only>", 0) == 0) {
            if (::geteuid() == 0)
                GTEST_SKIP() << "root may write any file";
            writeAll(p, text.substr(11));
            fs::permissions(p, fs::perms::owner_read);
        } else
            writeAll(p, text);
    }
    const RunResult r = kov::test::runBatch(dir, c.args, c.diskFull, 0, c.limits);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_TRUE(std::regex_match(r.err, std::regex(c.err))) << r.err;
    EXPECT_NE(r.out.find(c.outHas), std::string::npos) << r.out;
    for (const auto &[name, state] : c.after) {
        const fs::path p = dir / name;
        // A link to a FIFO is never opened: reading it would block.
        const std::string text = state.starts_with('@') ? "" : readAll(p);
        if (state == "-") {
            EXPECT_FALSE(fs::exists(fs::symlink_status(p))) << name;
        } else if (state.starts_with('@')) {
            EXPECT_TRUE(fs::is_symlink(p) && fs::read_symlink(p) == state.substr(1)) << name << " is no longer a link";
        } else if (state == "=") {
            std::string given;
            for (const auto &[n, t] : c.given)
                if (n == name)
                    given = t.rfind("<read-only>", 0) == 0 ? t.substr(11) : t;
            EXPECT_EQ(text, given) << name;
        } else if (state == "png") {
            EXPECT_TRUE(text.rfind("\x89PNG", 0) == 0 && text.find("IEND") == text.size() - 8) << name;
        } else if (state == "svg") {
            EXPECT_NE(text.find("</svg>"), std::string::npos) << name;
        } else if (state.starts_with('~')) {
            EXPECT_NE(text.find(state.substr(1)), std::string::npos) << name << " lacks " << state;
        } else if (state == "html") {
            EXPECT_TRUE(text.rfind("<!DOCTYPE html>", 0) == 0 && text.find("</html>\n") == text.size() - 8) << name;
        } else {
            EXPECT_EQ(text.rfind("Absorbed Energy", 0), 0u) << name;
        }
    }
    for (const auto &e : fs::recursive_directory_iterator(dir))
        EXPECT_NE(e.path().filename().string().rfind(".kov-", 0), 0u) << "a temporary file is left: " << e.path();
}

const std::string Loop = crossingRecord(2);
const std::string LongName = std::string(247, 'r') + ".prn"; // 251 bytes, results 255
std::string repeat(const std::string &s, int n)
{
    std::string r;
    while (n-- > 0)
        r += s;
    return r;
}
const std::string DeepPicture = repeat(repeat("\xc3\xa9", 120) + "/", 3) + "p.png"; // 728 bytes
const std::string Book = kov::test::zipBytes(kov::test::xlsxParts({{"Data", {{"0", "-1"}, {"1", "1"}}}, {"More", {}}}));

INSTANTIATE_TEST_SUITE_P(Cases, HostileInput, ::testing::Values(
    Hostile{"sheet_that_no_workbook_has", {{"w.xlsx", Book}, {"r.prn", Loop}}, {"--sheet", "Nope", "r.prn", "w.xlsx"}, 2,
            "kov-batch: w\\.xlsx: no sheet is named 'Nope'; the sheets are: 1 Data, 2 More\n", {{"w.-kov.prn", "-"}, {"r-kov.prn", "-"}}},
    Hostile{"damaged_workbook", {{"w.xlsx", Book.substr(0, Book.size() - 30)}, {"r.prn", Loop}}, {"r.prn", "w.xlsx"}, 1,
            "w\\.xlsx: the workbook is damaged or cut short: it begins as a ZIP archive but has no ZIP directory \\(321\\)\n",
            {{"w.-kov.prn", "-"}, {"r-kov.prn", "results"}}},
    Hostile{"percent_n_in_the_record_name", {{"a%nb.prn", Loop}}, {"--plot", "pic-%n.svg", "a%nb.prn"}, 0, "",
            {{"pic-a%nb.svg", "svg"}, {"a%nb-kov.prn", "results"}, {"a%nb.prn", "="}}},
    Hostile{"picture_named_like_a_record", {{"r.prn", Loop}}, {"--plot", "%n.prn", "r.prn"}, 2,
            "kov-batch: invalid value '%n.prn' for option '--plot'\n", {{"r.prn", "="}, {"r-kov.prn", "-"}}},
    Hostile{"picture_over_a_record_of_the_run", {{"r.svg", Loop}, {"s.prn", Loop}, {"sub", "<dir>"}},
            {"--plot", "./%n.svg", "s.prn", "sub/../r.svg"}, 2,
            "kov-batch: the picture '\\./r\\.svg' would overwrite the record 'sub/\\.\\./r\\.svg'\n",
            {{"r.svg", "="}, {"s.svg", "-"}, {"s-kov.prn", "-"}}},
    Hostile{"summary_over_a_record_of_the_run", {{"r.prn", Loop}}, {"--summary", "./r.prn", "r.prn"}, 2,
            "kov-batch: the summary '\\./r\\.prn' would overwrite the record 'r\\.prn'\n", {{"r.prn", "="}, {"r-kov.prn", "-"}}},
    Hostile{"summary_over_the_campaign_file", {{"r.prn", Loop}, {"c.csv", "record\nr.prn\n"}},
            {"--summary", "./c.csv", "--campaign", "c.csv"}, 2,
            "kov-batch: the summary '\\./c\\.csv' would overwrite the campaign file 'c\\.csv'\n", {{"c.csv", "="}, {"r-kov.prn", "-"}}},
    Hostile{"comparison_over_a_steps_file", {{"r.prn", Loop}, {"r-steps.csv", "cycle,peak,step\n"}},
            {"--compare", "r-steps.csv", "--steps", "%n-steps.csv", "r.prn"}, 2,
            "kov-batch: the comparison 'r-steps\\.csv' would overwrite the steps file 'r-steps\\.csv'\n",
            {{"r-steps.csv", "="}, {"r-kov.prn", "-"}}},
    Hostile{"report_named_like_a_record", {{"r.prn", Loop}}, {"--report", "r.prn", "r.prn"}, 2,
            "kov-batch: invalid value 'r\\.prn' for option '--report'\n", {{"r.prn", "="}, {"r-kov.prn", "-"}}},
    Hostile{"report_over_a_record_of_the_run", {{"r.html", Loop}}, {"--report", "./r.html", "r.html"}, 2,
            "kov-batch: the report '\\./r\\.html' would overwrite the record 'r\\.html'\n", {{"r.html", "="}}},
    Hostile{"report_over_the_summary", {{"r.prn", Loop}}, {"--summary", "all.htm", "--report", "./all.htm", "r.prn"},
            2, "kov-batch: the report '\\./all\\.htm' would overwrite the summary 'all\\.htm'\n",
            {{"all.htm", "-"}, {"r-kov.prn", "-"}}},
    Hostile{"report_names_tell_records_apart", {{"a/x.prn", Loop}, {"b/x.prn", Loop}, {"c", "<dir>"}},
            {"--stdout", "--report", "r.html", "a/x.prn", "b/x.prn", "c/"}, 1,
            "c/: This file includes error data or you may mistake column or skip indication\\. \\(70\\)\n",
            {{"r.html", "~>a/x.prn</a>"}, {"r.html", "~>b/x.prn</a>"}, {"r.html", "~<td class=\"text\">c<td"},
             {"r.html", "~<h2>1. a/x.prn</h2>"}}},
    Hostile{"unit_that_looks_like_an_attribute", {{"r.prn", Loop}},
            {"--stdout", "--report", "r.html", "--y-unit", "kN font-family=Z", "r.prn"}, 0, "",
            {{"r.html", "~\">Load Y (kN font-family=Z)</text>"}, {"r.html", "html"}}},
    Hostile{"report_in_a_missing_folder", {{"r.prn", Loop}}, {"--stdout", "--report", "no/r.html", "r.prn"}, 1,
            "kov-batch: Cannot write no/r\\.html: Path not found \\(76\\)\n", {{"no", "-"}}},
    Hostile{"report_on_a_full_disk", {{"r.prn", Loop}, {"r.html", "earlier page"}}, {"--stdout", "--report", "r.html", "r.prn"},
            1, "kov-batch: Cannot write r\\.html: Disk full \\(61\\)\n", {{"r.html", "="}}, "", true},
    Hostile{"report_at_a_symbolic_link", {{"r.prn", Loop}, {"mine.txt", "keep"}, {"r.html", "<link>mine.txt"}},
            {"--stdout", "--report", "r.html", "r.prn"}, 0, "", {{"mine.txt", "="}, {"r.html", "html"}}},
    Hostile{"json_and_csv_on_a_full_disk", {{"r.prn", Loop}}, {"--json", "--csv", "r.prn"}, 1,
            "(r\\.prn: Cannot write .*/r-kov(\\.prn|\\.json|\\.csv|-levels\\.csv): Disk full \\(61\\)\n){4}",
            {{"r-kov.json", "-"}, {"r-kov.csv", "-"}, {"r-kov-levels.csv", "-"}}, "", true},
    Hostile{"picture_on_a_full_disk", {{"r.prn", Loop}, {"pic.png", "earlier picture"}}, {"--stdout", "--plot", "pic.png", "r.prn"},
            1, "r\\.prn: Cannot write pic\\.png: Disk full \\(61\\)\n", {{"pic.png", "="}}, "", true},
    Hostile{"picture_of_a_long_path_on_a_full_disk", {{"r.prn", Loop}, {DeepPicture, "earlier"}},
            {"--stdout", "--plot", DeepPicture, "r.prn"}, 1,
            "r\\.prn: Cannot write (\xc3\xa9)+\\.\\.\\.(\xc3\xa9)+/(\xc3\xa9)+/p\\.png: Disk full \\(61\\)\n",
            {{DeepPicture, "="}}, "", true},
    Hostile{"picture_at_a_symbolic_link", {{"r.prn", Loop}, {"mine.txt", "keep"}, {"pic.png", "<link>mine.txt"}},
            {"--stdout", "--plot", "pic.png", "r.prn"}, 0, "", {{"mine.txt", "="}, {"pic.png", "png"}}},
    Hostile{"picture_to_a_named_pipe", {{"r.prn", Loop}, {"pipe.png", "<fifo>"}}, {"--stdout", "--plot", "pipe.png", "r.prn"},
            1, "r\\.prn: Cannot write pipe\\.png: Path/File access error \\(75\\)\n", {}},
    Hostile{"picture_below_one_pixel", {{"r.prn", Loop}}, {"--plot", "p.png", "--plot-scale", "0.002", "r.prn"}, 2,
            "kov-batch: invalid value '0\\.002' for option '--plot-scale'\n", {{"p.png", "-"}, {"r-kov.prn", "-"}}},
    Hostile{"record_through_a_link_and_dot_dot", {{"real/sub", "<dir>"}, {"real/r.prn", Loop}, {"link", "<link>real/sub"}},
            {"link/../r.prn"}, 0, "", {{"r-kov.prn", "results"}, {"real/r-kov.prn", "-"}}},
    Hostile{"read_only_earlier_results", {{"r.prn", Loop}, {"r-kov.prn", "<read-only>earlier"}}, {"r.prn"}, 1,
            "r\\.prn: Cannot write .*/r-kov\\.prn: Permission denied \\(70\\)\n", {{"r-kov.prn", "="}}},
    Hostile{"folder_at_a_results_name_among_others", {{"r.prn", Loop}, {"r-kov.prn", "<dir>"}, {"s.prn", Loop}},
            {"--json", "r.prn", "s.prn"}, 1, "r\\.prn: Cannot write .*/r-kov\\.prn: a folder has this name \\(70\\)\n",
            {{"r-kov.json", "~\"record\""}, {"s-kov.prn", "results"}, {"s-kov.json", "~\"record\""}}, "-kov.json\n/"},
    Hostile{"stray_bytes_end_the_name", {{"n/ab.\xb0\xb0\xb0", Loop}}, {"n/ab.\xb0\xb0\xb0"}, 0, "",
            {{"n/ab-kov.prn", "results"}, {"n-kov.prn", "-"}}},
    Hostile{"unit_of_a_stray_byte", {{"r.prn", Loop}}, {"--stdout", "--x-unit", "\xb5m", "r.prn"}, 0, "", {},
            "\n               (\xb5m)   (tonf)          (\xb5m)   (tonf)"},
    Hostile{"name_of_251_bytes", {{LongName, Loop}}, {LongName}, 0, "", {{std::string(247, 'r') + "-kov.prn", "results"}}},
    Hostile{"coefficient_beyond_the_float_range", {{"r.prn", Loop}}, {"--x-coef", "1" + std::string(400, '0') + "e-1", "r.prn"},
            2, "kov-batch: invalid value '10+e-1' for option '--x-coef'\n", {{"r-kov.prn", "-"}}},
    Hostile{"largest_float_coefficient_overflows_the_energy",
            {{"r.prn", "h\nh\nh\nh\nh\n0 -1\n1 1\n-2 -1\n3 1\n-4 -1\n"}}, {"--stdout", "--y-coef", "3.40282347e38", "r.prn"}, 0,
            "r\\.prn: warning: cycles 1, 2: an energy is beyond the float range \\(written as Infinity, -Infinity or NaN; "
            "damping 0\\)\n", {}},
    Hostile{"energy_beyond_the_float_range", {{"big.prn", "0 -1\n3e38 3e38\n-3e38 -3e38\n0 1\n"}},
            {"--stdout", "--skip-lines=0", "big.prn"}, 0, "big\\.prn: warning: cycle 1: .*\n", {},
            " Infinity Infinity 0.0000e+00\r\n"},
    Hostile{"summary_over_a_results_file", {{"r.prn", Loop}}, {"--summary", "r-kov.prn", "r.prn"}, 2,
            "kov-batch: the summary 'r-kov\\.prn' would overwrite the results file '/.*/r-kov\\.prn'\n", {{"r-kov.prn", "-"}}},
    Hostile{"summary_over_a_picture", {{"r.prn", Loop}}, {"--plot", "%n.svg", "--summary", "./r.svg", "r.prn"}, 2,
            "kov-batch: the summary '\\./r\\.svg' would overwrite the picture 'r\\.svg'\n", {{"r.svg", "-"}}},
    Hostile{"summary_over_a_record_through_a_link", {{"r.prn", Loop}, {"l.csv", "<link>r.prn"}},
            {"--summary", "l.csv", "r.prn"}, 2, "kov-batch: the summary 'l\\.csv' would overwrite the record 'r\\.prn'\n",
            {{"r.prn", "="}}},
    Hostile{"summary_over_a_record_through_a_hard_link", {{"r.prn", Loop}, {"h.csv", "<hard>r.prn"}},
            {"--summary", "h.csv", "r.prn"}, 2, "kov-batch: the summary 'h\\.csv' would overwrite the record 'r\\.prn'\n",
            {{"r.prn", "="}}},
    Hostile{"two_records_one_output_name", {{"a.prn", Loop}, {"a.txt", crossingRecord(3)}},
            {"--csv", "--summary", "s.csv", "a.prn", "a.txt"}, 1,
            "(a\\.txt: Cannot write /.*/a-kov(\\.prn|\\.csv|-levels\\.csv), an output of the record a\\.prn: File already "
            "exists \\(58\\)\n){3}",
            {{"a-kov.prn", "~a.prn, at"}, {"s.csv", "~a.txt,a,,error 58,"}}},
    Hostile{"two_records_one_picture_name", {{"a/x.prn", Loop}, {"b/x.prn", Loop}}, {"--plot", "%n.svg", "a/x.prn", "b/x.prn"},
            1, "b/x\\.prn: Cannot write x\\.svg, an output of the record a/x\\.prn: File already exists \\(58\\)\n",
            {{"x.svg", "svg"}, {"a/x-kov.prn", "results"}, {"b/x-kov.prn", "results"}}},
    Hostile{"earlier_results_are_no_record", {{"r.prn", Loop}, {"r-kov.prn", "Absorbed Energy and Equivalent Damping "
            "Factor calculated by kov1\r\nFile Name = r.prn\r\n"}}, {"--summary", "s.csv", "r.prn", "r-kov.prn"}, 0,
            "r-kov\\.prn: skipped: a results file of kov, not a test record\n",
            {{"r-kov.prn", "results"}, {"r-kov-kov.prn", "-"}, {"s.csv", "~r-kov.prn,r-kov,,skipped,,"}}},
    Hostile{"summary_at_a_link_to_a_device", {{"r.prn", Loop}, {"out.csv", "<link>/dev/null"}},
            {"--summary", "out.csv", "r.prn"}, 1, "kov-batch: Cannot write out\\.csv: Path/File access error \\(75\\)\n",
            {{"out.csv", "@/dev/null"}, {"r-kov.prn", "results"}}},
    Hostile{"results_at_a_link_to_a_fifo", {{"r.prn", Loop}, {"p", "<fifo>"}, {"r-kov.prn", "<link>p"}}, {"r.prn"}, 1,
            "r\\.prn: Cannot write .*/r-kov\\.prn: Path/File access error \\(75\\)\n", {{"r-kov.prn", "@p"}}},
    Hostile{"report_at_a_link_to_a_folder", {{"r.prn", Loop}, {"sub", "<dir>"}, {"r.html", "<link>sub"}},
            {"--stdout", "--report", "r.html", "r.prn"}, 1,
            "kov-batch: Cannot write r\\.html: a folder has this name \\(through a link\\) \\(70\\)\n",
            {{"r.html", "@sub"}}},
    Hostile{"results_at_a_link_to_nothing", {{"r.prn", Loop}, {"r-kov.prn", "<link>gone"}}, {"r.prn"}, 0, "",
            {{"r-kov.prn", "results"}, {"gone", "-"}}},
    Hostile{"summary_to_standard_output", {{"r.prn", Loop}}, {"--summary", "-", "r.prn"}, 0, "", {{"-", "-"}},
            "/r-kov.prn\nrecord,label,group,status,rows,"},
    Hostile{"report_to_standard_output", {{"r.prn", Loop}}, {"--report", "-", "r.prn"}, 0, "", {{"-", "-"}},
            "/r-kov.prn\n<!DOCTYPE html>"},
    Hostile{"both_to_standard_output", {{"r.prn", Loop}}, {"--report", "-", "--summary", "-", "r.prn"}, 2,
            "kov-batch: only one of the summary, the comparison and the report can go to standard output\n",
            {{"r-kov.prn", "-"}}},
    Hostile{"comparison_to_standard_output", {{"r.prn", Loop}}, {"--compare", "-", "r.prn"}, 0, "", {{"-", "-"}},
            "/r-kov.prn\ngroup,records,failed,x_unit,y_unit,peak_load_pos_count,"},
    Hostile{"comparison_over_the_summary", {{"r.prn", Loop}}, {"--summary", "s.csv", "--compare", "./s.csv", "r.prn"},
            2, "kov-batch: the comparison '\\./s\\.csv' would overwrite the summary 's\\.csv'\n",
            {{"s.csv", "-"}, {"r-kov.prn", "-"}}},
    Hostile{"byte_order_mark_without_a_header", {{"r.csv", "\xEF\xBB\xBF" + crossingRecord(2, 0)}},
            {"--stdout", "--peak-rule", "window", "--skip-lines", "auto", "r.csv"}, 0, "", {},
            "\n    1    4    3.000    1.000    3   -2.000   -1.000 "},
    Hostile{"byte_order_mark_before_names", {{"r.csv", "\xEF\xBB\xBF" "disp,force\n" + crossingRecord(2, 0)}},
            {"--stdout", "--peak-rule", "window", "--x-column", "disp", "--y-column", "force", "r.csv"}, 0, "", {},
            "\n    1    4    3.000    1.000    3   -2.000   -1.000 "},
    Hostile{"byte_order_mark_shown_by_inspect", {{"r.csv", "\xEF\xBB\xBF" "disp,force\n" + crossingRecord(2, 0)}},
            {"--inspect", "r.csv"}, 0, "", {}, "r.csv\n  byte-order mark: UTF-8 (not part of the first line)\n"
            "  header lines: 1\n     1  disp,force\n"},
    Hostile{"utf16_record", {{"r.txt", std::string("\xFF\xFE" "1\0 \0" "2\0\n\0", 10)}}, {"r.txt"}, 1,
            "r\\.txt: the record is UTF-16 text, which is not read: save it as UTF-8 .* and run again \\(13\\)\n",
            {{"r-kov.txt", "-"}}},
    Hostile{"utf32_record_read_for_its_header", {{"r.txt", std::string("\xFF\xFE\0\0" "1\0\0\0", 8)}},
            {"--skip-lines", "auto", "r.txt"}, 1, "r\\.txt: the record is UTF-32 text, .* \\(13\\)\n", {}},
    Hostile{"rows_beyond_the_limit", {{"r.prn", "<rows>16777216"}}, {"--stdout", "--skip-lines=0", "--x-column=1",
            "--y-column=1", "r.prn"}, 1,
            "r\\.prn: the record has 16777216 data rows, more than the 16777215 that can be analysed \\(9\\)\n", {}},
    Hostile{"inspect_a_line_of_256_mib", {{"r.prn", "<sparse>268435456"}}, {"--inspect", "r.prn"}, 0, "", {},
            "  data rows: 2\n  first row: 1 2\n  last row:  " + std::string(1024, '?') + "... (cut: 268435456 bytes)\n",
            false, "ulimit -v 100000"},
    Hostile{"record_beyond_the_memory_left", {{"big.prn", "<rows>6000000"}, {"r.prn", crossingRecord(2, 0)}},
            {"--json", "--skip-lines=0", "--x-column=1", "--y-column=1", "big.prn", "r.prn"}, 1,
            "big\\.prn: Out of memory \\(7\\)\n", {{"big-kov.json", "-"}, {"r-kov.prn", "results"}}, "", false,
            "ulimit -v 60000"}),
    [](const ::testing::TestParamInfo<Hostile> &p) { return std::string(p.param.name); });

// ---- Workbooks

TEST_F(BatchRun, AWorkbookSheetGivesTheResultsOfTheSameCellsAsCsv)
{
    kov::test::TestSheet data{"Test 1", {{"s:Time", "s:Force", "s:Disp"}, {"s:s", "s:kN", "s:mm"}}};
    const std::string loop = crossingRecord(4, 0);
    for (std::size_t at = 0, end; (end = loop.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = loop.substr(at, end - at);
        const std::size_t blank = line.find(' ');
        data.rows.push_back({std::to_string(static_cast<double>(data.rows.size()) * 0.125), line.substr(blank + 1), line.substr(0, blank)});
    }
    const std::string book = kov::test::zipBytes(kov::test::xlsxParts({{"Notes", {{"s:x"}}}, data}));
    writeAll(dir / "w.xlsx", book);
    writeAll(dir / "w.csv", kov::test::csvText(data));
    const RunResult r = run({"--sheet", "test 1", "--x-column", "disp", "--y-column", "force", "--json", "w.xlsx", "w.csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string results = readAll(dir / "w.-kov.prn");
    EXPECT_EQ(crlfLines(results).size(), 5u + 4u);
    EXPECT_EQ(withoutLine2(results), withoutLine2(readAll(dir / "w-kov.prn")));
    // The record's digest is that of the workbook's bytes.
    std::string sum(64, '?');
    FILE *p = ::popen(("sha256sum " + shellQuote((dir / "w.xlsx").string())).c_str(), "r");
    ASSERT_TRUE(p && std::fread(sum.data(), 1, 64, p) == 64);
    ::pclose(p);
    EXPECT_EQ(nlohmann::json::parse(readAll(dir / "w.-kov.json"))["record_sha256"], sum);

    const RunResult inspected = run({"--inspect", "--sheet", "2", "w.xlsx"});
    EXPECT_EQ(inspected.status, 0) << inspected.err;
    EXPECT_NE(inspected.out.find("  sheets: 2\n    1  Notes: 1 row, 1 column\n    2  Test 1: 11 rows, 3 columns (read)\n"
                                 "  header lines: 2\n"), std::string::npos) << inspected.out;
    EXPECT_NE(inspected.out.find("options: --sheet 'Test 1' --skip-lines 2 --x-column 3 --y-column 2 --x-unit mm --y-unit kN"),
              std::string::npos) << inspected.out;
}

// ---- --json, --csv and --summary

TEST_F(BatchRun, JsonAndCsvLieBesideTheResultsFile)
{
    writeAll(dir / "loop.prn", crossingRecord(3));
    const RunResult r = run({"--json", "--csv", "--y-unit=kN", "loop.prn"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, (dir / "loop-kov.prn").string() + "\n" + (dir / "loop-kov.json").string() + "\n" +
                         (dir / "loop-kov.csv").string() + "\n" + (dir / "loop-kov-levels.csv").string() + "\n");
    const auto json = nlohmann::ordered_json::parse(readAll(dir / "loop-kov.json"));
    EXPECT_EQ(json["record"], (dir / "loop.prn").string());
    EXPECT_EQ(json["settings"]["y_unit"], "kN");
    EXPECT_EQ(json["cycles"].size(), 3u);
    const auto csv = crlfLines(readAll(dir / "loop-kov.csv"));
    ASSERT_EQ(csv.size(), 4u);
    EXPECT_EQ(csv[0].rfind("cycle,start_step,end_step,closed,peak1_step,peak1_x (mm),peak1_y (kN),", 0), 0u) << csv[0];

    // With --stdout, standard output carries the table alone; the files are
    // written all the same.
    fs::remove(dir / "loop-kov.json");
    const RunResult toOut = run({"--stdout", "--json", "loop.prn"});
    EXPECT_EQ(toOut.status, 0);
    EXPECT_EQ(toOut.out.substr(0, 10), "Absorbed E");
    EXPECT_EQ(crlfLines(toOut.out).size(), 5u + 3u);
    EXPECT_TRUE(fs::exists(dir / "loop-kov.json"));
}

TEST_F(BatchRun, AMetricFileThatCannotBeWrittenFailsItsRecord)
{
    writeAll(dir / "loop.prn", crossingRecord(2));
    fs::create_directory(dir / "loop-kov.json");
    const RunResult r = run({"--json", "--csv", "loop.prn"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find("loop.prn: Cannot write " + (dir / "loop-kov.json").string() + ": "), 0u) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - 5), "(70)\n");
    EXPECT_EQ(r.out, (dir / "loop-kov.prn").string() + "\n" + (dir / "loop-kov.csv").string() + "\n" +
                         (dir / "loop-kov-levels.csv").string() + "\n");
    EXPECT_TRUE(fs::is_directory(dir / "loop-kov.json"));
}

TEST_F(BatchRun, SummaryHasARowForEveryRecordInOrder)
{
    writeAll(dir / "good.prn", crossingRecord(3));
    writeAll(dir / "text.prn", "h1\nh2\nh3\nh4\nh5\n1 2\n3 abc\n");
    writeAll(dir / "blocked.prn", crossingRecord(2));
    fs::create_directory(dir / "blocked-kov.prn");
    const RunResult r = run({"--summary", "all.csv", "good.prn", "missing.prn", "text.prn", "blocked.prn"});
    EXPECT_EQ(r.status, 1);
    const auto rows = crlfLines(readAll(dir / "all.csv"));
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0], "record,label,group,status,rows,cycles,total_energy (tonf*mm),mean_damping,peak_load_pos (tonf),"
                       "peak_load_neg (tonf),ductility_pos,ductility_neg,levels,beta_min,acceptance,noise_cycles,"
                       "x_unit,y_unit,record_sha256,version");
    // A record of the command line is labelled by its base name, in no group.
    EXPECT_EQ(rows[1].substr(0, rows[1].find(",good,,ok,7,3,")), (dir / "good.prn").string());
    EXPECT_NE(rows[1].find(",mm,tonf,"), std::string::npos) << rows[1];
    // A record read to its end has its digest, also when it fails.
    EXPECT_EQ(rows[2], (dir / "missing.prn").string() + ",missing,,error 53,,,,,,,,,,,,,,,," KOV_VERSION);
    EXPECT_EQ(rows[3], (dir / "text.prn").string() + ",text,,error 13,,,,,,,,,,,,,,,"
                       "d5e1548c7ac892b7eea1cef7dd163094d6bdd5941110bbc284f0b4535e6cd140," KOV_VERSION);
    // Analysed, but its results file could not be written.
    EXPECT_EQ(rows[4].substr(0, rows[4].find(",blocked,,error 70,5,2,")), (dir / "blocked.prn").string());
    EXPECT_FALSE(fs::exists(dir / "good-kov.json"));

    // A summary that cannot be written is a failure of the call.
    fs::create_directory(dir / "sum.csv");
    const RunResult blocked = run({"--summary", "sum.csv", "good.prn"});
    EXPECT_EQ(blocked.status, 1);
    EXPECT_EQ(blocked.err.find("kov-batch: Cannot write sum.csv: "), 0u) << blocked.err;
}

// ---- --report

TEST_F(BatchRun, ReportShowsEveryRecordAndItsFailures)
{
    writeAll(dir / "good.prn", crossingRecord(3));
    writeAll(dir / "text.prn", "h1\nh2\nh3\nh4\nh5\n1 2\n3 abc\n");
    writeAll(dir / "blocked.prn", crossingRecord(2));
    fs::create_directory(dir / "blocked-kov.prn");
    const RunResult r = run({"--report", "all.HTML", "good.prn", "text.prn", "blocked.prn"});
    EXPECT_EQ(r.status, 1);
    // Standard output lists the files written: the results file, then the page.
    EXPECT_EQ(r.out, (dir / "good-kov.prn").string() + "\n" + (dir / "all.HTML").string() + "\n");
    const std::string html = readAll(dir / "all.HTML");
    EXPECT_TRUE(std::regex_search(html, std::regex(R"(, written \d{4}-\d\d-\d\d \d\d:\d\d:\d\d by kov-batch )")));
    const std::size_t sections = html.find("<section class=\"record\"");
    ASSERT_NE(sections, std::string::npos);
    const std::string summary = html.substr(0, sections);
    EXPECT_NE(summary.find("<tr><td class=\"text\"><a href=\"#record-1\">good.prn</a><td class=\"text\">ok<td>"), std::string::npos);
    EXPECT_NE(summary.find("<tr class=\"failed\"><td class=\"text\">text.prn<td class=\"text\">error 13<div class=\"errline\">This file "
                           "includes error data or you may mistake column or skip indication. (13)</div>"),
              std::string::npos);
    // Analysed, so it has its section, but its results file could not be written.
    EXPECT_NE(summary.find("<a href=\"#record-2\">blocked.prn</a><td class=\"text\">error 70<div class=\"errline\">Cannot write " +
                           (dir / "blocked-kov.prn").string()),
              std::string::npos);
    EXPECT_EQ(html.find("<section class=\"record\"", html.find("id=\"record-2\"")), std::string::npos)
        << "a section for each of the two records that loaded";
    EXPECT_NE(html.find("<li class=\"error\">Cannot write"), std::string::npos);
}

TEST_F(BatchRun, ALongCallPutsEachRecordOnAPageOfItsOwn)
{
    std::vector<std::string> args = {"--report", "r.html", "--quiet"};
    for (int i = 1; i <= 102; ++i) {
        const std::string name = "s" + std::to_string(i) + ".prn";
        writeAll(dir / name, i == 2 ? std::string("1 2\n3 abc\n") : crossingRecord(2));
        args.push_back(name);
    }
    const RunResult r = run(args);
    EXPECT_EQ(r.status, 1);
    const std::string html = readAll(dir / "r.html");
    EXPECT_EQ(html.find("<section class=\"record\""), std::string::npos);
    EXPECT_NE(html.find("<section id=\"comparison\">"), std::string::npos);
    // Every link of the summary opens its record's page, whose section is there.
    std::set<std::string> linked;
    const std::regex link("<a href=\"r-records/record-(\\d+)\\.html\">s(\\d+)\\.prn</a>");
    for (auto it = std::sregex_iterator(html.begin(), html.end(), link); it != std::sregex_iterator(); ++it) {
        EXPECT_EQ((*it)[1], (*it)[2]);
        const std::string page = readAll(dir / "r-records" / ("record-" + (*it)[1].str() + ".html"));
        EXPECT_NE(page.find("</h2><p class=\"location\">" + (dir / ("s" + (*it)[2].str() + ".prn")).string()),
                  std::string::npos);
        EXPECT_NE(page.find("<a href=\"../r.html#summary\">"), std::string::npos);
        linked.insert((*it)[1]);
    }
    EXPECT_EQ(linked.size(), 101u);
    EXPECT_EQ(linked.count("2"), 0u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "r-records"), fs::directory_iterator()), 101);

    // A record where a record page would go is a usage error, before any work.
    fs::rename(dir / "s1.prn", dir / "r-records" / "record-1.html");
    args[3] = "r-records/record-1.html";
    const RunResult refused = run(args);
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "kov-batch: the report 'r-records/record-1.html' would overwrite the record "
                           "'r-records/record-1.html'\n");
}

// ---- Many records at once

TEST_F(BatchRun, AnyNumberOfJobsPrintsAndWritesTheSame)
{
    writeAll(dir / "a.prn", crossingRecord(3));
    writeAll(dir / "a.txt", crossingRecord(2)); // the same output names as a.prn
    writeAll(dir / "bad.prn", "h1\nh2\nh3\nh4\nh5\n1 2\n3 abc\n");
    std::vector<std::string> records = {"a.prn", "a.txt", "bad.prn", "missing.prn"};
    for (int i = 0; i < 16; ++i) {
        records.push_back("r" + std::to_string(i) + ".prn");
        writeAll(dir / records.back(), crossingRecord(2 + i % 7));
    }
    std::map<std::size_t, std::pair<RunResult, std::map<std::string, std::string>>> firsts;
    // The last runs have few descriptors (at 12 the records wait for each
    // other's) or room for the stack of one thread only: the same outcome.
    const std::string oneThread = "ulimit -s 1048576 && ulimit -v 1600000";
    for (const auto &[jobs, openFiles, limits] :
         {std::tuple{"1", 0, ""}, {"2", 0, ""}, {"8", 0, ""}, {"2", 60, ""}, {"8", 40, ""}, {"1", 12, ""},
          {"8", 12, ""}, {"8", 0, oneThread.c_str()}}) {
        if (!AddressLimitsBind && limitsAddressSpace(limits))
            continue;
        if (!FewDescriptorsWithManyJobs && openFiles > 0 && openFiles <= 12 && std::string(jobs) != "1")
            continue;
        const std::vector<std::string> calls[] = {
            {"--summary", "a.prn", "a.prn"}, // a clash of the plan
            {"--csv", "--summary", "s.csv", "--json", "--report", "r.html"},
            {"--csv", "--json"}}; // groups of many records
        for (std::size_t k = 0; k < std::size(calls); ++k) {
            const std::vector<std::string> &args = calls[k];
            std::vector<std::string> call = {"-j", jobs};
            call.insert(call.end(), args.begin(), args.end());
            call.insert(call.end(), records.begin(), records.end());
            const RunResult r = kov::test::runBatch(dir, call, false, openFiles, limits);
            std::map<std::string, std::string> written;
            for (const std::string &name : files())
                written[name] = withoutLine2(readAll(dir / name));
            if (args.size() == 3) {
                EXPECT_EQ(r.status, 2);
                EXPECT_EQ(r.err, "kov-batch: the summary 'a.prn' would overwrite the record 'a.prn'\n");
                continue;
            }
            EXPECT_EQ(r.status, 1);
            EXPECT_EQ(r.err.find("records/s"), std::string::npos) << "no progress line off a terminal";
            const auto &first = firsts.try_emplace(k, r, written).first->second;
            EXPECT_EQ(r.out, first.first.out) << "-j " << jobs << " files " << openFiles << limits;
            EXPECT_EQ(r.err, first.first.err) << "-j " << jobs << " files " << openFiles << limits;
            EXPECT_EQ(written, first.second) << "-j " << jobs << " files " << openFiles << limits;
        }
    }
}

TEST_F(BatchRun, ProgressOnATerminalAndInterruptionLeaveNoTemporary)
{
    std::vector<std::string> args = {KOV_BATCH_EXE, "-j", "2", "--json", "--report", "r.html"};
    for (int i = 0; i < 3000; ++i) {
        args.push_back("r" + std::to_string(i) + ".prn");
        writeAll(dir / args.back(), crossingRecord(8));
    }
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::vector<char *> argv;
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::chdir(dir.c_str()) == 0)
            ::execv(KOV_BATCH_EXE, argv.data());
        ::_exit(127);
    }
    // Everything the call shows on its terminal; interrupted once the
    // progress line has appeared.
    std::string shown;
    char buffer[4096];
    for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;) {
        const bool before = shown.find("records/s") != std::string::npos;
        shown.append(buffer, static_cast<std::size_t>(n));
        if (!before && shown.find("records/s") != std::string::npos)
            ::kill(pid, SIGINT);
    }
    int raw = 0;
    ASSERT_EQ(::waitpid(pid, &raw, 0), pid);
    ::close(terminal);
    EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 130) << raw << shown.substr(shown.size() - 300);
    EXPECT_TRUE(std::regex_search(shown, std::regex(R"(\r\d+/3000 records, 0 failed, [0-9.]+ records/s, \d+:\d\d left)")));
    EXPECT_TRUE(std::regex_search(shown, std::regex(R"(kov-batch: interrupted: \d+ of 3000 records done\r?\n$)"))) << shown;
    EXPECT_TRUE(readAll(dir / "r.html").ends_with("</body></html>\n")) << "the page of the records done";
    for (const auto &e : fs::directory_iterator(dir))
        EXPECT_NE(e.path().filename().string().rfind(".kov-", 0), 0u) << "a temporary file is left: " << e.path();
}

/// Starts kov-batch in folder with args, its standard output and error
/// on pipes, the descriptors of their reading ends in out and err.
pid_t startBatch(const fs::path &folder, std::vector<std::string> args, int &out, int &err)
{
    int o[2], e[2];
    if (::pipe(o) != 0 || ::pipe(e) != 0)
        return -1;
    args.insert(args.begin(), KOV_BATCH_EXE);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(o[1], 1);
        ::dup2(e[1], 2);
        for (const int fd : {o[0], o[1], e[0], e[1]})
            ::close(fd);
        std::vector<char *> argv;
        for (std::string &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::chdir(folder.c_str()) == 0)
            ::execv(KOV_BATCH_EXE, argv.data());
        ::_exit(127);
    }
    ::close(o[1]);
    ::close(e[1]);
    out = o[0];
    err = e[0];
    return pid;
}

/// Everything left to read from fd, which is then closed.
std::string drain(int fd)
{
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return text;
}

/// The exit status of pid, killed after 60 s (-1 then, or when a signal ended it).
int exitStatus(pid_t pid)
{
    for (int waited = 0; waited < 6000; ++waited) {
        int raw = 0;
        if (::waitpid(pid, &raw, WNOHANG) == pid)
            return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

/// No temporary file of kov-batch anywhere below folder.
void expectNoTemporary(const fs::path &folder)
{
    for (const auto &e : fs::recursive_directory_iterator(folder))
        EXPECT_NE(e.path().filename().string().rfind(".kov-", 0), 0u) << "a temporary file is left: " << e.path();
}

/// A signal sent after a delay, or over and over from the start.
struct StopCase {
    const char *name;
    int signal;
    int afterMs; ///< -1: every 5 ms until the call ends
};

void PrintTo(const StopCase &c, std::ostream *os)
{
    *os << c.name;
}

class StopSignal : public BatchRun, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopSignal, EndsTheCallWithTheRecordsDone)
{
    const StopCase &c = GetParam();
    std::vector<std::string> args = {"-j", "2", "--json", "--summary", "s.csv", "--report", "r.html"};
    constexpr int Records = 400;
    for (int i = 0; i < Records; ++i) {
        args.push_back("r" + std::to_string(i) + ".prn");
        writeAll(dir / args.back(), crossingRecord(8));
    }
    int out = -1, err = -1;
    const pid_t pid = startBatch(dir, args, out, err);
    ASSERT_GT(pid, 0);
    // The first signal only once the handlers are in place: after the first
    // line the call prints.
    char first = 0;
    ASSERT_EQ(::read(out, &first, 1), 1);
    std::atomic<bool> ended{false};
    std::thread sender([&] {
        ::usleep(static_cast<useconds_t>(std::max(c.afterMs, 0)) * 1000);
        do
            ::kill(pid, c.signal);
        while (c.afterMs < 0 && !ended && ::usleep(5000) == 0);
    });
    drain(out);
    const std::string errText = drain(err);
    ended = true;
    sender.join();
    EXPECT_EQ(exitStatus(pid), 128 + c.signal) << errText;
    std::smatch done;
    ASSERT_TRUE(std::regex_search(errText, done, std::regex(R"(kov-batch: \w[\w ]*: (\d+) of 400 records done\n$)")))
        << errText;
    const std::size_t records = std::stoul(done[1]);
    EXPECT_EQ(crlfLines(readAll(dir / "s.csv")).size(), records + 1) << "a summary row for each record done";
    EXPECT_TRUE(readAll(dir / "r.html").ends_with("</body></html>\n")) << "the page of the records done";
    expectNoTemporary(dir);
}

INSTANTIATE_TEST_SUITE_P(Cases, StopSignal, ::testing::Values(
    StopCase{"sigterm_while_records_run", SIGTERM, 30}, StopCase{"sighup_while_records_run", SIGHUP, 30},
    StopCase{"sigint_soon", SIGINT, 0}, StopCase{"sigterm_again_and_again", SIGTERM, -1},
    StopCase{"sigint_again_and_again", SIGINT, -1}),
    [](const ::testing::TestParamInfo<StopCase> &p) { return std::string(p.param.name); });

TEST_F(BatchRun, AClosedStandardOutputStopsTheCall)
{
    std::vector<std::string> args = {"-j", "2", "--json"};
    for (int i = 0; i < 300; ++i) {
        args.push_back("r" + std::to_string(i) + ".prn");
        writeAll(dir / args.back(), crossingRecord(4));
    }
    int out = -1, err = -1;
    const pid_t pid = startBatch(dir, args, out, err);
    ASSERT_GT(pid, 0);
    char first = 0;
    ASSERT_EQ(::read(out, &first, 1), 1);
    ::close(out); // as `kov-batch ... | head -1` does
    const std::string errText = drain(err);
    EXPECT_EQ(exitStatus(pid), 1) << "not ended by SIGPIPE";
    std::smatch done;
    ASSERT_TRUE(std::regex_search(errText, done,
                                  std::regex(R"(^kov-batch: cannot write to standard output: (\d+) of 300 records done\n$)")))
        << errText;
    EXPECT_LT(std::stoul(done[1]), 300u) << "the records after the failed write are not started";
    expectNoTemporary(dir);
}

TEST_F(BatchRun, AFolderMovedMidRunKeepsNoTemporaryAndFailsWith76)
{
    fs::create_directory(dir / "sub");
    std::vector<std::string> args = {"-j", "2", "--json", "--csv"};
    for (int i = 0; i < 400; ++i) {
        args.push_back("sub/r" + std::to_string(i) + ".prn");
        writeAll(dir / args.back(), crossingRecord(6));
    }
    int out = -1, err = -1;
    const pid_t pid = startBatch(dir, args, out, err);
    ASSERT_GT(pid, 0);
    char first = 0;
    ASSERT_EQ(::read(out, &first, 1), 1);
    fs::rename(dir / "sub", dir / "moved");
    drain(out);
    const std::string errText = drain(err);
    EXPECT_EQ(exitStatus(pid), 1);
    EXPECT_FALSE(errText.empty()) << "the records after the move fail";
    std::istringstream lines(errText);
    for (std::string line; std::getline(lines, line);)
        EXPECT_TRUE(line.ends_with("(76)")) << line;
    expectNoTemporary(dir);
}

} // namespace

// ---- Open cycles, corrections from a steps file, --inspect's rows at rest

/// The record of the trailing-cycle case: cycles ending at steps 9 and 17
/// (closed) and 20, the last row (open).
class StepsRun : public BatchRun {
protected:
    void SetUp() override { fs::copy_file(kov::test::dataFolder() / "cases/trailing-cycle/record.prn", dir / "r.prn"); }
    nlohmann::json json() const { return nlohmann::json::parse(readAll(dir / "r-kov.json")); }
};

TEST_F(StepsRun, AnOpenTailIsInTheTotalAndInNoStatistic)
{
    ASSERT_EQ(run({"--json", "--summary", "s.csv", "r.prn"}).status, 0);
    const auto j = json();
    ASSERT_EQ(j["cycles"].size(), 3u);
    EXPECT_EQ(j["cycles"][2]["closed"], false);
    EXPECT_TRUE(j["cycles"][2]["level"].is_null());
    EXPECT_EQ(j["levels"][0]["cycles"], 2); // the primary and its trailing cycle
    const auto row = crlfLines(readAll(dir / "s.csv")).at(1);
    const auto damping = [&](std::size_t n) { return static_cast<double>(j["cycles"][n]["damping"].get<float>()); };
    const double mean = (damping(0) + damping(1)) / 2;
    EXPECT_NE(row.find(",3," + j["cycles"][2]["total_energy"].dump() + "," + nlohmann::json(mean).dump() + ","),
              std::string::npos) << row;
}

TEST_F(StepsRun, ACorrectedEndStepIsWhereTheNextCycleStarts)
{
    writeAll(dir / "steps.csv", "cycle,end_step,peak2_step\r\n1,11,\r\n2,,0\r\n");
    const RunResult r = run({"--json", "--steps", "steps.csv", "r.prn"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = json();
    EXPECT_EQ(j["cycles"][0]["end_step"], 11);
    EXPECT_EQ(j["cycles"][0]["corrected"], nlohmann::json::parse(R"(["end_step"])"));
    EXPECT_EQ(j["cycles"][1]["start_step"], 11);
    EXPECT_EQ(j["cycles"][1]["peak2"]["step"], 0);
    EXPECT_EQ(j["cycles"][1]["corrected"], nlohmann::json::parse(R"(["peak2_step"])"));
    EXPECT_EQ(j["settings"]["steps_file"], (dir / "steps.csv").string());
    EXPECT_EQ(j["settings"]["steps_sha256"].get<std::string>().size(), 64u);
}

TEST_F(StepsRun, TheCsvGivenBackUnchangedChangesNoResult)
{
    ASSERT_EQ(run({"--json", "--csv", "r.prn"}).status, 0);
    const std::string results = withoutLine2(readAll(dir / "r-kov.prn"));
    auto before = json();
    fs::rename(dir / "r-kov.csv", dir / "steps.csv");
    ASSERT_EQ(run({"--json", "--steps", "steps.csv", "r.prn"}).status, 0);
    EXPECT_EQ(withoutLine2(readAll(dir / "r-kov.prn")), results);
    auto after = json();
    for (auto *j : {&before, &after})
        for (const char *key : {"steps_file", "steps_sha256"})
            (*j)["settings"].erase(key);
    EXPECT_EQ(after, before);
    // With %n, a record without its own file has no corrections.
    EXPECT_EQ(run({"--steps", "%n-steps.csv", "r.prn"}).status, 0);
}

struct BadSteps {
    const char *name;
    std::string text; ///< of steps.csv; "" for no file
    std::string line; ///< what kov-batch says of r.prn
};

void PrintTo(const BadSteps &c, std::ostream *os)
{
    *os << c.name;
}

class BadStepsFile : public StepsRun, public ::testing::WithParamInterface<BadSteps> {};

TEST_P(BadStepsFile, FailsTheRecordNamingTheFileLineAndReason)
{
    if (!GetParam().text.empty())
        writeAll(dir / "steps.csv", GetParam().text);
    const RunResult r = run({"--steps", "steps.csv", "r.prn"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "r.prn: " + GetParam().line + "\n");
    EXPECT_FALSE(fs::exists(dir / "r-kov.prn"));
}

INSTANTIATE_TEST_SUITE_P(Cases, BadStepsFile, ::testing::Values(
    BadSteps{"NotAWholeNumber", "cycle,end_step\n1,9.5\n", "steps.csv line 2: end_step '9.5' is not a whole number (13)"},
    BadSteps{"ACycleNotReached", "\xef\xbb\xbf" "cycle,peak1_step\r\n\r\n5,3\r\n",
             "steps.csv line 3: cycle 5: the record has 3 cycles (9)"},
    BadSteps{"OutsideTheRecord", "cycle,end_step\n1,25\n",
             "steps.csv line 2: cycle 1: end_step 25 lies outside the record (steps 1 to 20) (9)"},
    BadSteps{"NotAfterTheStart", "cycle,end_step\n2,9\n",
             "steps.csv line 2: cycle 2: end_step 9 is not after the cycle's start, step 9 (9)"},
    BadSteps{"APeakAfterTheEnd", "\"cycle\",\"peak2_step\"\n1,12\n",
             "steps.csv line 2: cycle 1: peak2_step 12 lies after the cycle's end, step 9 (9)"},
    BadSteps{"ACycleTwice", "cycle,peak1_step\n1,3\n1,2\n",
             "steps.csv line 3: cycle 1 is given twice (first on line 2) (9)"},
    BadSteps{"NoCycleColumn", "end_step\n9\n", "steps.csv line 1: the header names no column 'cycle' (13)"},
    BadSteps{"NoFile", "", "the steps file steps.csv: File not found (53)"}),
    [](const auto &c) { return std::string(c.param.name); });

TEST_F(BatchRun, InspectNamesTheRowsAtRestAndTheOffsetsThatSkipThem)
{
    fs::copy_file(kov::test::dataFolder() / "cases/starts-at-rest/record.prn", dir / "rest.prn");
    const RunResult r = run({"--inspect", "rest.prn"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\n  at rest: rows 1 to 150 stay within 1% of each column's range; to skip them: "
                         "--rows 151: --x-offset -2.7871 --y-offset 0.749\n"),
              std::string::npos) << r.out;
}

// ---- --campaign

TEST_F(BatchRun, ACampaignGivesEachRecordTheFilesItGetsAlone)
{
    // The example campaign, and the options each of its rows stands for.
    const std::vector<std::pair<std::string, std::vector<std::string>>> alone = {
        {"first-try.prn", {}},
        {"synthetic-three-cycles.prn", {"--x-column", "2", "--y-column", "3", "--y-unit", "kN"}},
        {"rc-column-soesianawati1986.prn",
         {"--x-column", "2", "--y-column", "3", "--x-coef", "1000", "--y-unit", "kN", "--height", "1600"}},
        {"ufp-damper-ganey2015.prn", {"--skip-lines", "0", "--y-unit", "kN"}},
        {"slit-damper-chan-albermani.prn", {"--skip-lines", "0", "--y-unit", "kN"}},
    };
    fs::create_directory(dir / "c");
    for (const auto &[record, args] : alone)
        fs::copy_file(kov::test::examplesFolder() / record, dir / "c" / record);
    fs::copy_file(kov::test::examplesFolder() / "campaign.csv", dir / "c/campaign.csv");
    // An empty cell takes the command line's value (the deadband here).
    const RunResult all = run({"-j", "2", "--deadband", "1%", "--json", "--csv", "--summary", "all.csv",
                               "--campaign", "c/campaign.csv", "--compare", "groups.csv", "--reference-group", "damper"});
    ASSERT_EQ(all.status, 0) << all.err;
    // The groups of the rows, the column's peak load over the dampers' (the reference's own ratio empty).
    const auto groups = crlfLines(readAll(dir / "groups.csv"));
    ASSERT_EQ(groups.size(), 4u);
    EXPECT_EQ(groups[2].find("column,1,0,mm,kN,1,199.58999633789062,199.58999633789062,,13.0523"), 0u) << groups[2];
    EXPECT_EQ(groups[3].find("damper,2,0,mm,kN,2,15.291528224945068,15.291528224945068,0.9229781335981734,,"), 0u)
        << groups[3];
    const auto rows = crlfLines(readAll(dir / "all.csv"));
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[4].find((dir / "c/ufp-damper-ganey2015.prn").string() + ",\"UFP damper, Ganey 2015\",damper,ok,"), 0u)
        << rows[4];
    EXPECT_NE(rows[3].find(",RC column,column,ok,548,"), std::string::npos) << rows[3];

    const char *endings[] = {"-kov.prn", "-kov.json", "-kov.csv", "-kov-levels.csv"};
    std::map<std::string, std::string> written;
    for (const auto &[record, args] : alone)
        for (const char *ending : endings) {
            const fs::path file = dir / "c" / (fs::path(record).stem().string() + ending);
            written[file.string()] = withoutLine2(readAll(file));
            fs::remove(file);
        }
    for (const auto &[record, args] : alone) {
        std::vector<std::string> call = {"--deadband", "1%", "--json", "--csv"};
        call.insert(call.end(), args.begin(), args.end());
        call.push_back("c/" + record);
        ASSERT_EQ(run(call).status, 0) << record;
        for (const char *ending : endings) {
            const fs::path file = dir / "c" / (fs::path(record).stem().string() + ending);
            EXPECT_EQ(withoutLine2(readAll(file)), written[file.string()]) << file;
        }
    }
}

struct BadCampaign {
    const char *name;
    std::optional<std::string> text; ///< of c.csv (none: no such file)
    std::vector<std::string> args;
    std::string message; ///< what follows "kov-batch: "
};

void PrintTo(const BadCampaign &c, std::ostream *os)
{
    *os << c.name;
}

class BadCampaignFile : public BatchRun, public ::testing::WithParamInterface<BadCampaign> {};

TEST_P(BadCampaignFile, IsAUsageErrorBeforeAnyRecordIsRead)
{
    writeAll(dir / "a.prn", crossingRecord(3));
    writeAll(dir / "b.prn", crossingRecord(2));
    if (GetParam().text)
        writeAll(dir / "c.csv", *GetParam().text);
    std::vector<std::string> args = GetParam().args;
    args.insert(args.begin(), {"--campaign", "c.csv", "--summary", "s.csv"});
    const RunResult r = run(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "kov-batch: " + GetParam().message + "\n");
    EXPECT_FALSE(fs::exists(dir / "a-kov.prn") || fs::exists(dir / "s.csv"));
}

const std::string campaignAt = "campaign file 'c.csv', line ";

INSTANTIATE_TEST_SUITE_P(Cases, BadCampaignFile, ::testing::Values(
    BadCampaign{"NoFile", std::nullopt, {}, "cannot read the campaign file 'c.csv': No such file or directory"},
    BadCampaign{"AFolder", std::nullopt, {"--campaign", "."}, "cannot read the campaign file '.': Is a directory"},
    BadCampaign{"ADevice", std::nullopt, {"--campaign", "/dev/zero"},
                "cannot read the campaign file '/dev/zero': a device, not a file"},
    BadCampaign{"AnEmptyFile", "", {}, campaignAt + "1: no header line (record, and any of label, group and the "
                                                   "options' columns)"},
    BadCampaign{"ANulByte", std::string("record\na.prn\0\n", 13), {}, campaignAt + "2: a NUL byte (not a text file)"},
    BadCampaign{"NoRecordColumn", "label,group\nA,g\n", {}, campaignAt + "1: no column 'record' in the header"},
    BadCampaign{"AnUnknownColumn", "record,xcoef\na.prn,2\n", {},
                campaignAt + "1, column 2 (xcoef): no such column; the columns are record, label, group, x_column, "
                             "y_column, skip_lines, sheet, decimal_comma, x_coef, y_coef, x_unit, y_unit, "
                             "level_tolerance, height, acceptance_drift, yield_disp, deadband, window_limits, "
                             "window, peak_rule, envelope, steps, rows, x_offset, y_offset"},
    BadCampaign{"SemicolonsForCommas", "record;x_coef\na.prn;2\n", {},
                campaignAt + "1, column 1 (record;x_coef): no such column: the fields of a campaign file are separated "
                             "by commas, not semicolons"},
    BadCampaign{"AColumnTwice", "record,height,height\na.prn,1,2\n", {},
                campaignAt + "1, column 3 (height): a second column of that name (the first is column 2)"},
    BadCampaign{"ABadValue", "\xef\xbb\xbfrecord,x_coef\r\na.prn,1\r\nb.prn,1e39\r\n", {},
                campaignAt + "3, column 2 (x_coef): invalid value '1e39' for option '--x-coef'"},
    BadCampaign{"ABadFlag", "record,decimal_comma\na.prn,maybe\n", {},
                campaignAt + "2, column 2 (decimal_comma): invalid value 'maybe' for option '--decimal-comma' (yes or no)"},
    BadCampaign{"AWindowTurnedOff", "record,window\na.prn,no\n", {},
                campaignAt + "2, column 2 (window): invalid value 'no' for option '--window' (yes, or an empty cell)"},
    BadCampaign{"ARecordMissing", "record\na.prn\nnone.prn\n", {},
                campaignAt + "3, column 1 (record): the record 'none.prn' does not exist"},
    BadCampaign{"NoRecordNamed", "record,label\n,A\n", {}, campaignAt + "2, column 1 (record): no record named"},
    BadCampaign{"TheSameRecordTwice", "record\na.prn\n./a.prn\n", {},
                campaignAt + "3, column 1 (record): the record './a.prn' is named twice (also on line 2)"},
    BadCampaign{"ARecordOfTheCommandLine", "record\nb.prn\n", {"b.prn"},
                campaignAt + "2, column 1 (record): the record 'b.prn' is named twice (also on the command line)"},
    BadCampaign{"NoRow", "record,label\n\n", {}, campaignAt + "1: no record after the header"},
    BadCampaign{"NoHeader", "\n\n", {}, campaignAt + "1: no header line (record, and any of label, group and the "
                                                     "options' columns)"},
    // The quoted line break is a line of the file.
    BadCampaign{"ARaggedRow", "record,label\n\"a.prn\",\"two\nlines\"\nb.prn,x,y\n", {},
                campaignAt + "4: 3 fields where the header has 2"},
    BadCampaign{"AQuoteNeverClosed", "record\na.prn\n\"b.prn\n", {}, campaignAt + "3: a quoted field is never closed"},
    BadCampaign{"AQuoteInAField", "record\na\"b.prn\n", {},
                campaignAt + "2: a quote inside a field that does not start with one"},
    BadCampaign{"AnUnknownReferenceGroup", "record,group\na.prn,B\nb.prn,A\n", {"--reference-group", "C"},
                "no record of the call is in the reference group 'C'; the groups are 'B', 'A'"}),
    [](const auto &c) { return std::string(c.param.name); });

TEST_F(BatchRun, ACampaignsStepsFileIsFoundBesideIt)
{
    fs::create_directory(dir / "sub");
    writeAll(dir / "sub/r.prn", crossingRecord(2));
    writeAll(dir / "sub/c.csv", "record,steps\nr.prn,none.csv\n");
    const RunResult r = run({"--campaign", "sub/c.csv"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sub/r.prn: the steps file sub/none.csv: File not found (53)\n");
}
