#pragma once

#include "batch/options.h"
#include "core/reader/recordfile.h"
#include "core/reader/recordlayout.h"
#include "core/state/failure.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kov::batch {

/// How one record of the call is read: the options with --skip-lines auto,
/// column names and the header's units resolved into numbers and texts.
struct RecordReading {
    Settings settings;
    RecordConvention convention;
    /// The record's header could not be read (it is the record's failure).
    std::optional<Failure> failure;
};

/// The reading of every record of the call, in order. The header is read
/// (its first 64 KiB) only where the options need it. A column name that
/// no column or several have is a usage error: returns nullopt and sets
/// error to a message that lists the columns found.
std::optional<std::vector<RecordReading>> planReadings(const Options &options, std::string &error);

/// --inspect: what each record's header says and the options that would
/// read it, on out; a record that cannot be read goes to err. Returns 0
/// when every record can be read, else 1.
int inspectRecords(const Options &options, std::ostream &out, std::ostream &err);

/// The line suggesting --decimal-comma when a record that failed to load
/// without it has semicolons in its data rows, else "".
std::string decimalCommaHint(const Options &options, const RecordReading &reading, const std::string &record);

} // namespace kov::batch
