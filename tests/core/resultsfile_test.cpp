#include "core/output/atomicfile.h"
#include "core/output/resultsfile.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kov;
namespace fs = std::filesystem;

namespace {

std::tm sampleTime()
{
    std::tm t{};
    t.tm_year = 2007 - 1900;
    t.tm_mon = 4; // May
    t.tm_mday = 3;
    t.tm_hour = 14;
    t.tm_min = 5;
    t.tm_sec = 9;
    return t;
}

/// The one-cycle sample: peaks at steps 12 and 37.
SharedState sampleState()
{
    SharedState s;
    s.DataFileName = "/TEST/SPEC01.prn";
    s.XUnit = "mm";
    s.YUnit = "tonf";
    s.CycleNo = 1;
    s.PeakStep(0, 1) = 12;
    s.PeakStep(1, 1) = 37;
    s.XData(12) = 10.5f;
    s.YData(12) = 2.25f;
    s.XData(37) = -9.876f;
    s.YData(37) = -2.1f;
    s.CycleEnergy(1) = 12.346f;
    s.TotalEnergy(1) = 12.346f;
    s.ResultDamping(1) = 0.1234f;
    return s;
}

using test::readAll;

TEST(ResultsTextTest, SampleFileByteForByte)
{
    SharedState s = sampleState();
    const std::string expected =
        "Absorbed Energy and Equivalent Damping Factor calculated by kov1\r\n"
        "File Name = /TEST/SPEC01.prn, at 05-03-2007, 14:05:09\r\n"
        "     /Peak-1                /Peak-2                /Energy\r\n"
        "Cycle Step        X        Y Step        X        Y     Energy      Total        kov\r\n"
        "               (mm)   (tonf)          (mm)   (tonf)  (tonf*mm)  (tonf*mm)\r\n"
        "    1   12   10.500    2.250   37   -9.876   -2.100 1.2346e+01 1.2346e+01 1.2340e-01\r\n";
    EXPECT_EQ(resultsText(s, sampleTime()), expected);
    EXPECT_EQ(s.XUnit, "  (mm)");
    EXPECT_EQ(s.YUnit, "(tonf)");
}

TEST(ResultsTextTest, UnitLabelsAreRightAlignedOrCut)
{
    struct Units {
        const char *x, *y, *xLabel, *yLabel, *energy;
    };
    for (const Units &u : {Units{"cm", "kN", "  (cm)", "  (kN)", "   (kN*cm)"},
                           Units{"inches", "kips", "nches)", "(kips)", "ps*inches)"},
                           Units{"\u03bc", "kN", "   (\u03bc)", "  (kN)", "    (kN*\u03bc)"},
                           Units{"\u03bcm/m", "", "(\u03bcm/m)", "    ()", "   (*\u03bcm/m)"},
                           // A stray byte is one character.
                           Units{"\xb5m", "\xce", "  (\xb5m)", "   (\xce)", "    (\xce*\xb5m)"}}) {
        SharedState s;
        s.DataFileName = "/a/b.prn";
        s.XUnit = u.x;
        s.YUnit = u.y;
        const std::string text = resultsText(s, sampleTime());
        const std::string line5 = std::string(13, ' ') + u.xLabel + "   " + u.yLabel + std::string(8, ' ') +
                                  u.xLabel + "   " + u.yLabel + " " + u.energy + " " + u.energy + "\r\n";
        EXPECT_NE(text.find("\r\n" + line5), std::string::npos) << u.x;
        EXPECT_EQ(text.size() - text.find(line5), line5.size()) << "no rows for cycle 0";
    }
}

TEST(ResultsTextTest, RowsGrowInsteadOfBeingCut)
{
    SharedState s = sampleState();
    s.XData(12) = 123456.75f;
    s.CycleEnergy(1) = -5.0f;
    s.PeakStep(1, 1) = 0;
    const std::string text = resultsText(s, sampleTime());
    EXPECT_NE(text.find("    1   12 123456.750    2.250    0    0.000    0.000 -5.0000e+00 "), std::string::npos)
        << text;
}

TEST(ResultsTextTest, HundredCyclesAndLargeSteps)
{
    SharedState s = sampleState();
    s.CycleNo = 100;
    s.PeakStep(0, 100) = 2000;
    const std::string text = resultsText(s, sampleTime());
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2)
        ++lines;
    EXPECT_EQ(lines, 105u);
    EXPECT_NE(text.find("\r\n  100 2000 "), std::string::npos);
}

