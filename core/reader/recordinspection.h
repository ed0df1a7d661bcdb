#pragma once

#include "core/reader/recordlayout.h"
#include "core/reader/recordreading.h"
#include "core/reader/workbook.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kov {

/// The most bytes of the last row an inspection keeps.
inline constexpr std::size_t MaxKeptLine = 1024;

/// How a unit of X or Y was chosen for reading a record.
struct InspectedUnit {
    std::string text;
    bool given = false;  ///< the user gave it (--x-unit, --y-unit)
    int headerLine = 0;  ///< from this header line (from 1); 0: the default or given
};

/// What a record's first lines say about it, and how it would be read.
struct RecordInspection {
    /// The sheets of a workbook, with their extents; none for a text record.
    std::optional<std::vector<SheetInfo>> sheets;
    std::size_t sheet = 0; ///< the sheet read (from 0)
    RecordLayout layout;  ///< its header lines, columns, names and units
    long long dataRows = 0; ///< lines after the header as the reader counts them (the last also without a line end)
    std::string lastRow;  ///< the start of the last of them, at most MaxKeptLine bytes
    std::size_t lastRowLength = 0; ///< its whole length in bytes
    /// The columns of X and Y: the named ones, else those whose names alone
    /// tell them apart (displacement words against load words); 0 when the
    /// names do not tell.
    std::int16_t xColumn = 0;
    std::int16_t yColumn = 0;
    InspectedUnit xUnit;  ///< set when both columns are known
    InspectedUnit yUnit;
    /// The resolution's message ("kov-batch: RECORD: no column is named 'x';
    /// ...") for a column name no column or several have; empty otherwise.
    std::string columnError;

    /// Both columns are known and differ.
    bool columnsKnown() const { return xColumn != 0 && yColumn != 0 && xColumn != yColumn; }
};

/// The inspection of record with the options' header-line count (found
/// when not given), decimal commas, column names and units. Throws the
/// reader's Failure when the record cannot be read.
RecordInspection inspectRecord(const ReadingOptions &options, const std::string &record);

} // namespace kov
