// Results files on real failing file systems: a read-only folder and a full
// disk, each on its own small tmpfs mounted in a private mount namespace of a
// child process, so nothing leaks into the machine's mounts. Where mounting
// is not allowed (no root, no namespaces) the cases are skipped.
//
// In every case the earlier results file must stay byte for byte, no
// temporary file may be left behind, and the failure must carry the number
// the user is told.

#include "core/output/resultsfile.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int CannotMount = 200;

/// A state with `cycles` analysed cycles, whose results text is long enough
/// to fill a few pages of a small file system.
kov::SharedState stateWithCycles(const fs::path &record, int cycles)
{
    kov::SharedState s;
    s.DataFileName = record.string();
    s.XUnit = "mm";
    s.YUnit = "tonf";
    s.CycleNo = static_cast<std::int16_t>(cycles);
    for (int n = 1; n <= cycles; ++n) {
        s.PeakStep(0, n) = static_cast<std::int16_t>(2 * n);
        s.PeakStep(1, n) = static_cast<std::int16_t>(2 * n + 1);
        s.CycleEnergy(n) = 1.5f * static_cast<float>(n);
        s.TotalEnergy(n) = 0.75f * static_cast<float>(n * (n + 1));
        s.ResultDamping(n) = 0.1f;
    }
    return s;
}

using kov::test::readAll;

int entries(const fs::path &dir)
{
    int n = 0;
    for ([[maybe_unused]] const auto &e : fs::directory_iterator(dir))
        ++n;
    return n;
}

/// Runs body in a child with a private mount namespace and a tmpfs of
/// sizeKb mounted at dir; returns the child's exit status (CannotMount when
/// the mount is refused here).
int inTmpfs(const fs::path &dir, int sizeKb, const std::function<int()> &body)
{
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            ::_exit(CannotMount);
        const std::string options = "size=" + std::to_string(sizeKb) + "k,mode=0755";
        if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, options.c_str()) != 0)
            ::_exit(CannotMount);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

/// The child's verdict, as an exit status: 0 when the write failed with
/// `expected` and left the old file whole and no other file behind.
int checkFailedWrite(kov::SharedState &state, const fs::path &target, const std::string &old,
                     int expected)
{
    try {
        kov::WriteResultsFile(state);
        return 1; // a failure reported as success
    } catch (const kov::Failure &f) {
        if (f.number() != expected)
            return 2;
        if (std::string(f.what()).find(target.string()) == std::string::npos)
            return 3; // the message must name the results file
    }
    if (readAll(target) != old)
        return 4;
    return 0;
}

class ResultsFailureTest : public ::testing::Test {
protected:
    /// Runs body in a child, on a tmpfs of sizeKb at m_dir that holds an
    /// earlier results file, target; body returns the verdict (0 or one of
    /// the numbers below). Skipped where mounting is not allowed.
    void expectInTmpfs(int sizeKb, const std::function<int(const fs::path &target)> &body)
    {
        const int status = inTmpfs(m_dir, sizeKb, [&]() {
            const fs::path target = m_dir / "run1-kov.prn";
            std::ofstream(target, std::ios::binary) << m_old;
            return body(target);
        });
        if (status == CannotMount)
            GTEST_SKIP() << "tmpfs mounts are not allowed here";
        EXPECT_EQ(status, 0) << "1 success reported, 2 wrong number, 3 file not named, "
                                "4 old file changed, 5 stray file left, 6/7 retry failed";
    }

    kov::test::ScratchFolder m_scratch;
    const fs::path m_dir = m_scratch.path();
    const std::string m_old = "results of an earlier run\r\n";
};

TEST_F(ResultsFailureTest, ReadOnlyFolderKeepsTheOldFile)
{
    expectInTmpfs(64, [&](const fs::path &target) {
        if (::mount("tmpfs", m_dir.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0)
            return CannotMount;
        kov::SharedState state = stateWithCycles(m_dir / "run1.prn", 3);
        const int verdict = checkFailedWrite(state, target, m_old, 70);
        return verdict == 0 && entries(m_dir) != 1 ? 5 : verdict;
    });
}

TEST_F(ResultsFailureTest, FullDiskKeepsTheOldFile)
{
    expectInTmpfs(16, [&](const fs::path &target) {
        // Fill what is left of the disk, then give back less than the
        // results text needs.
        {
            std::ofstream filler(m_dir / "filler", std::ios::binary);
            const std::string page(4096, 'f');
            while (filler.write(page.data(), static_cast<std::streamsize>(page.size())))
                filler.flush();
        }
        fs::resize_file(m_dir / "filler", fs::file_size(m_dir / "filler") - 4096);
        kov::SharedState state = stateWithCycles(m_dir / "run1.prn", 100);
        const int verdict = checkFailedWrite(state, target, m_old, 61);
        if (verdict == 0 && entries(m_dir) != 2)
            return 5;
        // With the room back the same write succeeds and replaces the file.
        fs::remove(m_dir / "filler");
        if (kov::test::failureNumber([&] { kov::WriteResultsFile(state); }) != 0)
            return 6;
        if (readAll(target).find("  100 ") == std::string::npos || entries(m_dir) != 1)
            return 7;
        return verdict;
    });
}

TEST_F(ResultsFailureTest, FolderRemovedBeforeWriting)
{
    // The record's folder goes away after the record was chosen and read.
    const fs::path folder = m_dir / "tests";
    fs::create_directories(folder);
    kov::SharedState state = stateWithCycles(folder / "run1.prn", 2);
    fs::remove_all(folder);
    try {
        kov::WriteResultsFile(state);
        ADD_FAILURE() << "writing into a removed folder reported success";
    } catch (const kov::Failure &f) {
        EXPECT_EQ(f.number(), 76);
        EXPECT_NE(std::string(f.what()).find((folder / "run1-kov.prn").string()), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(folder));
}

} // namespace
