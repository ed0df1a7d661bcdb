#include "core/reader/recorddigest.h"
#include "core/reader/testrecord.h"
#include "tests/support/files.h"

#include <gtest/gtest.h>
#include <nettle/sha2.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

using namespace kov;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

class ReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.XColumn = 1;
        state.YColumn = 2;
        state.XCoef = 1.0f;
        state.YCoef = 1.0f;
    }

    std::string write(const std::string &name, const std::string &bytes)
    {
        const fs::path p = m_dir / name;
        test::writeAll(p, bytes);
        return p.string();
    }

    /// Loads the bytes as a record and returns the error number (0 on success).
    int load(const std::string &bytes, std::int16_t skip = 0)
    {
        state.DataFileName = write("record.prn", bytes);
        state.SkipLines = skip;
        state.DataLoaded = 0;
        return loadAgain();
    }
    int loadAgain()
    {
        return test::failureNumber([&] { LoadTestRecord(state); });
    }

    test::ScratchFolder m_scratch;
    const fs::path m_dir = m_scratch.path();
    SharedState state;
};

TEST_F(ReaderTest, CountsRowsAndColumnsWithOrWithoutFinalLineEnd)
{
    for (const char *bytes : {"1 2 3\r\n4 5 6\r\n7 8 9\r\n", "1 2 3\r\n4 5 6\r\n7 8 9",
                              "1,2,3\n4,5,6\n7,8,9\n", "1 2 3\r4 5 6\r7 8 9\r",
                              "  1  ,2\t3\n4\t5 6 \n7 , 8 ,9\n"}) {
        ASSERT_EQ(load(bytes), 0) << bytes;
        EXPECT_EQ(state.RowCount, 3.0f) << bytes;
        EXPECT_EQ(state.ColumnCount, 3) << bytes;
        EXPECT_EQ(state.DataLoaded, 1);
        EXPECT_EQ(state.XData(3), 7.0f) << bytes;
        EXPECT_EQ(state.YData(3), 8.0f) << bytes;
        EXPECT_EQ(state.MaxAbsX, 7.0f);
        EXPECT_EQ(state.MaxAbsY, 8.0f);
    }
}

TEST_F(ReaderTest, SkipsHeaderLinesWithAnyText)
{
    ASSERT_EQ(load("title\xff" "\0 text\r\n\r\nstep x y\r\n1 -2.5 3e1\r\n2 4 .5\r\n"s, 3), 0);
    state.XColumn = 2;
    state.YColumn = 3;
    state.DataLoaded = 1;
    ASSERT_EQ(loadAgain(), 0);
    EXPECT_EQ(state.XData(1), -2.5f);
    EXPECT_EQ(state.YData(1), 30.0f);
    EXPECT_EQ(state.YData(2), 0.5f);
    EXPECT_EQ(state.MaxAbsX, 4.0f);
}

TEST_F(ReaderTest, GroupsFieldsAcrossLineEnds)
{
    // 10 fields in 4 rows: two per row, read two at a time whatever the lines hold.
    ASSERT_EQ(load("1 2\n3 4 5\n6 7\n8 9 10\n"), 0);
    EXPECT_EQ(state.ColumnCount, 2);
    EXPECT_EQ(state.RowCount, 4.0f);
    EXPECT_EQ(state.XData(2), 3.0f);
    EXPECT_EQ(state.YData(2), 4.0f);
    EXPECT_EQ(state.XData(3), 5.0f);
    EXPECT_EQ(state.YData(3), 6.0f);
    EXPECT_EQ(state.XData(4), 7.0f);
    // 14 fields in 4 rows round to 4 per row: the value pass then runs out.
    EXPECT_EQ(load("1 2 3\n4 5 6 7\n8 9 10\n11 12 13 14\n"), 62);
    EXPECT_EQ(state.ColumnCount, 4);
    EXPECT_EQ(state.DataLoaded, 1);
}

TEST_F(ReaderTest, ColumnChoiceAndCoefficients)
{
    state.XData(1) = 111.0f;
    state.XColumn = 3; // beyond ColumnCount: X stays as it was
    state.YColumn = 2;
    ASSERT_EQ(load("1 2\n"), 0);
    EXPECT_EQ(state.XData(1), 111.0f);
    EXPECT_EQ(state.YData(1), 2.0f);

    state.XColumn = 2;
    state.YColumn = 2;
    state.XCoef = 1000.0f;
    state.YCoef = -0.5f;
    ASSERT_EQ(load("1 0.1\n"), 0);
    EXPECT_EQ(state.XData(1), static_cast<float>(0.1 * 1000.0));
    EXPECT_EQ(state.YData(1), -0.05f);
}

