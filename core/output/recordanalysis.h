#pragma once

// One record from its file to its results, JSON and CSV texts: the whole
// per-record analysis of kov-batch, for any front end without a window.

#include "core/analysis/course.h"
#include "core/analysis/metrics.h"
#include "core/output/metricsexport.h"
#include "core/reader/recordreading.h"
#include "core/state/sharedstate.h"

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kov {

/// Everything that decides a record's results: how it is read, how it is
/// analysed and what the metrics depend on. The defaults are the window's
/// start values, with each cycle's own peaks and the E2126 envelope.
struct RecordOptions : ReadingOptions, MetricSettings {
    bool windowLimits = false; ///< the window's 2000 rows and 100 cycles (else any number)
    Deadband deadband;         ///< 0: every upward zero crossing ends a cycle
    PeakRule peakRule = PeakRule::Halves;
    std::optional<long long> firstRow; ///< analyse only data rows firstRow..lastRow (from 1)
    std::optional<long long> lastRow;
    ColumnOffset xOffset;      ///< subtracted from every X
    ColumnOffset yOffset;
    /// A steps file of corrections ("" none); %n stands for the record's base
    /// name, and with %n a record without its file has no corrections.
    std::string stepsFile;
};

/// What became of one record. When errors is empty the record was analysed:
/// state holds its data and cycles as the automatic course left them.
struct RecordAnalysis {
    std::shared_ptr<SharedState> state;
    AutomaticCourse course;
    std::optional<RecordMetrics> metrics; ///< when asked for
    ExportContext context;                ///< the record's absolute path, units and SHA-256
    std::vector<std::string> warnings;    ///< the course's warnings, one line each
    /// Why the record failed, one line each ("DESCRIPTION (N)", then hints);
    /// empty when it was analysed.
    std::vector<std::string> errors;
    int errorNumber = 0; ///< the number of the failure; 0 when analysed

    bool failed() const { return !errors.empty(); }
};

/// What analyseRecordFile computes besides the course.
struct AnalysisParts {
    bool digest = true;  ///< the record's SHA-256, in the reader's pass
    bool metrics = true; ///< the metrics of the cycles
};

/// Reads the record named record (opened exactly as named) as reading says,
/// on a fresh state as if the program had just started, and runs the
/// automatic course with the options' limits and deadband. A record that
/// does not load fails with the window's message and its error number (a
/// header that could not be read: with its own description), followed by
/// the hint about decimal commas where it applies; a steps file, row range
/// or offset that does not fit the record fails with a line that says why.
/// Never throws Failure.
RecordAnalysis analyseRecordFile(const std::string &record, const RecordOptions &options,
                                 const RecordReading &reading, const AnalysisParts &parts = {});

/// The reading of analyseRecordFile alone: the record read into a fresh
/// state (its course started, no cycle analysed), its context with the
/// SHA-256 when digest is set, and the same failures. The state is for
/// analyseReadRecord, which never changes it.
RecordAnalysis readRecordFile(const std::string &record, const RecordOptions &options, const RecordReading &reading,
                              bool digest = true);

/// The analysis of a record that readRecordFile read (without failure), on
/// a copy of its state, with the options' course (deadband, peak rule, row
/// range, offsets, steps file) and metric settings (the limits are those it
/// was read with): the same course, warnings, metrics and failures as
/// analyseRecordFile of the same file, without reading it again.
RecordAnalysis analyseReadRecord(const RecordAnalysis &read, const RecordOptions &options, bool metrics = true);

/// The results file's text with the date and time now (line 2). Throws
/// Failure 9 for a peak step outside the steps the results file can hold.
std::string recordResultsText(const RecordAnalysis &analysis, const std::tm &now);

/// NAME-kov.json, NAME-kov.csv and NAME-kov-levels.csv of an analysed record
/// whose metrics were computed.
std::string recordJson(const RecordAnalysis &analysis);
std::string recordCsv(const RecordAnalysis &analysis);
std::string recordLevelsCsv(const RecordAnalysis &analysis);

} // namespace kov
