#pragma once

#include <string>

namespace kov {

/// How the fields of a record are written. The reader's own way: blanks,
/// tabs or commas between fields and a point before the decimals. With
/// decimalComma: blanks, tabs or semicolons between fields and a comma
/// before the decimals ("1,5E-3"), as European software writes them.
struct RecordConvention {
    bool decimalComma = false;
    /// A workbook (.xlsx or .xls, known by its first bytes) is read as the
    /// lines that one of its sheets makes (openSheetLines); without it
    /// every record is read as text.
    bool workbooks = false;
    /// The sheet of a workbook: "" the first; else its name or number.
    std::string sheet;
    /// A UTF-8 byte-order mark at the start is no part of the first line,
    /// and a UTF-16 or UTF-32 record is refused (RecordFile::skipByteOrderMark).
    bool byteOrderMark = false;
};

/// The byte that separates fields besides blanks and tabs.
constexpr char fieldDelimiter(const RecordConvention &convention)
{
    return convention.decimalComma ? ';' : ',';
}

} // namespace kov