TEST_F(ReaderTest, ReusesCountsWhileLoaded)
{
    ASSERT_EQ(load("1 2 3\n4 5 6\n"), 0);
    // The file grows, but with DataLoaded 1 only the value pass runs.
    write("record.prn", "1 2 3\n4 5 6\n7 8 9\n");
    state.XColumn = 3;
    ASSERT_EQ(loadAgain(), 0);
    EXPECT_EQ(state.RowCount, 2.0f);
    EXPECT_EQ(state.XData(2), 6.0f);
    EXPECT_EQ(state.XData(3), 0.0f);
}

TEST_F(ReaderTest, TwoThousandRowsLoadAndOneMoreFails)
{
    std::string rows;
    for (int i = 1; i <= 2000; ++i)
        rows += std::to_string(i) + " " + std::to_string(-i) + "\r\n";
    ASSERT_EQ(load(rows), 0);
    EXPECT_EQ(state.RowCount, 2000.0f);
    EXPECT_EQ(state.XData(2000), 2000.0f);
    EXPECT_EQ(load(rows + "1 1\r\n"), 9);
    EXPECT_EQ(state.XData(2000), 2000.0f) << "rows before the failure stay stored";
    // In row 2001 the first chosen field ends the load: its own error, or
    // else error 9 when it is stored.
    EXPECT_EQ(load(rows + "1 abc 1\r\n"), 9);
    EXPECT_EQ(load(rows + "abc 1\r\n"), 13);
}

struct ErrorCase {
    const char *name;
    const char *bytes;
    std::int16_t skip;
    int number;
};

class ReaderErrors : public ReaderTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ReaderErrors, ReportTheErrorNumber)
{
    EXPECT_EQ(load(GetParam().bytes, GetParam().skip), GetParam().number) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Cases, ReaderErrors, ::testing::Values(
    ErrorCase{"empty", "", 0, 62},
    ErrorCase{"only header", "a\r\nb\r\n", 2, 62},
    ErrorCase{"header longer than file", "a\r\n", 5, 62},
    ErrorCase{"text in X", "1 2\nabc 3\n", 0, 13},
    ErrorCase{"trailing garbage", "1 2\n12abc 3\n", 0, 13},
    ErrorCase{"incomplete exponent", "1e 2\n", 0, 13},
    ErrorCase{"infinity text", "inf 2\n", 0, 13},
    ErrorCase{"hex text", "&H10 2\n", 0, 13},
    ErrorCase{"empty field", "1,,2\n3,4,5\n", 0, 13},
    ErrorCase{"blank line", "1 2\n\n3 4\n", 0, 13},
    ErrorCase{"overflow", "1e39 2\n", 0, 6},
    ErrorCase{"double overflow", "1e400 2\n", 0, 6},
    ErrorCase{"binary", "\x01\x02\x00\xff\xfe 2\n", 0, 13},
    ErrorCase{"blanks after the last line end", "0 -1\r\n1 2\r\n-1 -2\r\n2 1\r\n  ", 0, 62},
    ErrorCase{"a tab after the last line end", "0 -1\n1 2\n\t", 0, 62},
    ErrorCase{"comma and blank at the end", "0 -1\r\n1 2\r\n-1 -2\r\n2 1, ", 0, 62}));

TEST_F(ReaderTest, AcceptsNumberForms)
{
    ASSERT_EQ(load(".5 5.\n+1.5D3 -2E-1\n1e-50 0\n"), 0);
    EXPECT_EQ(state.XData(1), 0.5f);
    EXPECT_EQ(state.YData(1), 5.0f);
    EXPECT_EQ(state.XData(2), 1500.0f);
    EXPECT_EQ(state.YData(2), -0.2f);
    EXPECT_EQ(state.XData(3), 0.0f) << "underflow is no error";
}

