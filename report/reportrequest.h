#pragma once

// What the HTML report of a kov-batch call shows: plain core data (no Qt),
// filled by kov-batch (or any caller of the core) and drawn record by record.

#include "core/analysis/metrics.h"
#include "core/output/metricsexport.h"
#include "core/output/recordanalysis.h"
#include "core/state/settings.h"
#include "core/state/sharedstate.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kov {

/// The settings of the call, the same for every record: those of the
/// analysis and of the metrics.
struct ReportSettings : Settings, MetricSettings {
    PeakRule peakRule = PeakRule::Halves;
    std::optional<long long> firstRow; ///< the rows analysed (none: the first, the last)
    std::optional<long long> lastRow;
    ColumnOffset xOffset;
    ColumnOffset yOffset;
    std::string stepsFile; ///< as given ("" none)
};

/// The report's settings of a record read with read under options.
inline ReportSettings reportSettings(const Settings &read, const RecordOptions &options)
{
    ReportSettings s;
    static_cast<Settings &>(s) = read;
    static_cast<MetricSettings &>(s) = options;
    s.peakRule = options.peakRule;
    s.firstRow = options.firstRow;
    s.lastRow = options.lastRow;
    s.xOffset = options.xOffset;
    s.yOffset = options.yOffset;
    s.stepsFile = options.stepsFile;
    return s;
}

/// One record of the call, in the order of the call.
struct ReportRecord {
    std::string name;          ///< as named on the command line or in the campaign file
    std::string label;         ///< shown in the comparison's legend and tables (its base name by default)
    std::string group;         ///< its group in a campaign ("" none)
    SummaryRow summary;        ///< its summary row: absolute path, status, key figures
    std::vector<std::string> errors;   ///< the error lines printed for it, in order
    std::vector<std::string> warnings; ///< the warnings printed for it
    /// The state the analysis left (data, cycles, results); null when the
    /// record did not load.
    std::shared_ptr<const SharedState> state;
    RecordMetrics metrics;     ///< computed from state
    bool truncated = false;    ///< the 100-cycle limit cut the analysis
    /// The settings the record was read with, where they differ from the
    /// call's (its header gave the columns, the header lines or the units).
    std::optional<ReportSettings> readWith;
};

/// Everything the report shows.
struct ReportRequest {
    std::string path;          ///< the HTML file to write
    std::string generated;     ///< date and time of the call, as shown
    std::string program;       ///< "kov-batch 1.0.0"
    ReportSettings settings;
    std::vector<ReportRecord> records;
    std::string referenceGroup; ///< --reference-group ("" none)
};

} // namespace kov