TEST(ResultsFileNameTest, DropsTheLastFourCharacters)
{
    EXPECT_EQ(resultsFileName("/data/run1.prn"), "/data/run1-kov.prn");
    EXPECT_EQ(resultsFileName("/data/run1.txt"), "/data/run1-kov.prn");
    EXPECT_EQ(resultsFileName("/data/run1"), "/data/-kov.prn");
    EXPECT_EQ(resultsFileName("/d/\u03bc\u03bc.prn"), "/d/\u03bc\u03bc-kov.prn");
    EXPECT_EQ(resultsFileName("/d/a\u03bc\u03bc\u03bc\u03bc"), "/d/a-kov.prn");
    // A byte that is not part of a valid UTF-8 character is one character.
    EXPECT_EQ(resultsFileName("n/ab.\xb0\xb0\xb0"), "n/ab-kov.prn");
    EXPECT_EQ(resultsFileName("n/abc\xce\xbc\xce"), "n/a-kov.prn");
    EXPECT_EQ(resultsFileName("n/ab\xe2\x82\xac.\xed\xa0\x80"), "n/ab\xe2\x82\xac-kov.prn") << "an encoded surrogate is three bytes";
    EXPECT_EQ(resultsFileName("/data/run/ab"), "/data/ru-kov.prn") << "a short name reaches into the folder";
    try {
        resultsFileName("abc");
        FAIL();
    } catch (const Failure &f) {
        EXPECT_EQ(f.number(), 52);
    }
}

class WriteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        state = sampleState();
        state.DataFileName = (dir / "run1.prn").string();
    }

    int writeError()
    {
        return test::failureNumber([&] { WriteResultsFile(state); });
    }

    test::ScratchFolder scratch;
    const fs::path dir = scratch.path();
    SharedState state;
};

TEST_F(WriteTest, ReplacesAnExistingFileWhole)
{
    std::ofstream(dir / "run1-kov.prn") << std::string(5000, '#');
    EXPECT_EQ(WriteResultsFile(state), (dir / "run1-kov.prn").string());
    const std::string text = readAll(dir / "run1-kov.prn");
    EXPECT_EQ(text.substr(0, 10), "Absorbed E");
    EXPECT_EQ(text.find('#'), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
    int files = 0;
    for ([[maybe_unused]] const auto &e : fs::directory_iterator(dir))
        ++files;
    EXPECT_EQ(files, 1) << "no temporary file is left behind";
}

TEST_F(WriteTest, FailuresNameTheFileAndKeepEarlierResults)
{
    state.DataFileName = (dir / "missing" / "run1.prn").string();
    EXPECT_EQ(writeError(), 76);
    std::ofstream(dir / "plain") << "x";
    state.DataFileName = (dir / "plain" / "run1.prn").string();
    EXPECT_EQ(writeError(), 76);
    state.DataFileName = "/ab";
    EXPECT_EQ(writeError(), 52) << "the name is derived from the absolute path";

    state.DataFileName = (dir / "run1.prn").string();
    state.PeakStep(0, 1) = 2001;
    EXPECT_EQ(writeError(), 9);
    state.PeakStep(0, 1) = 12;

    try {
        state.DataFileName = (dir / "missing" / "run1.prn").string();
        WriteResultsFile(state);
    } catch (const Failure &f) {
        EXPECT_NE(std::string(f.what()).find((dir / "missing" / "run1-kov.prn").string()), std::string::npos);
    }
}

TEST_F(WriteTest, FullDiskLeavesTheOldFileIntact)
{
    const std::string old = "earlier results\r\n";
    std::ofstream(dir / "run1-kov.prn", std::ios::binary) << old;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(writeError());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 61);
    EXPECT_EQ(readAll(dir / "run1-kov.prn"), old);
    int files = 0;
    for ([[maybe_unused]] const auto &e : fs::directory_iterator(dir))
        ++files;
    EXPECT_EQ(files, 1);
}

/// The target's state before and after one atomic write of "new", alone
/// and published with a group (the way kov-batch writes).
struct AtomicCase {
    const char *name;
    void (*prepare)(const fs::path &dir, const fs::path &target);
    int error;            ///< 0 when the write succeeds
    const char *expected; ///< the target's bytes afterwards
    bool needsNonRoot;    ///< root may write any file, so the case cannot show
    /// Done between the write and the group's publishing (grouped only).
    void (*meanwhile)(const fs::path &target) = nullptr;
};

class AtomicWriteTest : public WriteTest, public ::testing::WithParamInterface<AtomicCase> {};

