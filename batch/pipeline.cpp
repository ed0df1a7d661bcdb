#include "batch/pipeline.h"

#include "batch/exports.h"
#include "batch/plotoutput.h"
#include "core/analysis/course.h"
#include "core/analysis/metrics.h"
#include "core/output/resultsfile.h"
#include "core/reader/recorddigest.h"

#include <ctime>
#include <memory>
#include <new>

namespace kov::batch {

namespace {

/// "3, 5-7, 9": the cycle numbers, runs of three or more joined.
std::string cycleList(const std::vector<int> &cycles)
{
    std::string text;
    for (std::size_t i = 0; i < cycles.size();) {
        std::size_t j = i;
        while (j + 1 < cycles.size() && cycles[j + 1] == cycles[j] + 1)
            ++j;
        if (!text.empty())
            text += ", ";
        text += std::to_string(cycles[i]);
        if (j >= i + 2)
            text += "-" + std::to_string(cycles[j]);
        else if (j == i + 1)
            text += ", " + std::to_string(cycles[j]);
        i = j + 1;
    }
    return text;
}

std::string failureLine(const Failure &f)
{
    return std::string(f.what()) + " (" + std::to_string(f.number()) + ")";
}

} // namespace

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

    // Every record starts from a fresh state, as if the program had just started.
    auto state = std::make_shared<SharedState>();
    applyStartValues(*state);
    const RecordReading &reading = plan.reading;
    applySettings(*state, reading.settings);
    state->setLimits(options.windowLimits ? WindowLimits : RecordLimits);
    // Opened exactly as named; only line 2 and the results name use the
    // normalised absolute path.
    state->DataFileName = plan.record;

    AutomaticCourse course;
    RecordDigest digest; // the record's SHA-256, in the reader's one pass
    try {
        if (reading.failure)
            throw *reading.failure;
        // Only the JSON and CSV files, the summary and the report show the
        // digest: a call without them does not compute it.
        const bool shown = options.json || options.csv || !options.summaryFile.empty() || !options.reportFile.empty();
        course = analyseRecord(*state, reading.convention, shown ? &digest : nullptr, options.deadband);
    } catch (const Failure &f) {
        // A header that could not be read says why; the reader's failures
        // keep the window's message.
        entry.errors.push_back(reading.failure
                                   ? std::string(f.what()) + " (" + std::to_string(f.number()) + ")"
                                   : "This file includes error data or you may mistake column or skip indication. (" +
                                         std::to_string(f.number()) + ")");
        if (const std::string hint = decimalCommaHint(options, reading, plan.record); !hint.empty())
            entry.errors.push_back(hint);
        entry.summary = failedSummaryRow(plan.absolute, f.number());
        entry.summary.sha256 = digest.sha256().value_or("");
        return outcome;
    }
    if (course.truncated)
        entry.warnings.push_back("only the first 100 cycles were analysed; the record goes on");
    if (course.noiseCycles > 0)
        entry.warnings.push_back(std::to_string(course.noiseCycles) +
                                 (course.noiseCycles == 1 ? " cycle looks" : " cycles look") +
                                 " like noise: the load stays above -5% of its largest absolute value before an "
                                 "upward zero crossing ends it (--deadband 5% joins such cycles to their neighbours)");
    if (!course.beyondFloatRange.empty())
        entry.warnings.push_back((course.beyondFloatRange.size() == 1 ? "cycle " : "cycles ") +
                                 cycleList(course.beyondFloatRange) +
                                 ": an energy is beyond the float range (written as Infinity, -Infinity or NaN; "
                                 "damping 0)");

    int recordError = 0; // the number of the record's first failure after loading
    auto fail = [&](const std::string &line, int number) {
        errorAt.resize(writes.files.size(), entry.errors.size());
        entry.errors.push_back(line);
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

    // The metrics are computed once from the state the course left, for
    // the JSON and CSV files, the summary and the report.
    if (!options.json && !options.csv && options.summaryFile.empty() && options.reportFile.empty()) {
        if (!options.plotFile.empty())
            entry.state = std::move(state);
        return outcome;
    }
    auto metrics = computeMetrics(*state, options);
    const ExportContext context{plan.absolute, reading.settings.xUnit, reading.settings.yUnit, course.truncated,
                                digest.sha256().value_or("")};
    // With --stdout, standard output carries the results tables only.
    std::string paths;
    writeMetricFiles(*state, metrics, context, options, plan, writes, options.toStdout ? nullptr : &paths,
                     [&](const std::string &line, int number) { fail(line, number); });
    outcome.out += paths;
    entry.summary = summaryRow(context.record, *state, metrics, recordError);
    entry.summary.noiseCycles = course.noiseCycles;
    entry.summary.sha256 = context.sha256;
    ReportSettings readWith;
    static_cast<Settings &>(readWith) = reading.settings;
    static_cast<MetricSettings &>(readWith) = options;
    entry.readWith = readWith;
    entry.truncated = course.truncated;
    if (!options.reportFile.empty())
        entry.metrics = std::move(metrics);
    if (!options.reportFile.empty() || !options.plotFile.empty())
        entry.state = std::move(state);
    return outcome;
}

} // namespace

RecordOutcome runRecord(const RecordPlan &plan, const Options &options, GroupPublisher &publisher)
{
    PendingWrites writes{publisher, {}};
    std::vector<std::size_t> errorAt;
    RecordOutcome outcome;
    bool listed = !options.toStdout;
    try {
        outcome = analyseAndWrite(plan, options, writes, errorAt);
    } catch (const std::bad_alloc &) {
        // A record too large for the memory left fails alone; the files it
        // wrote before are published, but not listed.
        outcome = RecordOutcome{};
        outcome.entry.name = plan.record;
        outcome.entry.errors.push_back(errorDescription(err::OutOfMemory) + " (" + std::to_string(err::OutOfMemory) +
                                       ")");
        outcome.entry.summary = failedSummaryRow(plan.absolute, err::OutOfMemory);
        errorAt.assign(writes.files.size(), outcome.entry.errors.size());
        listed = false;
    }
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
            listed += p.file.target + '\n';
        if (failures[k] == 0) {
            if (p.listed)
                kept += p.file.target + '\n';
            continue;
        }
        const std::size_t at = p.errorAt + inserted++;
        entry.errors.insert(entry.errors.begin() + static_cast<std::ptrdiff_t>(at),
                            writeFailureLine(failures[k], p.file.target));
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