TEST_F(ReaderTest, OpenFailures)
{
    auto openError = [&](const std::string &path) {
        state.DataFileName = path;
        state.DataLoaded = 0;
        return loadAgain();
    };
    EXPECT_EQ(openError((m_dir / "missing.prn").string()), 53);
    EXPECT_EQ(openError((m_dir / "no-folder" / "x.prn").string()), 76);
    const std::string file = write("plain.prn", "1 2\n");
    EXPECT_EQ(openError(file + "/x.prn"), 76);
    EXPECT_EQ(openError(m_dir.string()), 70);
    EXPECT_EQ(openError(m_dir.string() + "/"), 70);
    EXPECT_EQ(openError(""), 52);
    EXPECT_EQ(openError(file + "\0.txt"s), 52) << "a NUL must not cut the name short";
    if (::geteuid() != 0) {
        ::chmod(file.c_str(), 0);
        EXPECT_EQ(openError(file), 70);
    }
}

TEST_F(ReaderTest, LongLinesAndFieldsStayBounded)
{
    // A 10 MB line of digits is one field and a number, far beyond the
    // float range; 1. and 10 MB of zeros is 1.
    std::string big(10 * 1024 * 1024, '7');
    EXPECT_EQ(load(big + " 1\n"), 6);
    ASSERT_EQ(load("1." + std::string(10 * 1024 * 1024, '0') + " 1\n"), 0);
    EXPECT_EQ(state.XData(1), 1.0f);
    EXPECT_EQ(state.ColumnCount, 2);
    // The same line in a column that is not chosen is only skipped.
    state.XColumn = 2;
    state.YColumn = 2;
    state.DataLoaded = 1;
    EXPECT_EQ(loadAgain(), 0);
    EXPECT_EQ(state.XData(1), 1.0f);
}

TEST_F(ReaderTest, FailureKeepsWhatWasStored)
{
    for (int i = 1; i <= 4; ++i) {
        state.XData(i) = -1.0f;
        state.YData(i) = -1.0f;
    }
    // Row 3 has a good X and a bad Y: rows 1 and 2 and the X of row 3 are new.
    EXPECT_EQ(load("1 10\n2 20\n3 bad\n4 40\n"), 13);
    EXPECT_EQ(state.XData(2), 2.0f);
    EXPECT_EQ(state.YData(2), 20.0f);
    EXPECT_EQ(state.XData(3), 3.0f);
    EXPECT_EQ(state.YData(3), -1.0f);
    EXPECT_EQ(state.XData(4), -1.0f);
    EXPECT_EQ(state.RowCount, 4.0f);
    EXPECT_EQ(state.DataLoaded, 1) << "the counts stay after a value pass failure";

    // An overflowing product in row 2 stops the load the same way.
    state.XCoef = 1e30f;
    state.DataLoaded = 1;
    write("record.prn", "1 10\n1e10 20\n");
    state.RowCount = 2.0f;
    EXPECT_EQ(loadAgain(), 6);
    EXPECT_EQ(state.XData(1), 1e30f);
    EXPECT_EQ(state.YData(1), 10.0f);
}

TEST_F(ReaderTest, RowBeyondTheArrays)
{
    std::string rows;
    for (int i = 1; i <= 2000; ++i)
        rows += "1 2\n";
    // No column matches: the maxima still look at step 2001.
    state.XColumn = 0;
    state.YColumn = 5;
    EXPECT_EQ(load(rows + "3 4\n"), 9);
    // The X of a short row 2001 is stored before the missing Y is read.
    state.XColumn = 1;
    state.YColumn = 2;
    EXPECT_EQ(load(rows + "3"), 9);
    EXPECT_EQ(state.ColumnCount, 2);
    EXPECT_EQ(load(rows + "1e39 4\n"), 6);
}

TEST_F(ReaderTest, ColumnCountBeyondSixteenBitsIsOverflow)
{
    std::string line = "1";
    for (int i = 0; i < 32767; ++i)
        line += ",1";
    EXPECT_EQ(load(line), 6);
    EXPECT_EQ(state.RowCount, 1.0f);
    EXPECT_EQ(state.DataLoaded, 0);
    line.resize(line.size() - 2);
    EXPECT_EQ(load(line), 0);
    EXPECT_EQ(state.ColumnCount, 32767);
}

