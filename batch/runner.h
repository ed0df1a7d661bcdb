#pragma once

// Runs the records of a kov-batch call on a fixed pool of threads, handing
// their outcomes back in the order of the records.

#include "batch/options.h"
#include "batch/pipeline.h"
#include "batch/plan.h"

#include <functional>
#include <vector>

namespace kov::batch {

/// The number of cores this process may run on (its CPU affinity), at least 1.
int availableCores();

/// Runs every record of the call through runRecord on options.jobs threads
/// (availableCores() when 0) and hands each outcome to done on the calling
/// thread, in the order of the records, so that what done prints is the same
/// for any number of threads. At most that many records are in memory at
/// once, running or waiting for their turn; records whose files wait to be
/// published with those of the next records (a group of at most 32, for
/// at most 50 ms, one sync for the whole group) hold only their lines and
/// files. done sees each outcome with its files published, or its failure
/// lines for those that could not be. When standard error is a terminal
/// and the call has more than one record (and not options.quiet), a
/// progress line redraws itself there and is cleared before done prints.
/// The renames of all files written are made durable before it returns.
/// SIGINT stops the starting of records: those under way finish, their
/// files are published, they are handed to done, and runRecords returns
/// false.
bool runRecords(const std::vector<RecordPlan> &plans, const Options &options,
                const std::function<void(std::size_t, RecordOutcome &&)> &done);

} // namespace kov::batch
