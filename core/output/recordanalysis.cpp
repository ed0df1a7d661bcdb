#include "core/output/recordanalysis.h"

#include "core/output/resultsfile.h"
#include "core/reader/recorddigest.h"
#include "core/reader/testrecord.h"

#include <filesystem>

namespace kov {

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

std::vector<std::string> courseWarnings(const AutomaticCourse &course)
{
    std::vector<std::string> lines;
    if (course.truncated)
        lines.push_back("only the first 100 cycles were analysed; the record goes on");
    if (course.noiseCycles > 0)
        lines.push_back(std::to_string(course.noiseCycles) +
                        (course.noiseCycles == 1 ? " cycle looks" : " cycles look") +
                        " like noise: the load stays above -5% of its largest absolute value before an "
                        "upward zero crossing ends it (--deadband 5% joins such cycles to their neighbours)");
    if (!course.beyondFloatRange.empty())
        lines.push_back((course.beyondFloatRange.size() == 1 ? "cycle " : "cycles ") +
                        cycleList(course.beyondFloatRange) +
                        ": an energy is beyond the float range (written as Infinity, -Infinity or NaN; "
                        "damping 0)");
    return lines;
}

} // namespace

namespace {

/// A fresh state as if the program had just started, set up to read the
/// record, and the record's context.
RecordAnalysis freshRecord(const std::string &record, const RecordOptions &options, const RecordReading &reading)
{
    RecordAnalysis a;
    a.context.record = normalisedAbsolutePath(record);
    a.context.xUnit = reading.settings.xUnit;
    a.context.yUnit = reading.settings.yUnit;
    a.state = std::make_shared<SharedState>();
    SharedState &state = *a.state;
    applyStartValues(state);
    applySettings(state, reading.settings);
    state.setLimits(options.windowLimits ? WindowLimits : RecordLimits);
    // Opened exactly as named; only line 2 and the results name use the
    // normalised absolute path.
    state.DataFileName = record;
    return a;
}

/// The course's options from the record's, told in the context too.
CourseOptions courseOptions(const RecordOptions &options, ExportContext &context)
{
    CourseOptions course;
    course.deadband = options.deadband;
    course.peakRule = options.peakRule;
    course.firstRow = options.firstRow;
    course.lastRow = options.lastRow;
    course.xOffset = options.xOffset;
    course.yOffset = options.yOffset;
    context.peakRule = options.peakRule;
    context.rowRange = options.firstRow || options.lastRow;
    context.xOffset = options.xOffset.kind;
    context.yOffset = options.yOffset.kind;
    return course;
}

/// Reads the record's steps file, when the options name one, into steps
/// for the course; throws its failure.
void readSteps(const std::string &record, const RecordOptions &options, std::optional<StepsFile> &steps,
               CourseOptions &course, ExportContext &context)
{
    if (options.stepsFile.empty())
        return;
    const std::string name = withBaseName(options.stepsFile, std::filesystem::path(record).stem().string());
    // With %n, a record may have no steps file of its own.
    if (name == options.stepsFile || std::filesystem::exists(name)) {
        steps = readStepsFile(name);
        course.corrections = &steps->corrections;
        course.correctionsName = name;
        context.stepsFile = normalisedAbsolutePath(name);
        context.stepsSha256 = steps->sha256;
    }
}

/// The record's failure lines and number. A header or a workbook that could
/// not be read, input that does not fit the record or is of a kind not
/// read, and too many files open (no fault of the data) say why; the
/// reader's other failures keep the window's message, followed by the hint about
/// decimal commas where it applies (with reading).
void setFailure(RecordAnalysis &a, const Failure &f, const std::string &record, const RecordOptions &options,
                const RecordReading *reading)
{
    const bool explained = (reading && reading->failure) || f.number() == err::BadFileFormat ||
                           f.kind() == Failure::Kind::Input || f.number() == err::TooManyFiles;
    a.errors.push_back(explained ? failureLine(f)
                                 : failureLine("This file includes error data or you may mistake column or "
                                               "skip indication.",
                                               f.number()));
    if (const std::string hint =
            f.kind() == Failure::Kind::Input || !reading ? "" : decimalCommaHint(options, *reading, record);
        !hint.empty())
        a.errors.push_back(hint);
    a.errorNumber = f.number();
}

/// The course's outcome and the metrics, once the course has run.
void finishAnalysis(RecordAnalysis &a, const RecordOptions &options, bool metrics)
{
    a.context.truncated = a.course.truncated;
    a.context.rows = a.course.rows;
    a.warnings = courseWarnings(a.course);
    if (metrics)
        a.metrics = computeMetrics(*a.state, options, a.course.perCycle);
}

} // namespace