TEST_F(ReaderTest, EmptyFieldsAndBlankLinesAreCounted)
{
    // ",," makes one empty field; in a column that is not chosen it is skipped.
    state.XColumn = 1;
    state.YColumn = 3;
    ASSERT_EQ(load("1,,3\n4, ,6\n"), 0);
    EXPECT_EQ(state.ColumnCount, 3);
    EXPECT_EQ(state.YData(2), 6.0f);
    state.YColumn = 2;
    EXPECT_EQ(load("1,,3\n4, ,6\n"), 13);

    // A trailing comma adds an empty field to its line.
    ASSERT_EQ(load("1,2,\n3,4,\n"), 0);
    EXPECT_EQ(state.ColumnCount, 3);
    EXPECT_EQ(state.XData(2), 3.0f);

    // A line of blanks is a row of one empty field: 7 fields in 3 rows give
    // 2 per row, so the second row is "3" and the empty field.
    state.YColumn = 1;
    ASSERT_EQ(load("1 2 3\n \t \n4 5 6\n"), 0);
    EXPECT_EQ(state.RowCount, 3.0f);
    EXPECT_EQ(state.ColumnCount, 2);
    EXPECT_EQ(state.XData(2), 3.0f);
    EXPECT_EQ(state.XData(3), 4.0f);

    // Trailing blanks without a final line end form a row, but no field:
    // counting the fields reads past the end.
    state.YColumn = 2;
    EXPECT_EQ(load("1 2\n   "), 62);
    EXPECT_EQ(state.RowCount, 2.0f);
    EXPECT_EQ(state.DataLoaded, 0);
}

TEST_F(ReaderTest, OtherWhiteSpaceAndNulBelongToTheField)
{
    EXPECT_EQ(load("1\f 2\n"), 13);
    EXPECT_EQ(load("\xEF\xBB\xBF" "1 2\n"), 13) << "a byte-order mark is part of the first field";
    EXPECT_EQ(load("1 2\0\n"s), 13);
    state.XColumn = 2;
    state.YColumn = 2;
    ASSERT_EQ(load("a\0b 2\n"s), 0);
    EXPECT_EQ(state.XData(1), 2.0f);
}

TEST_F(ReaderTest, LineEndAcrossTheReadBuffer)
{
    // The CR of the first CR LF is the last byte of a 64 KiB read, its LF the
    // first of the next: still one line end, so two rows of three fields.
    const std::string first = "1 2 " + std::string(65536 - 4 - 1, 'x');
    ASSERT_EQ(load(first + "\r\n3 4 5\r\n"), 0);
    EXPECT_EQ(state.RowCount, 2.0f);
    EXPECT_EQ(state.ColumnCount, 3);
    EXPECT_EQ(state.YData(1), 2.0f);
    EXPECT_EQ(state.XData(2), 3.0f);
    EXPECT_EQ(state.YData(2), 4.0f);
}

TEST_F(ReaderTest, DevicesAndPipesAreRefused)
{
    state.DataFileName = "/dev/null";
    EXPECT_EQ(loadAgain(), 75);
    const std::string fifo = (m_dir / "pipe.prn").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    state.DataFileName = fifo;
    state.DataLoaded = 0;
    EXPECT_EQ(loadAgain(), 75) << "opening a pipe with no writer must not hang";
}

TEST_F(ReaderTest, HugeAndTinyFields)
{
    const std::string tiny = "0." + std::string(400, '0') + "1e10";
    ASSERT_EQ(load(tiny + " 1\n"), 0);
    EXPECT_EQ(state.XData(1), 0.0f);
    EXPECT_EQ(load("0.0000001e400 1\n"), 6);
    EXPECT_EQ(load(std::string(4096, '1') + " 1\n"), 6);
    ASSERT_EQ(load("1." + std::string(4095, '0') + " 1\n"), 0) << "a field of any length is a number";
    EXPECT_EQ(state.XData(1), 1.0f);
    ASSERT_EQ(load("1" + std::string(4097, '0') + "e-4097 1\n"), 0);
    EXPECT_EQ(state.XData(1), 1.0f);
}

