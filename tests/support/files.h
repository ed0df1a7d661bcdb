#pragma once

// Helpers every test may use: files, scratch folders, records, whole runs of
// kov-batch, failure numbers. No Qt.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kov::test {

/// The bytes of a file (empty when it cannot be read).
std::string readAll(const std::filesystem::path &path);

/// Writes bytes to a file, replacing it.
void writeAll(const std::filesystem::path &path, std::string_view bytes);

/// The text without its second line (the record's path and the date and
/// time of writing, in a results file).
std::string withoutLine2(const std::string &text);

/// The lines of a CR LF text; an unterminated tail comes out as a last line
/// of its own.
std::vector<std::string> crlfLines(const std::string &text);

/// A record of headerLines header lines ("h1"...) and 2 x crossings + 1 rows
/// "x y" whose loads alternate -1, +1 from -1: every second row after the
/// first is an upward zero crossing, so the record has `crossings` cycles.
/// x is the row number i (from 0), with alternating sign when swing is set
/// (0, 1, -2, 3...), so that the loops enclose an area.
std::string crossingRecord(int crossings, int headerLines = 5, bool swing = true);

/// The error number of the Failure that body throws, 0 when it throws none.
int failureNumber(const std::function<void()> &body);

/// A fresh folder below /tmp, removed with everything in it (permissions
/// given back first) when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    const std::filesystem::path &path() const { return m_path; }
    std::filesystem::path operator/(const std::string &name) const { return m_path / name; }

    /// Every entry of the folder by name, sorted.
    std::vector<std::string> names() const;

private:
    std::filesystem::path m_path;
};

/// What a run of kov-batch gave.
struct BatchRun {
    int status = -1; ///< exit status; -1 when it did not end by itself
    std::string out;
    std::string err;
};

/// Runs the kov-batch of this build in folder with args, collecting its
/// standard output and error through pipes. diskFull sets a file-size limit
/// of 0, so that every write to a file fails as on a full disk. A run that
/// has not ended after 60 s is killed (status -1): a hang fails the test,
/// not the suite. limits: sh commands ("ulimit -v 200000"), run
/// before kov-batch starts (they bind root too, unlike a process limit).
BatchRun runBatch(const std::filesystem::path &folder, const std::vector<std::string> &args, bool diskFull = false,
                  int openFiles = 0, const std::string &limits = "");

/// The test data folder (tests/data) and the examples folder.
std::filesystem::path dataFolder();
std::filesystem::path examplesFolder();

} // namespace kov::test
