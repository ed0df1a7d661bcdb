#pragma once

#include "core/analysis/metrics.h"
#include "core/output/jsontext.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kov {

/// What the exported files tell besides the state: the record's normalised
/// absolute path (the state holds it as it was named), the unit texts as the
/// user gave them (the results file turns the state's units into labels)
/// and whether the 100-cycle limit cut the course.
struct ExportContext {
    std::string record;
    std::string xUnit;
    std::string yUnit;
    bool truncated = false;
    std::string sha256; ///< SHA-256 of the record's bytes as read, hexadecimal ("" when unknown)
    PeakRule peakRule = PeakRule::Window; ///< how the peaks were proposed
    bool rowRange = false;      ///< only rows.first..rows.last were analysed
    AnalysedRows rows;          ///< the rows analysed and the offsets subtracted
    ColumnOffset::Kind xOffset = ColumnOffset::Kind::None; ///< how the X offset was given
    ColumnOffset::Kind yOffset = ColumnOffset::Kind::None;
    std::string stepsFile;      ///< the steps file's normalised absolute path ("" when none)
    std::string stepsSha256;    ///< its SHA-256
};

/// The JSON document of an analysed record: the record's absolute path, the
/// program's version, the settings, RowCount and ColumnCount, the cycle table with the per-cycle
/// metrics, and both sides of the envelope with their EEEP curves. Keys in
/// a fixed order; null for a value that does not exist or is not finite.
JsonDocument metricsDocument(const SharedState &state, const RecordMetrics &metrics, const ExportContext &context);

/// jsonText of metricsDocument: the content of NAME-kov.json.
std::string metricsJson(const SharedState &state, const RecordMetrics &metrics, const ExportContext &context);

/// A cell of the per-cycle table: none, a whole number, a stored float, a
/// derived double (each printed in its own way) or a fixed text.
using CycleCell = std::variant<std::monostate, int, float, double, const char *, bool>;

/// What a column of the per-cycle table is measured in.
enum class ColumnUnit { None, X, Y, Energy, Stiffness };

/// A column of the per-cycle table, as the CSV and the report show it.
struct CycleColumn {
    const char *name;
    ColumnUnit unit;
    CycleCell (*value)(const CycleMetrics &);
};

/// The columns of the per-cycle table, in order: cycle, start_step,
/// end_step, closed, peak1_step, peak1_x, peak1_y, peak2_…, energy, total_energy,
/// strain_energy, damping, max_load, min_load, secant_stiffness,
/// residual_pos, residual_neg, level, role, beta, drift_pos, drift_neg,
/// inelastic_deformation, cumulative_inelastic_deformation.
const std::vector<CycleColumn> &cycleColumns();

/// The unit text of a column: load times displacement for energies
/// ("kN*mm"), load per displacement for stiffness ("kN/mm"); empty when the
/// units it is made of are, and for a column without unit.
std::string columnUnitText(ColumnUnit unit, const std::string &xUnit, const std::string &yUnit);

/// The cycle table as CSV (RFC 4180: CR LF line ends, a field holding a
/// comma, a quote or a line end quoted with its quotes doubled): one header
/// row, each column head followed by its unit in parentheses where it has
/// one ("energy (kN*mm)"), then one row per cycle, ending with the record's
/// provenance (record_sha256, version). A value that does not
/// exist is an empty cell; one that is not finite is written Infinity,
/// -Infinity or NaN, as in the results file.
std::string metricsCsv(const RecordMetrics &metrics, const ExportContext &context);

/// The levels of the loading protocol as CSV (as metricsCsv): level,
/// first_cycle, amplitude, x_pos, x_neg, cycles, repeats, trailing, ratio,
/// drift, loss_pos, loss_neg, loss3_pos, loss3_neg, then strength_pos_1..K
/// and strength_neg_1..K for the K repeats of the level that has the most
/// (empty beyond a level's own repeats). The content of NAME-kov-levels.csv.
std::string levelsCsv(const RecordMetrics &metrics, const ExportContext &context);

/// "pass", "fail" or "not reached"; empty without acceptance (no height).
std::string acceptanceText(const std::optional<Acceptance> &acceptance);

/// One row of the summary of a kov-batch call.
struct SummaryRow {
    std::string record;
    int errorNumber = 0; ///< 0: ok; else the number of the record's first failure
    bool skipped = false; ///< not a test record (an earlier results file): nothing analysed, nothing written
    std::optional<int> rows;
    std::optional<int> cycles;
    std::optional<float> totalEnergy;
    std::optional<double> meanDamping;
    std::optional<float> peakLoadPos;
    std::optional<float> peakLoadNeg;
    std::optional<double> ductilityPos;
    std::optional<double> ductilityNeg;
    std::optional<int> levels;
    std::optional<double> betaMin;
    std::string acceptance; ///< acceptanceText
    std::optional<int> noiseCycles; ///< cycles that look like noise (AutomaticCourse)
    std::string sha256; ///< of the record's bytes as read ("" when it was not read to its end)
    std::string xUnit;  ///< the units its values are in (those of an analysed record)
    std::string yUnit;
    std::string label;  ///< the record's label in a campaign (its base name by default)
    std::string group;  ///< its group in a campaign ("" none)
};

/// The summary row of an analysed record (errorNumber: a failure after the
/// analysis, such as a file that could not be written, or 0).
SummaryRow summaryRow(const std::string &record, const SharedState &state, const RecordMetrics &metrics,
                      int errorNumber);

/// The summary row of a record that did not load, or was skipped
/// (errorNumber 0, skipped set by the caller): its status alone.
SummaryRow failedSummaryRow(const std::string &record, int errorNumber);

/// The status of a summary row: "ok", "error N" or "skipped".
std::string statusText(const SummaryRow &row);

/// The summary as CSV, one row per record in the order given:
/// record,label,group,status,rows,cycles,total_energy,mean_damping,
/// peak_load_pos,peak_load_neg,ductility_pos,ductility_neg,levels,beta_min,
/// acceptance,noise_cycles,x_unit,y_unit,record_sha256,version; status "ok",
/// "error N" or "skipped". The heads of total_energy and the peak loads carry
/// their unit as the per-cycle CSV's do ("total_energy (kN*mm)") when every
/// analysed record has the same units, and none when they differ; x_unit and
/// y_unit give each analysed record's own.
std::string summaryCsv(const std::vector<SummaryRow> &rows);

/// One line of an RFC 4180 table as the files above write it (each cell
/// quoted where it must be, CR LF at the end).
std::string csvRow(const std::vector<std::string> &cells);

/// A number as the CSV files write it: shortest text, Infinity, -Infinity,
/// NaN; empty for none.
std::string csvValue(const std::optional<double> &value);

} // namespace kov
