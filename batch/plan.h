#pragma once

// The output plan of a kov-batch call: every file the call will write, known
// before anything is written, so that no output replaces a record of the
// call or another output of it.

#include "batch/campaign.h"
#include "batch/options.h"
#include "batch/recordplan.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kov::batch {

/// The kinds of file a call writes: per record, then once per call.
enum class OutputKind { Results, Json, Csv, LevelsCsv, Picture, Summary, Compare, Report };

/// How a message names a kind of file ("results file", "picture"...).
const char *outputKindName(OutputKind kind);

/// A file a record of the call writes.
struct PlannedFile {
    OutputKind kind = OutputKind::Results;
    std::string path;
    /// Set when an earlier record of the call writes the same file: the line
    /// the record fails with instead of writing it (error 58).
    std::string taken;
};

/// One record of the call and the files it writes, in the order it writes
/// them. A file whose name cannot be made (a record name too short, error
/// 52) is not planned: writing it fails as it always did.
struct RecordPlan {
    std::string record;   ///< as named on the command line, or joined to the campaign file's folder
    std::string label;    ///< how the report names it
    std::string group;    ///< its group in the campaign ("" none)
    /// How it is read and analysed: the call's options, or its campaign row's.
    std::shared_ptr<const Options> options;
    std::string absolute; ///< its normalised absolute path, as the files name it
    /// An earlier results file given as a record: not analysed, nothing written.
    bool skipped = false;
    std::vector<PlannedFile> outputs;
    /// How it is read: the options, with its header's names and units resolved.
    RecordReading reading;

    /// The planned file of that kind, or null.
    const PlannedFile *find(OutputKind kind) const;
};

/// Plans the call over its records (callRecords). Returns the records' plans in the order given, or
/// nothing with error set to the usage error ("kov-batch: the summary 'X'
/// would overwrite the record 'Y'") when a file of the call is a record of
/// it, its campaign file or a steps file it reads, or when the summary or the report is the same file as another output.
/// Files are compared by identity: device and inode (links followed) for a
/// file that exists, the folder's identity and the name for one that does not.
std::optional<std::vector<RecordPlan>> planCall(const Options &options, const std::vector<CallRecord> &records,
                                               std::string &error);

} // namespace kov::batch
