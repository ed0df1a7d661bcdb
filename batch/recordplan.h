#pragma once

#include "batch/campaign.h"
#include "batch/options.h"
#include "core/reader/recordreading.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kov::batch {

/// The reading of every record of the call, in order (resolveReading of
/// each with its own options). A column name that no column or several have is a usage error:
/// returns nullopt and sets error to a message that lists the columns found.
std::optional<std::vector<RecordReading>> planReadings(const std::vector<CallRecord> &records, std::string &error);

/// --inspect: what each record's header says and the options that would
/// read it (its own, in a campaign), on out; a record that cannot be read goes to err. Returns 0
/// when every record can be read, else 1.
int inspectRecords(const std::vector<CallRecord> &records, std::ostream &out, std::ostream &err);

} // namespace kov::batch