TEST_P(AtomicWriteTest, TargetStates)
{
    const AtomicCase &c = GetParam();
    if (c.needsNonRoot && ::geteuid() == 0)
        GTEST_SKIP() << "running as root";
    const fs::path target = dir / "out.txt";
    for (const bool grouped : {false, true}) {
        if (!grouped && c.meanwhile)
            continue;
        SCOPED_TRACE(grouped ? "grouped" : "alone");
        fs::remove_all(dir);
        fs::create_directory(dir);
        c.prepare(dir, target);
        int error = 0;
        const auto openDescriptors = [] {
            return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
        };
        const auto openBefore = openDescriptors();
        try {
            if (grouped) {
                Publisher publisher;
                PendingFile file = publisher.write(target.string(), "new");
                if (c.meanwhile)
                    c.meanwhile(target);
                error = publisher.publish({&file}).front();
                publisher.syncFolders();
                // The temporary file and a replaced one are closed once published.
                EXPECT_EQ(openDescriptors(), openBefore);
            } else {
                writeFileAtomically(target.string(), "new");
            }
        } catch (const Failure &f) {
            error = f.number();
            EXPECT_NE(std::string(f.what()).find(target.string()), std::string::npos);
        }
        EXPECT_EQ(error, c.error);
        if (c.expected) {
            EXPECT_EQ(readAll(target), c.expected);
        }
        EXPECT_EQ(readAll(dir / "elsewhere"), "kept") << "a file the target points to stays untouched";
        for (const auto &e : fs::directory_iterator(dir))
            EXPECT_EQ(e.path().filename().string().rfind(".kov-", 0), std::string::npos) << "temporary left behind";
    }
}

void makeElsewhere(const fs::path &dir) { std::ofstream(dir / "elsewhere") << "kept"; }

INSTANTIATE_TEST_SUITE_P(
    Cases, AtomicWriteTest,
    ::testing::Values(
        AtomicCase{"new", [](const fs::path &d, const fs::path &) { makeElsewhere(d); }, 0, "new", false},
        AtomicCase{"earlierFileIsReplaced",
                   [](const fs::path &d, const fs::path &to) {
                       makeElsewhere(d);
                       std::ofstream(to) << "old";
                   },
                   0, "new", false},
        AtomicCase{"symlinkIsReplacedNotFollowed",
                   [](const fs::path &d, const fs::path &to) {
                       makeElsewhere(d);
                       fs::create_symlink(d / "elsewhere", to);
                   },
                   0, "new", false},
        AtomicCase{"readOnlyTargetIsKept",
                   [](const fs::path &d, const fs::path &to) {
                       makeElsewhere(d);
                       std::ofstream(to) << "old";
                       fs::permissions(to, fs::perms::owner_read);
                   },
                   70, "old", true},
        AtomicCase{"fifoIsRefusedWithoutBlocking",
                   [](const fs::path &d, const fs::path &to) {
                       makeElsewhere(d);
                       ::mkfifo(to.c_str(), 0600);
                   },
                   75, nullptr, false},
        AtomicCase{"folderAtTheName",
                   [](const fs::path &d, const fs::path &to) {
                       makeElsewhere(d);
                       fs::create_directory(to);
                   },
                   70, nullptr, false},
        AtomicCase{"folderMadeBeforeTheRename", [](const fs::path &d, const fs::path &) { makeElsewhere(d); }, 70,
                   nullptr, false, [](const fs::path &to) { fs::create_directory(to); }}),
    [](const ::testing::TestParamInfo<AtomicCase> &p) { return std::string(p.param.name); });

TEST_F(WriteTest, PiecesCopiedFromAScratchFileOnAnyDisk)
{
    // On the target's disk the kernel copies; from another (/dev/shm, a
    // tmpfs) the bytes go through a buffer.
    std::string bytes;
    for (int i = 0; bytes.size() < 200000; ++i)
        bytes += std::to_string(i) + ' ';
    for (const fs::path &folder : {dir, fs::path("/dev/shm")}) {
        const int fd = openScratchFile(folder.string());
        ASSERT_GE(fd, 0) << folder;
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        AtomicFile file((dir / "out.txt").string());
        file.write("<");
        file.copyFrom(fd, 7, bytes.size() - 12);
        file.write(">");
        file.commit();
        ::close(fd);
        EXPECT_EQ(readAll(dir / "out.txt"), "<" + bytes.substr(7, bytes.size() - 12) + ">") << folder;
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << "no scratch file has a name";
    }
}

TEST_F(WriteTest, AFileAbandonedBeforeItsCommitLeavesTheEarlierOne)
{
    std::ofstream(dir / "out.txt") << "old";
    {
        AtomicFile file((dir / "out.txt").string());
        file.write("new, half");
    }
    EXPECT_EQ(readAll(dir / "out.txt"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1) << "temporary left behind";
}

TEST_F(WriteTest, KeepsTheModeOfAReplacedFileAndTheUmaskForANewOne)
{
    const fs::path kept = dir / "kept.txt";
    std::ofstream(kept) << "old";
    ::chmod(kept.c_str(), 0640);
    writeFileAtomically(kept.string(), "new");
    struct stat st {};
    ::stat(kept.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    const mode_t mask = ::umask(027);
    // A name of 251 bytes: the longest whose results name is still legal.
    const fs::path fresh = dir / (std::string(247, 'n') + ".txt");
    writeFileAtomically(fresh.string(), "new");
    ::umask(mask);
    ::stat(fresh.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

} // namespace
