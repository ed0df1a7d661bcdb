// The one-pass reader against the three-pass reference on generated records:
// every result, every error and the state left behind must agree.

#include "tests/core/differential.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <unistd.h>

namespace fs = std::filesystem;
using kov::reference::LoadSettings;

namespace {

/// Random records from the pieces the field grammar cares about.
class RecordMaker {
public:
    explicit RecordMaker(unsigned seed) : m_random(seed) {}

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }

    std::string field()
    {
        static const char *const pieces[] = {"1", "-2.5", "3e1", ".5", "5.", "1.5D3", "1e39", "1e400", "abc",
                                             "12abc", "1e", "+7", "0", "-0", "65504", "1e-50", "\f1", "\xEF\xBB\xBF" "1"};
        if (pick(0, 9) == 0)
            return "";
        if (pick(0, 3) == 0)
            return std::to_string(pick(-99999, 99999)) + "." + std::to_string(pick(0, 999));
        if (pick(0, 15) == 0) // longer than a block of the sweep
            return pick(0, 1) ? "2." + std::string(static_cast<std::size_t>(pick(60, 140)), '0')
                              : std::string(static_cast<std::size_t>(pick(60, 140)), 'h') + "2";
        return pieces[pick(0, sizeof pieces / sizeof pieces[0] - 1)];
    }
    std::string separator()
    {
        static const char *const pieces[] = {" ", "  ", "\t", ",", " , ", ",,", " \t "};
        return pieces[pick(0, sizeof pieces / sizeof pieces[0] - 1)];
    }
    std::string lineEnd()
    {
        static const char *const pieces[] = {"\r\n", "\n", "\r", " \r\n", ",\n", "\n\n"};
        return pieces[pick(0, pick(0, 5) == 0 ? 5 : 1)];
    }
    std::string tail()
    {
        static const char *const pieces[] = {"", "", "", " ", "\t", ", ", "\r", "\n"};
        return pieces[pick(0, sizeof pieces / sizeof pieces[0] - 1)];
    }

    /// lines lines of about columns fields each (some rows one more or less).
    std::string record(int lines, int columns, bool irregular)
    {
        std::string text;
        for (int l = 0; l < lines; ++l) {
            int n = columns;
            if (irregular && pick(0, 4) == 0)
                n += pick(-1, 1);
            for (int f = 0; f < n; ++f) {
                if (f > 0)
                    text += separator();
                text += field();
            }
            if (l + 1 < lines || pick(0, 1) == 0)
                text += lineEnd();
        }
        return text + tail();
    }

    LoadSettings settings(int columns)
    {
        static const float coefs[] = {1.0f, -1.0f, 1000.0f, 0.001f, 1e30f, 0.0f, 3.4e38f};
        LoadSettings s;
        s.skipLines = static_cast<std::int16_t>(pick(0, 3) == 0 ? pick(0, 4) : 0);
        s.xColumn = static_cast<std::int16_t>(pick(-1, columns + 1));
        s.yColumn = static_cast<std::int16_t>(pick(0, 3) == 0 ? s.xColumn : pick(-1, columns + 1));
        s.xCoef = coefs[pick(0, 6)];
        s.yCoef = coefs[pick(0, 6)];
        if (pick(0, 4) == 0) {
            s.stale = true;
            s.rowCount = static_cast<float>(pick(-1, 2100));
            s.columnCount = static_cast<std::int16_t>(pick(-1, columns + 2));
        }
        return s;
    }

private:
    std::mt19937 m_random;
};

