#pragma once

// The HTML report of a kov-batch call: one self-contained page for all its
// records. The request holds plain core data only (no Qt), so that the
// program that asks for a report needs no Qt of its own.

#include "analysis/core/metrics.h"
#include "app/core/settings.h"
#include "app/core/sharedstate.h"
#include "output/metricsexport.h"

#include <memory>
#include <string>
#include <vector>

namespace kov {

/// The settings of the call, the same for every record: those of the
/// analysis and of the metrics.
struct ReportSettings : Settings, MetricSettings {};

/// One record of the call, in the order of the call.
struct ReportRecord {
    std::string name;          ///< as named on the command line
    SummaryRow summary;        ///< its summary row: absolute path, status, key figures
    std::vector<std::string> errors;   ///< the error lines printed for it, in order
    std::vector<std::string> warnings; ///< the warnings printed for it
    /// The state the analysis left (data, cycles, results); null when the
    /// record did not load.
    std::shared_ptr<const SharedState> state;
    RecordMetrics metrics;     ///< computed from state
    bool truncated = false;    ///< the 100-cycle limit cut the analysis
};

/// Everything the report shows.
struct ReportRequest {
    std::string path;          ///< the HTML file to write
    std::string generated;     ///< date and time of the call, as shown
    std::string program;       ///< "kov-batch 1.0.0"
    ReportSettings settings;
    std::vector<ReportRecord> records;
};

/// The page: a summary table with a row per record (its name linking to the
/// record's section, a failed record with its error lines), then for every
/// record that loaded a section that starts a new printed page, with the
/// loop (cycle end and peak steps marked, the envelope and its EEEP curves),
/// the per-cycle charts (energy and cumulative energy, damping, secant
/// stiffness relative to the first cycle), the envelope figures, the
/// per-cycle table and the settings. Charts are inline SVG; the page refers
/// to nothing outside itself. Every text from the user (names, paths,
/// units, messages) is escaped, and a byte that is not UTF-8 becomes U+FFFD.
/// Makes a QGuiApplication (offscreen) for the call when there is none.
std::string reportHtml(const ReportRequest &request);

/// Writes reportHtml to request.path whole or not at all
/// (writeFileAtomically). Returns false with error set ("Cannot write
/// r.html: Disk full (61)") when it cannot.
bool writeReport(const ReportRequest &request, std::string &error);

} // namespace kov
