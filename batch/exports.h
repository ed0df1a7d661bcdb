#pragma once

#include "batch/options.h"
#include "batch/plan.h"
#include "core/analysis/metrics.h"
#include "core/output/atomicfile.h"
#include "core/output/metricsexport.h"

#include <functional>
#include <string>

namespace kov::batch {

/// Writes the files that --json and --csv ask for beside the results file
/// (NAME-kov.json; NAME-kov.csv and NAME-kov-levels.csv, as the plan names
/// them) to their temporary files in pending, for its publisher to rename
/// over their targets, and adds the path of each one written to paths, a
/// line each, when given. Each failure is passed to fail as
/// "DESCRIPTION (N)" with its number; a file the plan gave to an earlier
/// record is not written and fails with 58.
void writeMetricFiles(const SharedState &state, const RecordMetrics &metrics, const ExportContext &context,
                      const Options &options, const RecordPlan &plan, PendingWrites &pending, std::string *paths,
                      const std::function<void(const std::string &, int)> &fail);

} // namespace kov::batch