TEST_F(ReaderTest, ReadsOneColumnAndOneLineRecords)
{
    // The two halves of the column example as published (the examples
    // themselves are read below).
    const fs::path dir = KOV_TEST_DATA_DIR;
    state.SkipLines = 0;
    state.XColumn = 1;
    state.YColumn = 2;

    // One value per line, CR LF: Y names no column, so YData keeps its values.
    state.DataFileName = (dir / "rc-column-disp.csv").string();
    state.YData(548) = 123.0f;
    state.DataLoaded = 0;
    ASSERT_EQ(loadAgain(), 0);
    EXPECT_EQ(state.RowCount, 548.0f);
    EXPECT_EQ(state.ColumnCount, 1);
    EXPECT_NEAR(state.MaxAbsX, 0.07845, 1e-5);
    EXPECT_EQ(state.YData(548), 123.0f);

    // One line of 548 comma-separated values: the trailing comma is the last
    // field's delimiter, so it is one row of 548 fields.
    state.DataFileName = (dir / "rc-column-force.csv").string();
    state.DataLoaded = 0;
    ASSERT_EQ(loadAgain(), 0);
    EXPECT_EQ(state.RowCount, 1.0f);
    EXPECT_EQ(state.ColumnCount, 548);
    EXPECT_EQ(state.XData(1), 0.0f);
    EXPECT_EQ(state.YData(1), 32.47f);
}

TEST_F(ReaderTest, ReadsTheExamplesWithTheirSettings)
{
    struct Example {
        const char *name;
        std::int16_t x, y, skip;
        float xCoef, rows;
        std::int16_t columns;
        float maxX, maxY;
    };
    const fs::path dir = KOV_EXAMPLES_DIR;
    for (const Example &e : {Example{"first-try.prn", 1, 2, 5, 1.0f, 121, 2, 2.994f, 14.954f},
                             Example{"synthetic-three-cycles.prn", 2, 3, 5, 1.0f, 121, 3, 2.994f, 14.954f},
                             Example{"rc-column-soesianawati1986.prn", 2, 3, 5, 1000.0f, 548, 3, 78.45f, 199.59f},
                             Example{"ufp-damper-ganey2015.prn", 1, 2, 0, 1.0f, 308, 2, 2.878f, 5.312f},
                             Example{"slit-damper-chan-albermani.prn", 1, 2, 0, 1.0f, 200, 2, 18.61f, 25.27f}}) {
        state.DataFileName = (dir / e.name).string();
        state.XColumn = e.x;
        state.YColumn = e.y;
        state.SkipLines = e.skip;
        state.XCoef = e.xCoef;
        state.DataLoaded = 0;
        ASSERT_EQ(loadAgain(), 0) << e.name;
        EXPECT_EQ(state.RowCount, e.rows) << e.name;
        EXPECT_EQ(state.ColumnCount, e.columns) << e.name;
        EXPECT_NEAR(state.MaxAbsX, e.maxX, 0.01) << e.name;
        EXPECT_NEAR(state.MaxAbsY, e.maxY, 0.01) << e.name;
    }
}

} // namespace

namespace {

TEST(RecordDigestTest, AnyLengthInAnyPiecesGivesTheWholeDigest)
{
    // Lengths around the 4 MiB hashed as they come, the chunk of 512 KiB
    // past them and the ring of four, fed in pieces of odd sizes, against one
    // Nettle call on the whole.
    constexpr std::size_t Inline = 4 * 1024 * 1024, Chunk = 524288;
    for (const std::size_t length : {std::size_t{0}, std::size_t{1}, Chunk + 1, Inline, Inline + 1, Inline + Chunk,
                                     Inline + 5 * Chunk + 7}) {
        std::vector<unsigned char> bytes(length);
        for (std::size_t i = 0; i < length; ++i)
            bytes[i] = static_cast<unsigned char>((i * 131) ^ (i >> 9));
        sha256_ctx whole;
        sha256_init(&whole);
        sha256_update(&whole, length, bytes.data());
        unsigned char digest[SHA256_DIGEST_SIZE];
        sha256_digest(&whole, sizeof digest, digest);
        std::string expected;
        for (const unsigned char b : digest) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x", b);
            expected += hex;
        }
        RecordDigest pieces;
        for (std::size_t at = 0, piece = 1; at < length; at += piece, piece = piece * 7 % 100003 + 1)
            pieces.bytes(bytes.data() + at, std::min(piece, length - at));
        pieces.end();
        EXPECT_EQ(pieces.sha256(), expected) << length;
    }
    RecordDigest unfinished; // a read that stopped early has no digest
    unfinished.bytes(reinterpret_cast<const unsigned char *>("12"), 2);
    EXPECT_FALSE(unfinished.sha256());
}

} // namespace
