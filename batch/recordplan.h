#pragma once

#include "batch/options.h"
#include "core/reader/recordreading.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kov::batch {

/// The reading of every record of the call, in order (resolveReading of
/// each). A column name that no column or several have is a usage error:
/// returns nullopt and sets error to a message that lists the columns found.
std::optional<std::vector<RecordReading>> planReadings(const Options &options, std::string &error);

/// --inspect: what each record's header says and the options that would
/// read it, on out; a record that cannot be read goes to err. Returns 0
/// when every record can be read, else 1.
int inspectRecords(const Options &options, std::ostream &out, std::ostream &err);

} // namespace kov::batch
