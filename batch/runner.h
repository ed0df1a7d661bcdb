#pragma once

// Runs the records of a kov-batch call on a fixed pool of threads, handing
// their outcomes back in the order of the records.

#include "batch/options.h"
#include "batch/pipeline.h"
#include "batch/plan.h"

#include <csignal>
#include <functional>
#include <vector>

namespace kov::batch {

/// Catches SIGINT, SIGTERM and SIGHUP while it lives, and ignores SIGPIPE
/// (a closed standard output is then a failed write): a signal stops the
/// starting of records, as requestStop() does, and the call ends as when
/// all are done. Later signals change nothing, so the files under way are
/// finished whole. Made once, before anything is written; when it goes,
/// the call is over and SIGINT, SIGTERM and SIGHUP are ignored from then
/// on, so that one arriving while the process exits cannot end it by the
/// signal after its work was done.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    /// The first signal received (0: none).
    static int received();

private:
    struct sigaction m_earlierPipe {};
};

/// Stops the starting of records: those under way finish and are handed on.
void requestStop();
bool stopRequested();

/// The number of cores this process may run on (its CPU affinity), at least 1.
int availableCores();

/// Runs every record of the call through runRecord on options.jobs threads
/// (availableCores() when 0) and hands each outcome to done on the calling
/// thread, in the order of the records, so that what done prints is the same
/// for any number of threads. At most that many records are in memory at
/// once, running or waiting for their turn, besides the records whose files
/// wait to be published with those of the next records (a group of at most
/// 32, for at most 50 ms, each folder synced once for the whole group),
/// which hold only their lines and the names of their files. A record that
/// runs out of descriptors runs again once no other runs; a thread that
/// cannot start leaves fewer jobs. done sees each outcome with its files
/// published and durable, or its failure lines for those that could not be. When standard error is a terminal
/// and the call has more than one record (and not options.quiet), a
/// progress line redraws itself there and is cleared before done prints.
/// A stop (StopSignals, requestStop) ends the starting of records: those
/// under way finish, their files are published, they are handed to done,
/// and runRecords returns false. An exception a worker did not expect is
/// thrown here once the workers have stopped.
bool runRecords(const std::vector<RecordPlan> &plans, const Options &options,
                const std::function<void(std::size_t, RecordOutcome &&)> &done);

} // namespace kov::batch