RecordAnalysis analyseRecordFile(const std::string &record, const RecordOptions &options,
                                 const RecordReading &reading, const AnalysisParts &parts)
{
    RecordAnalysis a = freshRecord(record, options, reading);
    CourseOptions course = courseOptions(options, a.context);
    RecordDigest digest; // the record's SHA-256, in the reader's one pass
    std::optional<StepsFile> steps;
    try {
        if (reading.failure)
            throw *reading.failure;
        readSteps(record, options, steps, course, a.context);
        a.course = analyseRecord(*a.state, reading.convention, parts.digest ? &digest : nullptr, course);
    } catch (const Failure &f) {
        setFailure(a, f, record, options, &reading);
        a.context.sha256 = digest.sha256().value_or("");
        return a;
    }
    a.context.sha256 = digest.sha256().value_or("");
    finishAnalysis(a, options, parts.metrics);
    return a;
}

RecordAnalysis readRecordFile(const std::string &record, const RecordOptions &options, const RecordReading &reading,
                              bool digest)
{
    RecordAnalysis a = freshRecord(record, options, reading);
    RecordDigest sink;
    try {
        if (reading.failure)
            throw *reading.failure;
        a.state->DataLoaded = 0;
        startCourse(*a.state);
        LoadTestRecord(*a.state, reading.convention, digest ? &sink : nullptr);
    } catch (const Failure &f) {
        setFailure(a, f, record, options, &reading);
    }
    a.context.sha256 = sink.sha256().value_or("");
    return a;
}

RecordAnalysis analyseReadRecord(const RecordAnalysis &read, const RecordOptions &options, bool metrics)
{
    RecordAnalysis a;
    a.context = read.context;
    a.state = std::make_shared<SharedState>(*read.state);
    CourseOptions course = courseOptions(options, a.context);
    std::optional<StepsFile> steps;
    try {
        readSteps(a.state->DataFileName, options, steps, course, a.context);
        a.course = analyseLoadedRecord(*a.state, course);
    } catch (const Failure &f) {
        setFailure(a, f, a.state->DataFileName, options, nullptr);
        return a;
    }
    finishAnalysis(a, options, metrics);
    return a;
}

std::string recordResultsText(const RecordAnalysis &analysis, const std::tm &now)
{
    // The results text turns the state's units into its labels, as the
    // window does when it writes; they are put back so that the text comes
    // out the same however often it is asked for.
    SharedState &state = *analysis.state;
    const std::string xUnit = state.XUnit, yUnit = state.YUnit;
    std::string text;
    try {
        text = resultsText(state, now);
    } catch (...) {
        state.XUnit = xUnit;
        state.YUnit = yUnit;
        throw;
    }
    state.XUnit = xUnit;
    state.YUnit = yUnit;
    return text;
}

std::string recordJson(const RecordAnalysis &analysis)
{
    return metricsJson(*analysis.state, *analysis.metrics, analysis.context);
}

std::string recordCsv(const RecordAnalysis &analysis)
{
    return metricsCsv(*analysis.metrics, analysis.context);
}

std::string recordLevelsCsv(const RecordAnalysis &analysis)
{
    return levelsCsv(*analysis.metrics, analysis.context);
}

} // namespace kov
