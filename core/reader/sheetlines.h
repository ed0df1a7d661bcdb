#pragma once

// The lines a workbook's sheet makes, as openSheetLines describes them:
// what the two workbook readers share, and the failures of a workbook.

#include "core/reader/recordconvention.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace kov {

/// Text made of a sheet's cells as the cells hold it: the stand-ins of
/// openSheetLines turned back into blanks, delimiters and quotes.
std::string sheetText(std::string_view line);

namespace sheet {

/// A workbook that cannot be read: Failure 321 with why.
[[noreturn]] void refuse(const std::string &why);

/// "B7": the reference of a cell (row and column from 1).
std::string cellName(long long row, long long column);

/// Builds the lines of a sheet of `columns` columns a row at a time, as
/// openSheetLines describes them, into a buffer that read() empties. A row
/// without a cell that holds a value makes a line only when a later row
/// does (the rows after the last value make none).
class RowWriter {
public:
    RowWriter(const RecordConvention &convention, long long columns, unsigned long long limit);

    /// The row (from 1) whose cells follow; rows come in increasing order.
    void startRow(long long row) { m_row = row; }
    /// A cell of the current row (column from 1, increasing within a row).
    void number(long long column, std::string_view text);
    void text(long long column, std::string_view text);
    /// Ends the current row's line, when it has one.
    void endRow();

    /// The bytes made and not yet read.
    std::size_t pending() const { return m_out.size() - m_read; }
    /// Moves up to capacity pending bytes to to; returns how many.
    std::size_t read(unsigned char *to, std::size_t capacity);
    /// Forgets everything made: the first row comes next.
    void restart();

private:
    void startCell(long long column);

    const char m_delimiter;
    const bool m_decimalComma;
    const long long m_columns;
    const unsigned long long m_limit; ///< the bytes the lines may take in all
    unsigned long long m_made = 0;
    long long m_row = 0;
    long long m_lastLine = 0;  ///< the last row that made a line
    long long m_column = 0;    ///< the last column written in the current row; 0 none
    std::string m_out;
    std::size_t m_read = 0;
};

/// The line a sheet's row makes from the start of a cell text: see
/// openSheetLines. Appends text to out, each byte that the line grammar
/// gives a meaning replaced by its stand-in.
void appendCellText(std::string &out, std::string_view text, char delimiter);

} // namespace sheet

} // namespace kov
