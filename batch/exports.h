#pragma once

#include "analysis/core/metrics.h"
#include "batch/options.h"
#include "output/metricsexport.h"

#include <functional>
#include <ostream>
#include <string>

namespace kov::batch {

/// Writes the files that --json and --csv ask for beside the results file
/// (NAME-kov.json; NAME-kov.csv and NAME-kov-levels.csv, named from context.record as the results
/// file is from the record's absolute path) through the atomic writer, and prints the
/// path of each one written on paths, when given. Returns 0, or the error
/// number of the first file that could not be written; each failure is
/// passed to fail as "DESCRIPTION (N)".
int writeMetricFiles(const SharedState &state, const RecordMetrics &metrics, const ExportContext &context,
                     const Options &options, std::ostream *paths,
                     const std::function<void(const std::string &)> &fail);

} // namespace kov::batch
