#pragma once

// One record of a kov-batch call, from its file to everything written for
// it: load, analysis, results file, metrics and their files. Nothing here
// touches global state, so records can run at once on several threads.

#include "batch/options.h"
#include "batch/plan.h"
#include "core/output/atomicfile.h"
#include "report/reportrequest.h"

#include <ostream>
#include <string>
#include <vector>

namespace kov::batch {

/// What became of a record: what it printed, its summary row, and, for the
/// report and the picture, what it showed.
struct RecordOutcome {
    /// entry.summary is its summary row; entry.errors and entry.warnings are
    /// its error and warning lines; entry.state (the analysed record) and
    /// entry.metrics are kept only when a picture or the report needs them.
    ReportRecord entry;
    std::string out; ///< its standard output: the paths written, or the results table with --stdout

    /// A file of the record in its temporary file, waiting to be published.
    struct Pending {
        PendingFile file;
        std::size_t errorAt; ///< where its failure line goes among entry.errors
        bool listed;         ///< its path is a line of out
    };
    /// The record's files not yet published, in the order written; out and
    /// entry read as if they all will be, until publishedFiles says which not.
    std::vector<Pending> pending;
    /// It failed for want of descriptors (the process has as many files open
    /// as it may): with fewer records at once it may not.
    bool outOfDescriptors = false;

    bool failed() const { return !entry.errors.empty(); }
};

/// Runs the record of plan through the analysis and writes its files (all
/// but the picture) to their temporary files through publisher, listed in
/// the outcome's pending files. Never throws: a failure is a line in the
/// outcome, and the other records go on.
RecordOutcome runRecord(const RecordPlan &plan, const Options &options, Publisher &publisher);

/// Takes in what became of the outcome's pending files, failures[k] for
/// pending[k] (0: published; each is published or removed by then): a failed one gets its failure line where its
/// write's failure would have stood, and its path leaves out.
void publishedFiles(RecordOutcome &outcome, const int *failures);

/// Draws the record's picture (--plot) when it was analysed. The drawing
/// code must run on the thread that made the GUI, so the caller runs this
/// on its main thread, after runRecord. The picture comes first of the
/// record's files: its failure line goes before theirs, and its error
/// number becomes the record's.
void drawRecordPicture(RecordOutcome &outcome, const RecordPlan &plan, const Options &options);

/// Prints the record's standard error lines ("NAME: LINE"), warnings first.
void printErrorLines(std::ostream &err, const RecordOutcome &outcome);

} // namespace kov::batch