class ReaderDifferential : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_path = fs::temp_directory_path() / ("kov-reader-diff-" + std::to_string(::getpid()) + ".prn");
    }
    void TearDown() override { fs::remove(m_path); }

    void check(const std::string &bytes, const LoadSettings &s)
    {
        // A new file each time: truncating one on ext4 waits for its blocks.
        fs::remove(m_path);
        std::ofstream(m_path, std::ios::binary) << bytes;
        const std::string diff = kov::reference::compareReaders(m_path.string(), s);
        ASSERT_TRUE(diff.empty()) << diff << "\nskip " << s.skipLines << " x " << s.xColumn << " y " << s.yColumn
                                  << " coefs " << s.xCoef << "," << s.yCoef << " stale " << s.stale << " "
                                  << s.rowCount << "x" << s.columnCount << "\nrecord (" << bytes.size()
                                  << " bytes): " << ::testing::PrintToString(bytes.substr(0, 300));
    }

    fs::path m_path;
};

TEST_F(ReaderDifferential, SmallRecords)
{
    RecordMaker make(16);
    for (int k = 0; k < 3000; ++k) {
        const int columns = make.pick(1, 5);
        const std::string bytes = make.record(make.pick(0, 12), columns, make.pick(0, 2) == 0);
        check(bytes, make.settings(columns));
        if (HasFatalFailure())
            return;
    }
}

TEST_F(ReaderDifferential, RecordsAroundTwoThousandRows)
{
    RecordMaker make(2001);
    for (int k = 0; k < 60; ++k) {
        const int columns = make.pick(1, 4);
        std::string bytes;
        const int lines = make.pick(1995, 2003);
        for (int l = 0; l < lines; ++l)
            bytes += std::to_string(l) + (columns > 1 ? " 2.5" : "") + (columns > 2 ? ",-3" : "") +
                     (columns > 3 ? " x" : "") + (make.pick(0, 300) == 0 ? " 9" : "") + "\r\n";
        check(bytes + make.tail(), make.settings(columns));
        if (HasFatalFailure())
            return;
    }
}

TEST_F(ReaderDifferential, LongRecordsAcrossBlocksOfRows)
{
    // Rows are stored a block of 8192 at a time; a field that is not a
    // number, overflows or is missing in a later block must fail there.
    RecordMaker make(8192);
    for (const int rows : {8191, 8192, 8193, 16385, 30000}) {
        for (const char *bad : {"", "x", "1e39", "end"}) {
            const int columns = make.pick(2, 6);
            const int at = make.pick(rows / 2, rows - 1);
            std::string bytes;
            for (int l = 0; l < rows; ++l) {
                for (int f = 0; f < columns; ++f) {
                    const bool here = l == at && f == 1 && *bad != '\0';
                    bytes += here ? (std::string(bad) == "end" ? std::string() : std::string(bad))
                                  : std::to_string(l % 97) + "." + std::to_string(f);
                    bytes += f + 1 < columns ? (l % 3 == 0 ? "\t" : " ") : "";
                    if (here && std::string(bad) == "end")
                        break;
                }
                bytes += "\r\n";
            }
            LoadSettings s = make.settings(columns);
            s.stale = false;
            s.xColumn = 2;
            s.yColumn = static_cast<std::int16_t>(make.pick(1, columns));
            s.limits = kov::RecordLimits;
            check(bytes, s);
            if (HasFatalFailure())
                return;
        }
    }
}

TEST_F(ReaderDifferential, LineEndsAndFieldsAcrossTheReadBuffer)
{
    // Records just over 64 KiB whose first line (a header line or a row) is
    // padded so that its line end, a field or a blank run straddles the end
    // of the first read.
    RecordMaker make(65536);
    for (int end = 65530; end <= 65537; ++end)
        for (const char *lineEnd : {"\r\n", "\n", "\r"})
            for (const bool blanks : {false, true})
                for (std::int16_t skip = 0; skip <= 1; ++skip) {
                    const std::size_t pad = static_cast<std::size_t>(end - 2);
                    std::string bytes = blanks ? "1" + std::string(pad - 1, ' ') + "2" : "1 " + std::string(pad, '7');
                    bytes += lineEnd + make.record(make.pick(1, 4), 2, false);
                    LoadSettings s = make.settings(2);
                    s.skipLines = skip;
                    check(bytes, s);
                    if (HasFatalFailure())
                        return;
                }
}

} // namespace
