#pragma once

// The records of a kov-batch call: those of the command line, with the
// call's settings, then those of a campaign file (--campaign), each with the
// settings its row gives.

#include "batch/options.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kov::batch {

/// One record of the call and how it is analysed.
struct CallRecord {
    std::string record; ///< its path as the call opens it (a campaign's relative path joined to its folder)
    std::string label;  ///< how the report names it: the campaign's label, else its base name
    std::string group;  ///< its group in the campaign ("" none)
    /// Its options: the call's, with its row's cells in place of theirs.
    /// Records whose row changes nothing share the call's.
    std::shared_ptr<const Options> options;
};

/// The records of the call, in order: the command line's, then the campaign
/// file's rows. A campaign file that cannot be read, has no record column,
/// a column of no per-record option, a value its option does not take, a
/// row of another number of fields than the header, a record that does not
/// exist or is named twice (by file identity, the command line's records
/// included), or no row, is a usage error: returns nothing with error set
/// to a line naming the file, the line and the column. So is a reference
/// group that no record's group is. Opens no record.
std::optional<std::vector<CallRecord>> callRecords(const Options &options, std::string &error);

/// The cells of an RFC 4180 text (CRLF or LF line ends, a UTF-8 byte-order
/// mark skipped, blank lines left out), a row each with the line each field
/// starts on. Returns false with error ("line 3: ...") for a quote that is
/// never closed or stands inside an unquoted field.
struct CsvField {
    std::string text;
    long line = 0;
};
bool parseCsv(const std::string &text, std::vector<std::vector<CsvField>> &rows, std::string &error);

} // namespace kov::batch
