#pragma once

// One record of a kov-batch call, from its file to everything written for
// it: load, analysis, results file, metrics and their files. Nothing here
// touches global state, so records can run at once on several threads.

#include "batch/options.h"
#include "batch/plan.h"
#include "output/atomicfile.h"
#include "output/reportrequest.h"

#include <ostream>
#include <string>

namespace kov::batch {

/// What became of a record: what it printed, its summary row, and, for the
/// report and the picture, what it showed.
struct RecordOutcome {
    /// entry.summary is its summary row; entry.errors and entry.warnings are
    /// its error and warning lines; entry.state (the analysed record) and
    /// entry.metrics are kept only when a picture or the report needs them.
    ReportRecord entry;
    std::string out; ///< its standard output: the paths written, or the results table with --stdout

    bool failed() const { return !entry.errors.empty(); }
};

/// Runs the record of plan through the analysis and writes its files (all
/// but the picture), leaving their folders to folders to sync. Never throws:
/// a failure is a line in the outcome, and the other records go on.
RecordOutcome runRecord(const RecordPlan &plan, const Options &options, FolderSyncs &folders);

/// Draws the record's picture (--plot) when it was analysed. The drawing
/// code must run on the thread that made the GUI, so the caller runs this
/// on its main thread, after runRecord. The picture comes first of the
/// record's files: its failure line goes before theirs, and its error
/// number becomes the record's.
void drawRecordPicture(RecordOutcome &outcome, const RecordPlan &plan, const Options &options);

/// Prints the record's standard error lines ("NAME: LINE"), warnings first.
void printErrorLines(std::ostream &err, const RecordOutcome &outcome);

} // namespace kov::batch
