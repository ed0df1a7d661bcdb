// Workbooks read as their sheet's lines: the same cells as CSV give the same
// state, names and units; hostile workbooks fail with what is wrong.

#include "core/reader/recordlayout.h"
#include "core/reader/testrecord.h"
#include "core/reader/workbook.h"
#include "core/state/failure.h"
#include "tests/support/files.h"
#include "tests/support/workbooks.h"

#include <gtest/gtest.h>

#include <bit>
#include <functional>

using namespace kov;
using kov::test::TestSheet;

namespace {

struct Loaded {
    int failure = 0;
    std::string message;
    std::vector<std::uint32_t> values; ///< RowCount, ColumnCount, then X and Y of every step, as bits
    RecordLayout layout;
};

Loaded load(const std::string &path, const RecordConvention &convention, int x, int y, int skipLines = -1)
{
    Loaded out;
    try {
        out.layout = readLayout(path, skipLines, convention);
        auto state = std::make_unique<SharedState>();
        state->DataFileName = path;
        state->SkipLines = static_cast<std::int16_t>(out.layout.header.size());
        state->XColumn = static_cast<std::int16_t>(x);
        state->YColumn = static_cast<std::int16_t>(y);
        state->XCoef = state->YCoef = 1.0f;
        state->setLimits(RecordLimits);
        LoadTestRecord(*state, convention, nullptr);
        out.values = {std::bit_cast<std::uint32_t>(state->RowCount), static_cast<std::uint32_t>(state->ColumnCount)};
        for (int i = 1; i <= static_cast<int>(state->RowCount); ++i)
            out.values.insert(out.values.end(), {std::bit_cast<std::uint32_t>(state->XData(i)), std::bit_cast<std::uint32_t>(state->YData(i))});
    } catch (const Failure &f) {
        out.failure = f.number();
        out.message = f.what();
    }
    return out;
}

struct SameAsCsv {
    const char *name;
    std::vector<TestSheet> sheets;
    std::string sheet = ""; ///< --sheet
    int x = 1, y = 2;
    bool references = true;
    bool xls = false;
    bool decimalComma = false;
    int failure = 0;
    int skipLines = -1; ///< -1: found
    std::string csv = ""; ///< the CSV where it is not the cells joined by commas
};

class WorkbookAsCsv : public ::testing::TestWithParam<SameAsCsv> {};

TEST_P(WorkbookAsCsv, GivesTheSameStateNamesAndUnits)
{
    const SameAsCsv &c = GetParam();
    test::ScratchFolder work;
    const RecordConvention convention{.decimalComma = c.decimalComma, .workbooks = true, .sheet = c.sheet};
    test::writeAll(work / "book", c.xls ? test::xlsBytes(c.sheets) : test::zipBytes(test::xlsxParts(c.sheets, c.references)));
    const auto sheets = RecordFile((work / "book").string()).workbookSheets(true);
    ASSERT_TRUE(sheets);
    test::writeAll(work / "record.csv", c.csv.empty() ? test::csvText(c.sheets[chooseSheet(*sheets, c.sheet)]) : c.csv);

    const Loaded book = load((work / "book").string(), convention, c.x, c.y, c.skipLines);
    const Loaded text = load((work / "record.csv").string(), convention, c.x, c.y, c.skipLines);
    EXPECT_EQ(book.failure, c.failure) << book.message;
    EXPECT_EQ(text.failure, c.failure) << text.message;
    EXPECT_EQ(book.values, text.values);
    EXPECT_EQ(book.layout.header.size(), text.layout.header.size());
    EXPECT_EQ(book.layout.names, text.layout.names);
    EXPECT_EQ(book.layout.units, text.layout.units);
    EXPECT_EQ(book.layout.columns, text.layout.columns);
    if (c.failure == 0) {
        EXPECT_GT(book.values.size(), 2u);
    }
}

const std::vector<std::vector<std::string>> Data = {
    {"0", "0.10000000000000001", "-1.2345678901234567e-5"},
    {"1.0000000000000002", "-2.2250738585072014E-308", "3"},
    {"2", "123456789.12345679", "-0.5"},
};

std::vector<std::vector<std::string>> withHeader(std::vector<std::vector<std::string>> head,
                                                 const std::vector<std::vector<std::string>> &rows = Data)
{
    head.insert(head.end(), rows.begin(), rows.end());
    return head;
}

INSTANTIATE_TEST_SUITE_P(Cases, WorkbookAsCsv, ::testing::Values(
    SameAsCsv{.name = "NamesUnitsSharedStrings", .sheets = {{"Test", withHeader({{"s:Specimen A"}, {"s:Time", "s:Force", "s:Disp"}, {"s:s", "s:(kN)", "s:mm"}})}},
              .x = 3},
    SameAsCsv{.name = "InlineStringsWithoutReferences", .sheets = {{"Test", withHeader({{"i:Time", "i:Force", "", "i:Disp"}, {"i:s", "i:kN", "", "i:mm"}},
                                                                                         {{"1", "2", "", "3"}, {"4", "", "e:#N/A", "6"}})}},
              .y = 4, .references = false, .skipLines = 2},
    SameAsCsv{.name = "SparseRowsAndCells", .sheets = {{"Test", withHeader({{}, {"s:Time", "", "s:Disp"}, {"s:s", "", "s:mm"}},
                                                                           {{"1", "", "2", "", "b:1"}, {"3", "i:x", "4"}, {"5", "", "6", "7"}})}},
              .y = 3, .skipLines = 3},
    SameAsCsv{.name = "TextWithBlanksAndDelimitersIsOneField", .sheets = {{"Test", withHeader({{"s:Load, cell", "s:Disp \"A\"", "s:Note"}},
                                                                                                {{"1", "2", "i:peak load, \"max\""}, {"3", "4", "s:a\tb\nc"}})}},
              .skipLines = 1, .csv = "\"Load, cell\",Disp \"A\",Note\n1,2,x\n3,4,y\n"},
    SameAsCsv{.name = "FormulasGiveTheirCachedValues", .sheets = {{"Test", withHeader({{"s:a", "s:b"}}, {{"f:0.30000000000000004", "f:1e30"}, {"f:-7", "2"}})}}},
    SameAsCsv{.name = "SheetByName", .sheets = {{"Notes", {{"s:nothing here"}}}, {"Data", withHeader({{"s:t", "s:f", "s:d"}})}}, .sheet = "data"},
    SameAsCsv{.name = "SheetByNumber", .sheets = {{"Notes", {{"s:nothing here"}}}, {"Data", withHeader({{"s:t", "s:f", "s:d"}})}}, .sheet = "2"},
    SameAsCsv{.name = "BooleanInAChosenColumnIsNoNumber", .sheets = {{"Test", withHeader({{"s:a", "s:b"}}, {{"1", "b:0"}, {"2", "3"}})}},
              .failure = err::TypeMismatch, .skipLines = 1},
    SameAsCsv{.name = "DecimalComma", .sheets = {{"Test", withHeader({{"s:Zeit", "s:Kraft"}}, {{"0.5", "1e-3"}, {"i:1,5", "2.25"}})}},
              .decimalComma = true, .csv = "Zeit;Kraft\n0,5;1e-3\n1,5;2,25\n"},
    SameAsCsv{.name = "Xls", .sheets = {{"Notes", {{"s:x"}}}, {"Test", withHeader({{"s:Time", "s:Force", "s:Disp"}, {"s:s", "s:kN", "s:mm"}})}},
              .sheet = "Test", .x = 3, .xls = true},
    SameAsCsv{.name = "XlsSparseAndBooleans", .sheets = {{"Test", withHeader({{"s:Time", "", "s:Disp"}}, {{"1", "", "2", "b:1"}, {"3", "s:x", "4"}})}},
              .y = 3, .xls = true, .skipLines = 1}),
    [](const auto &row) { return std::string(row.param.name); });

/// A workbook's parts with one changed.
std::string changed(std::vector<TestSheet> sheets, const std::string &part, std::function<void(std::string &)> change,
                    bool encrypted = false)
{
    auto parts = test::xlsxParts(sheets);
    change(parts[part]);
    if (parts[part].empty())
        parts.erase(part);
    return test::zipBytes(parts, encrypted);
}

const std::vector<TestSheet> Good = {{"Data", withHeader({{"s:Time", "s:Force", "s:Disp"}})}, {"More", {{"1", "2"}}}};
const std::string Sheet1 = "xl/worksheets/sheet1.xml";

void replace(std::string &text, const std::string &from, const std::string &to)
{
    text.replace(text.find(from), from.size(), to);
}

struct Hostile {
    const char *name;
    std::function<std::string()> bytes;
    const char *message;
    std::string sheet = "";
    int number = err::BadFileFormat;
};

class HostileWorkbook : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileWorkbook, FailsWithWhatIsWrong)
{
    const Hostile &c = GetParam();
    test::ScratchFolder work;
    test::writeAll(work / "book.xlsx", c.bytes());
    const Loaded loaded = load((work / "book.xlsx").string(), {.workbooks = true, .sheet = c.sheet}, 1, 2);
    EXPECT_EQ(loaded.failure, c.number);
    EXPECT_NE(loaded.message.find(c.message), std::string::npos) << loaded.message;
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileWorkbook, ::testing::Values(
    Hostile{"NotAZipArchive", [] { return std::string("PK\x03\x04 and nothing of a ZIP archive after it"); }, "has no ZIP directory"},
    Hostile{"ZipWithoutWorkbook", [] { return test::zipBytes({{"notes.txt", "hello"}}); }, "without a workbook part"},
    Hostile{"CutShort", [] { const std::string b = test::zipBytes(test::xlsxParts(Good)); return b.substr(0, b.size() * 2 / 3); }, "cut short"},
    Hostile{"DamagedData", [] {
        std::string b = test::zipBytes(test::xlsxParts({{"Data", std::vector<std::vector<std::string>>(400, {"1.25", "2.5", "3"})}}));
        for (std::size_t i = b.size() / 3; i < b.size() / 3 + 64; ++i)
            b[i] = static_cast<char>(b[i] ^ 0x5A);
        return b; }, "damaged"},
    Hostile{"ZipBomb", [] { return changed(Good, Sheet1, [](std::string &x) { replace(x, "<sheetData>", "<sheetData>" + std::string(20 << 20, ' ')); }); }, "ZIP bomb"},
    Hostile{"EntityDeclaration", [] { return changed(Good, Sheet1, [](std::string &x) {
        replace(x, "<worksheet", "<!DOCTYPE worksheet [<!ENTITY a \"1111111111\"><!ENTITY b \"&a;&a;&a;&a;\">]><worksheet");
        replace(x, "<v>0</v>", "<v>&b;</v>"); }); }, "document type declaration"},
    Hostile{"SharedStringOutOfRange", [] { return changed(Good, Sheet1, [](std::string &x) { replace(x, "<v>1</v></c>", "<v>99</v></c>"); }); },
            "cell B1 refers to shared string 99, but the workbook holds 3"},
    Hostile{"SheetMissing", [] { return changed(Good, "xl/worksheets/sheet2.xml", [](std::string &x) { x.clear(); }); },
            "lists the sheet 'More' but does not hold its part xl/worksheets/sheet2.xml", "2"},
    Hostile{"CellBeyondTheLimits", [] { return changed(Good, Sheet1, [](std::string &x) { replace(x, "r=\"B1\"", "r=\"XFE1\""); }); },
            "the cell reference XFE1 lies beyond a sheet's limits (XFD1048576)"},
    Hostile{"CellBeyondTheDimension", [] { return changed(Good, Sheet1, [](std::string &x) { replace(x, "A1:C4", "A1:B4"); }); },
            "cell C1 lies beyond the sheet's dimension A1:B4"},
    Hostile{"RowBeyondTheLimits", [] { return changed(Good, Sheet1, [](std::string &x) { replace(x, "<row r=\"4\">", "<row r=\"1048577\">"); }); },
            "row 1048577 lies beyond"},
    Hostile{"RowsOutOfOrder", [] { return changed(Good, Sheet1, [](std::string &x) { replace(x, "<row r=\"3\">", "<row r=\"1\">"); }); },
            "row 1 comes after row 2"},
    Hostile{"CellTextTooLong", [] { return changed(Good, Sheet1, [](std::string &x) { replace(x, "<v>0</v>", "<v>" + std::string(40000, '7') + "</v>"); }); },
            "cell A1 holds a text of more than 32767 characters"},
    Hostile{"NotWellFormed", [] { return changed(Good, Sheet1, [](std::string &x) { replace(x, "</sheetData>", "<row>"); }); }, "is not well-formed XML"},
    Hostile{"EncryptedZipEntries", [] { return changed(Good, Sheet1, [](std::string &) {}, true); }, "encrypted"},
    Hostile{"EncryptedOfficeWorkbook", [] { return test::compoundFile({{"EncryptionInfo", "\x04\x00\x04\x00"}, {"EncryptedPackage", "\x10"}}); }, "encrypted"},
    Hostile{"OleWithoutWorkbook", [] { return test::compoundFile({{"WordDocument", "text"}}); }, "without a workbook stream"},
    Hostile{"NoSuchSheet", [] { return test::zipBytes(test::xlsxParts(Good)); }, "no sheet is named 'Nope'; the sheets are: 1 Data, 2 More", "Nope", err::OutOfRange}),
    [](const auto &row) { return std::string(row.param.name); });

} // namespace
