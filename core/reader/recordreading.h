#pragma once

#include "core/reader/recordfile.h"
#include "core/reader/recordlayout.h"
#include "core/state/failure.h"
#include "core/state/settings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kov {

/// How a record is to be read, as the user gives it: the settings, and where
/// the record's header may stand in for the header-line count, the column
/// numbers and the units.
struct ReadingOptions : Settings {
    bool skipLinesAuto = false;  ///< every line before the first row of numbers is a header line
    bool skipLinesGiven = false; ///< skipLines was given (a column name then does not imply auto)
    std::string xColumnName;     ///< the column of that name (instead of xColumn)
    std::string yColumnName;
    bool xUnitGiven = false;     ///< xUnit was given: a units line does not replace it
    bool yUnitGiven = false;
    bool decimalComma = false;   ///< semicolons between fields, commas before decimals
    std::string sheet;           ///< the sheet of a workbook: its name or number ("": the first)

    /// The header must be read to know how to read the record.
    bool readsHeader() const { return skipLinesAuto || !xColumnName.empty() || !yColumnName.empty(); }
    /// A workbook is read as the lines of its sheet; a UTF-8 byte-order mark
    /// is skipped and UTF-16/32 refused (the window reads the bytes as they are).
    RecordConvention convention() const
    {
        return RecordConvention{.decimalComma = decimalComma, .workbooks = true, .sheet = sheet, .byteOrderMark = true};
    }
};

/// How one record is read: the options with the header-line count, column
/// names and the header's units resolved into numbers and texts.
struct RecordReading {
    Settings settings;
    RecordConvention convention;
    /// The record's header could not be read (it is the record's failure).
    std::optional<Failure> failure;
    /// What the resolution chose that the user should hear of, one line each
    /// ("--x-column disp: column 3, 'Lead Actuator Displacment', whose name
    /// contains it").
    std::vector<std::string> notes;
};

/// The reading of record. The header is read (its first 64 KiB) only where
/// the options need it; a header (or a workbook) that cannot be read is the
/// reading's failure. A column name (ignoring case) that no column has
/// selects the one column whose name contains it, with a note. A column
/// name that several columns have, or that no column has and none or
/// several contain, or a sheet that a workbook does not have, is a usage
/// error: returns nullopt and sets error to "kov-batch: RECORD: ..." with a
/// list of the columns or sheets found.
std::optional<RecordReading> resolveReading(const ReadingOptions &options, const std::string &record,
                                            std::string &error);

/// Resolves the options against a record's layout into settings (the
/// header-line count with auto, the named columns, the header's units where
/// none were given); false, with error set as resolveReading sets it, for a
/// name no column or several have. Sets notes as RecordReading's.
bool applyLayout(const ReadingOptions &options, const RecordLayout &layout, const std::string &record,
                 Settings &settings, std::string &error, std::vector<std::string> *notes = nullptr);

/// The unit the header gives a column (from 1), or "".
std::string headerUnit(const RecordLayout &layout, long long column);

/// ASCII letters compared ignoring case; other bytes as they are.
bool containsIgnoringCase(std::string_view text, std::string_view word);

/// The line suggesting --decimal-comma when a record that failed to load
/// without it has semicolons in its data rows, else "".
std::string decimalCommaHint(const ReadingOptions &options, const RecordReading &reading, const std::string &record);

} // namespace kov
