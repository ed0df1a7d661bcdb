#pragma once

#include "core/reader/recordconvention.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kov {

/// What the first bytes of a file say it is.
enum class WorkbookKind {
    None, ///< no workbook: a text record
    Xlsx, ///< a ZIP archive (an Office Open XML workbook)
    Xls,  ///< an OLE compound file (a BIFF workbook, or an encrypted one)
};

/// The kind of a file by its first bytes (at least 8 of them for a workbook).
WorkbookKind workbookKindOf(std::string_view firstBytes);

/// The bounds within which a workbook is read. What a workbook unpacks into
/// (each part of it that is read, and the lines made of a sheet) is at most
/// InflationRatio times the size of the file and at most InflatedLimit
/// bytes; a workbook that would unpack into more is refused as a ZIP bomb.
/// A cell's text holds at most CellTextLimit characters, as in the
/// spreadsheet programs; a sheet at most MaxRows rows and MaxColumns columns.
struct WorkbookLimits {
    static constexpr unsigned long long InflationRatio = 100;
    static constexpr unsigned long long InflatedLimit = 4ull << 30;
    static constexpr std::size_t CellTextLimit = 32767;
    static constexpr long long MaxRows = 1048576;
    static constexpr long long MaxColumns = 16384;
};

/// The bytes a workbook of fileSize bytes may unpack into (WorkbookLimits).
unsigned long long inflatedLimitFor(unsigned long long fileSize);

/// One sheet of a workbook: its name and extent (the last row and the last
/// column that hold a value; 0 and 0 for an empty sheet).
struct SheetInfo {
    std::string name;
    long long rows = 0;
    long long columns = 0;
};

/// The lines of a record that are made, not read from the file as they
/// are: the rows of a workbook's sheet.
class LineSource {
public:
    virtual ~LineSource() = default;
    /// Writes up to capacity bytes of the next lines to to; 0 at the end.
    /// Throws Failure when the workbook turns out damaged or hostile.
    virtual std::size_t read(unsigned char *to, std::size_t capacity) = 0;
    /// Starts again from the first line.
    virtual void rewind() = 0;
};

/// The sheet of a workbook chosen by sheet ("" the first; else the sheet of
/// that name, ignoring case, or failing that the sheet of that number from 1).
/// Its rows become lines, rows 1 to the last that holds a value, each with
/// as many fields as the sheet has columns, the cells in column order
/// separated by the convention's delimiter and an empty cell an empty field:
///  - a number: the text the workbook stores for it (.xlsx), or the
///    shortest text that reads back as its binary value (.xls); with
///    decimal commas its point becomes a comma;
///  - text (a string, a formula's text result, an error such as #N/A, a
///    date the workbook stores as text): its text, where each blank, tab
///    and line end becomes a no-break space (U+00A0), the delimiter U+201A
///    (a comma) or U+FF1B (a semicolon) and a double quote U+201D, so that
///    a cell is always one field (sheetText() turns them back);
///  - a boolean: TRUE or FALSE; a formula gives its cached value.
/// fd is the open workbook (not taken over), fileSize its size.
/// Throws Failure 321 (with a description) for a workbook that cannot be
/// read, 9 when it has no such sheet.
std::unique_ptr<LineSource> openSheetLines(int fd, unsigned long long fileSize, WorkbookKind kind,
                                           const RecordConvention &convention);

/// The worksheets of the workbook fd of that kind and size (see
/// RecordFile::workbookSheets).
std::vector<SheetInfo> sheetsOf(int fd, unsigned long long fileSize, WorkbookKind kind, bool extents);

/// "1 Data, 2 Notes": the sheets as a message lists them.
std::string sheetList(const std::vector<SheetInfo> &sheets);

/// The index (from 0) of the sheet that choice names among sheets (see
/// openSheetLines); throws Failure 9 listing the sheets when none does.
std::size_t chooseSheet(const std::vector<SheetInfo> &sheets, const std::string &choice);

} // namespace kov
