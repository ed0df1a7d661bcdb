#pragma once

#include "core/reader/recordfile.h"

#include <string>
#include <string_view>
#include <vector>

namespace kov {

/// What the first lines of a record say about it: its header lines, the
/// fields of its data rows, and the names and units of its columns where a
/// header line gives them.
struct RecordLayout {
    std::vector<std::string> header; ///< the header lines, without their line ends
    std::string firstRow;            ///< the first data row, without its line end
    long long columns = 0;           ///< fields of the first data row, as the reader counts them
    int namesLine = 0;               ///< header line (from 1) of the column names; 0: none
    int unitsLine = 0;               ///< header line (from 1) of the units; 0: none
    std::vector<std::string> names;  ///< per column: its name, trimmed of blanks and quotes
    std::vector<std::string> units;  ///< per column: its unit ("" where the units line has none)
};

/// How far the header is looked for: the first read of a record.
inline constexpr std::size_t LayoutBlockSize = 65536;

/// Finds the layout of a record from its first bytes, block (all of the
/// record when whole). skipLines is the number of header lines, or -1 to find
/// them: the header is then every line before the first line that reads as
/// a complete data row, every field a number in the reader's grammar and as
/// many fields as the line after it.
///
/// The names are the last header line split at its delimiters (tabs, or
/// blanks when it has neither; quotes keep a delimiter in a name) when none
/// of them is a number and there are no more of them than columns (they
/// name the first columns). When the line after the names is the last
/// header line and holds short texts without digits (brackets around them
/// dropped), these are the units. On a line split at blanks, a unit belongs
/// to the name it lies under.
///
/// Throws Failure 62 when no line reads as a data row, or when the header
/// and the first data row do not lie within the block: the description says
/// which.
RecordLayout findLayout(std::string_view block, bool whole, int skipLines, const RecordConvention &convention);

/// findLayout of the record named path, from its first LayoutBlockSize
/// bytes (of its lines, for a workbook read as the convention says; its
/// names and units are then the texts of its cells). Throws the
/// RecordFile's failures too.
RecordLayout readLayout(const std::string &path, int skipLines, const RecordConvention &convention);

/// The fields of a line as the reader splits them: at blanks and tabs, and
/// at one delimiter (a comma, or a semicolon with decimal commas) with
/// nothing but blanks between; an empty field where a delimiter or the line
/// end follows a delimiter or the line's start.
std::vector<std::string_view> readerFields(std::string_view line, const RecordConvention &convention);

/// A name or a unit as it is compared and shown: without the blanks and
/// quotes around it.
std::string_view trimmedName(std::string_view text);

/// True when some data line within the first LayoutBlockSize bytes after
/// skipLines header lines holds a semicolon (a sign of decimal commas);
/// false for a workbook.
bool dataRowsHoldSemicolons(const std::string &path, int skipLines);

} // namespace kov
