#include "batch/pipeline.h"

#include "batch/exports.h"
#include "batch/plotoutput.h"
#include "core/output/recordanalysis.h"
#include "core/output/resultsfile.h"

#include <ctime>
#include <memory>
#include <new>

namespace kov::batch {

namespace {

/// errorAt gets, for each file written to writes, the number of error
/// lines the record had before it; the caller completes it for the files
/// after the last failure.
RecordOutcome analyseAndWrite(const RecordPlan &plan, const Options &options, PendingWrites &writes,
                              std::vector<std::size_t> &errorAt)
{
    RecordOutcome outcome;
    ReportRecord &entry = outcome.entry;
    entry.name = plan.record;
    if (plan.skipped) {
        entry.summary = failedSummaryRow(plan.absolute, 0);
        entry.summary.skipped = true;
        return outcome;
    }

    // Only the JSON and CSV files, the summary and the report show the
    // digest and the metrics: a call without them computes neither.
    const bool shown = options.json || options.csv || !options.summaryFile.empty() ||
                       !options.compareFile.empty() || !options.reportFile.empty();
    RecordAnalysis analysis = analyseRecordFile(plan.record, options, plan.reading, {shown, shown});
    if (analysis.failed()) {
        entry.errors = std::move(analysis.errors);
        entry.summary = failedSummaryRow(plan.absolute, analysis.errorNumber);
        entry.summary.sha256 = analysis.context.sha256;
        // Too many files open is no fault of the data: with fewer records
        // at once it may not happen.
        outcome.outOfDescriptors = analysis.errorNumber == err::TooManyFiles;
        return outcome;
    }
    entry.warnings = std::move(analysis.warnings);
    std::shared_ptr<SharedState> state = std::move(analysis.state);
    const AutomaticCourse &course = analysis.course;

    int recordError = 0; // the number of the record's first failure after loading
    auto fail = [&](const std::string &line, int number) {
        errorAt.resize(writes.files.size(), entry.errors.size());
        entry.errors.push_back(line);
        if (number == err::TooManyFiles)
            outcome.outOfDescriptors = true;
        if (recordError == 0)
            recordError = number;
    };
    if (options.toStdout) {
        std::time_t t = std::time(nullptr);
        std::tm now{};
        localtime_r(&t, &now);
        try {
            outcome.out = resultsText(*state, now);
        } catch (const Failure &f) {
            fail(failureLine(f), f.number());
        }
    } else if (const PlannedFile *results = plan.find(OutputKind::Results); results && !results->taken.empty()) {
        fail(results->taken, err::FileExists);
    } else {
        try {
            outcome.out = WriteResultsFile(*state, &writes) + '\n';
        } catch (const Failure &f) {
            fail(failureLine(f), f.number());
        }
    }

    // The metrics were computed once from the state the course left, for
    // the JSON and CSV files, the summary and the report.
    if (!shown) {
        if (!options.plotFile.empty())
            entry.state = std::move(state);
        return outcome;
    }
    RecordMetrics &metrics = *analysis.metrics;
    const ExportContext &context = analysis.context;
    // With --stdout, standard output carries the results tables only.
    std::string paths;
    writeMetricFiles(*state, metrics, context, options, plan, writes, options.toStdout ? nullptr : &paths,
                     [&](const std::string &line, int number) { fail(line, number); });
    outcome.out += paths;
    entry.summary = summaryRow(context.record, *state, metrics, recordError);
    entry.summary.noiseCycles = course.noiseCycles;
    entry.summary.sha256 = context.sha256;
    entry.summary.xUnit = context.xUnit;
    entry.summary.yUnit = context.yUnit;
    entry.readWith = reportSettings(plan.reading.settings, options);
    entry.truncated = course.truncated;
    if (!options.reportFile.empty() || !options.compareFile.empty())
        entry.metrics = std::move(metrics);
    if (!options.reportFile.empty() || !options.plotFile.empty())
        entry.state = std::move(state);
    return outcome;
}

} // namespace

RecordOutcome runRecord(const RecordPlan &plan, const Options &options, Publisher &publisher)
{
    PendingWrites writes{publisher, {}};
    std::vector<std::size_t> errorAt;
    RecordOutcome outcome;
    bool listed = !options.toStdout;
    try {
        // The record's own options: the call's, or those of its campaign row.
        outcome = analyseAndWrite(plan, *plan.options, writes, errorAt);
    } catch (const std::bad_alloc &) {
        // A record too large for the memory left fails alone; the files it
        // wrote before are published, but not listed.
        outcome = RecordOutcome{};
        outcome.entry.name = plan.record;
        outcome.entry.errors.push_back(failureLine(err::OutOfMemory));
        outcome.entry.summary = failedSummaryRow(plan.absolute, err::OutOfMemory);
        errorAt.assign(writes.files.size(), outcome.entry.errors.size());
        listed = false;
    }
    outcome.entry.label = outcome.entry.summary.label = plan.label;
    outcome.entry.group = outcome.entry.summary.group = plan.group;
    errorAt.resize(writes.files.size(), outcome.entry.errors.size());
    outcome.pending.reserve(writes.files.size());
    for (std::size_t k = 0; k < writes.files.size(); ++k)
        outcome.pending.push_back({std::move(writes.files[k]), errorAt[k], listed});
    return outcome;
}

void publishedFiles(RecordOutcome &outcome, const int *failures)
{
    ReportRecord &entry = outcome.entry;
    std::string listed, kept; // the paths out lists, and those published
    std::size_t inserted = 0;
    for (std::size_t k = 0; k < outcome.pending.size(); ++k) {
        const RecordOutcome::Pending &p = outcome.pending[k];
        if (p.listed)
            listed += p.file.target() + '\n';
        if (failures[k] == 0) {
            if (p.listed)
                kept += p.file.target() + '\n';
            continue;
        }
        const std::size_t at = p.errorAt + inserted++;
        entry.errors.insert(entry.errors.begin() + static_cast<std::ptrdiff_t>(at),
                            writeFailureLine(failures[k], p.file.target()));
        if (at == 0) // now the record's first failure
            entry.summary.errorNumber = failures[k];
    }
    if (inserted > 0 && outcome.out == listed)
        outcome.out = kept;
    outcome.pending.clear();
}

void drawRecordPicture(RecordOutcome &outcome, const RecordPlan &plan, const Options &options)
{
    const PlannedFile *picture = plan.find(OutputKind::Picture);
    ReportRecord &entry = outcome.entry;
    if (picture == nullptr || !entry.state)
        return;
    std::string error = picture->taken;
    int number = err::FileExists;
    if (error.empty()) {
        if (writeRecordPlot(*entry.state, picture->path, options.plotScale, error))
            return;
        number = err::DeviceIO; // the picture reports no number of its own
    }
    entry.errors.insert(entry.errors.begin(), error);
    entry.summary.errorNumber = number;
}

void printErrorLines(std::ostream &err, const RecordOutcome &outcome)
{
    const ReportRecord &entry = outcome.entry;
    if (entry.summary.skipped)
        err << entry.name << ": skipped: a results file of kov, not a test record\n";
    for (const std::string &line : entry.warnings)
        err << entry.name << ": warning: " << line << '\n';
    for (const std::string &line : entry.errors)
        err << entry.name << ": " << line << '\n';
}

} // namespace kov::batch
