#include "core/analysis/course.h"

#include "core/analysis/cycle.h"
#include "core/analysis/nextcycle.h"
#include "core/reader/numtext.h"
#include "core/reader/testrecord.h"

#include <algorithm>
#include <cmath>

namespace kov {

void applyStartValues(SharedState &state)
{
    applySettings(state, Settings{});
    state.DataLoaded = 0;
    startCourse(state);
    state.ScaleXMax = state.ScaleXMin = 0.0f;
    state.ScaleYMax = state.ScaleYMin = 0.0f;
}

void startCourse(SharedState &state)
{
    state.CycleNo = 0;
    state.CycleEndStep(0) = CourseStartStep;
    state.PeakStep(0, 0) = CourseStartStep;
    state.PeakStep(1, 0) = CourseStartStep;
}

bool proposeNextCycle(SharedState &state, double deadband, PeakRule rule, bool *crossed)
{
    ++state.CycleNo;
    const bool atEnd = FindNextCycle(state, deadband, crossed);
    if (rule != PeakRule::Window)
        proposePeaks(state, rule);
    ResetCycleResults(state);
    return atEnd;
}

bool cycleLimitReached(const SharedState &state, bool atEnd)
{
    return !atEnd && state.CycleNo >= state.limits().cycles;
}

namespace {

/// True when the loads of cycle n = CycleNo before its end step never fell
/// below -NoiseShare times largestLoad.
bool looksLikeNoise(const SharedState &state, double largestLoad)
{
    const int n = state.CycleNo;
    for (int k = state.CycleEndStep(n - 1) + 1; k < state.CycleEndStep(n); ++k)
        if (static_cast<double>(state.YData(k)) <= -NoiseShare * largestLoad)
            return false;
    return true;
}

[[noreturn]] void inputFailure(int number, const std::string &description)
{
    throw Failure(number, description, Failure::Kind::Input);
}

/// Keeps only the rows of the range as steps 1.., then subtracts the
/// offsets; MaxAbsX and MaxAbsY follow the rows analysed.
AnalysedRows selectRows(SharedState &state, const CourseOptions &options)
{
    const long long rows = static_cast<long long>(state.RowCount);
    AnalysedRows r{options.firstRow.value_or(1), options.lastRow.value_or(rows), 0.0, 0.0};
    const bool offsets = options.xOffset.kind != ColumnOffset::Kind::None ||
                         options.yOffset.kind != ColumnOffset::Kind::None;
    if (!options.firstRow && !options.lastRow && !offsets)
        return r;
    if (r.first > rows || r.last > rows)
        inputFailure(err::OutOfRange, "--rows " + std::to_string(r.first) + ":" + std::to_string(r.last) +
                                          ": the record has " + std::to_string(rows) + " data rows");
    const long long count = r.last - r.first + 1;
    for (long long k = 1; k <= count; ++k) {
        state.XData(k) = state.XData(k + r.first - 1);
        state.YData(k) = state.YData(k + r.first - 1);
    }
    state.RowCount = static_cast<float>(count);
    auto apply = [&](StepArray &data, const ColumnOffset &offset, double &value, const char *axis) {
        if (offset.kind == ColumnOffset::Kind::None)
            return;
        value = offset.kind == ColumnOffset::Kind::FirstRow ? static_cast<double>(data(1)) : offset.value;
        for (long long k = 1; k <= count; ++k) {
            const float v = static_cast<float>(static_cast<double>(data(k)) - value);
            if (!std::isfinite(v))
                inputFailure(err::Overflow, std::string("--") + axis + "-offset: the value of step " +
                                                std::to_string(k) + " less the offset is beyond the float range");
            data(k) = v;
        }
    };
    apply(state.XData, options.xOffset, r.xOffset, "x");
    apply(state.YData, options.yOffset, r.yOffset, "y");
    float maxX = 0.0f, maxY = 0.0f;
    for (long long k = 1; k <= count; ++k) {
        maxX = std::max(maxX, std::fabs(state.XData(k)));
        maxY = std::max(maxY, std::fabs(state.YData(k)));
    }
    state.MaxAbsX = maxX;
    state.MaxAbsY = maxY;
    return r;
}

/// Replaces the proposed steps of cycle n = CycleNo by the correction's.
/// Returns whether the end step moved; sets the names of the steps changed.
bool applyCorrection(SharedState &state, const StepCorrection &c, const CourseOptions &options, PeakRule rule,
                     std::vector<std::string> &corrected)
{
    const int n = state.CycleNo;
    const long long rows = static_cast<long long>(state.RowCount);
    const int s = state.CycleEndStep(n - 1);
    const std::string where = options.correctionsName + " line " + std::to_string(c.line) + ": cycle " +
                              std::to_string(c.cycle) + ": ";
    auto check = [&](const char *name, int step, bool peak, int end) {
        const std::string what = where + name + " " + std::to_string(step);
        if (peak && step == 0)
            return;
        if (step < 0 || step > rows)
            inputFailure(err::OutOfRange, what + " lies outside the record (steps 1 to " + std::to_string(rows) + ")");
        if (step <= s)
            inputFailure(err::OutOfRange, what + " is not after the cycle's start, step " + std::to_string(s));
        if (peak && step > end)
            inputFailure(err::OutOfRange, what + " lies after the cycle's end, step " + std::to_string(end));
    };
    bool moved = false;
    if (c.endStep) {
        check("end_step", *c.endStep, false, 0);
        if (*c.endStep != state.CycleEndStep(n)) {
            state.CycleEndStep(n) = static_cast<std::int32_t>(*c.endStep);
            // As the step buttons: the next search passes over a crossing
            // right after an end step whose load is not above 0.
            state.SkipCrossing(n) = state.YData(*c.endStep) > 0.0f ? 0 : 1;
            proposePeaks(state, rule);
            corrected.push_back("end_step");
            moved = true;
        }
    }
    const int e = state.CycleEndStep(n);
    for (int k = 0; k < 2; ++k) {
        const std::optional<int> &step = k == 0 ? c.peak1Step : c.peak2Step;
        const char *name = k == 0 ? "peak1_step" : "peak2_step";
        if (!step)
            continue;
        check(name, *step, true, e);
        if (*step != state.PeakStep(k, n)) {
            state.PeakStep(k, n) = static_cast<std::int32_t>(*step);
            corrected.push_back(name);
        }
    }
    return moved;
}

/// An upward zero crossing of the load at step k, as the search takes it.
bool upwardCrossingAt(const SharedState &state, int k)
{
    const float y = state.YData(k);
    return k > 2 && y > 0.0f && clampToFloat(static_cast<double>(y) * static_cast<double>(state.YData(k - 1))) <= 0.0f;
}

} // namespace

std::optional<RestStart> restAtStart(const SharedState &state)
{
    const long long rows = static_cast<long long>(state.RowCount);
    if (rows <= MinRestRows)
        return std::nullopt;
    float xMin = state.XData(1), xMax = xMin, yMin = state.YData(1), yMax = yMin;
    for (long long k = 2; k <= rows; ++k) {
        xMin = std::min(xMin, state.XData(k));
        xMax = std::max(xMax, state.XData(k));
        yMin = std::min(yMin, state.YData(k));
        yMax = std::max(yMax, state.YData(k));
    }
    const double xBand = RestShare * (static_cast<double>(xMax) - static_cast<double>(xMin));
    const double yBand = RestShare * (static_cast<double>(yMax) - static_cast<double>(yMin));
    long long k = 2;
    auto near = [](float v, float first, double band) {
        return std::fabs(static_cast<double>(v) - static_cast<double>(first)) <= band;
    };
    while (k <= rows && near(state.XData(k), state.XData(1), xBand) && near(state.YData(k), state.YData(1), yBand))
        ++k;
    if (k - 1 < MinRestRows || k > rows)
        return std::nullopt;
    return RestStart{k - 1, state.XData(k), state.YData(k)};
}

std::optional<RestStart> recordRestAtStart(const std::string &record, const Settings &settings,
                                           const RecordConvention &convention)
{
    SharedState state;
    applySettings(state, settings);
    state.setLimits(RecordLimits);
    state.DataFileName = record;
    try {
        LoadTestRecord(state, convention, nullptr);
    } catch (const Failure &) {
        return std::nullopt;
    }
    return restAtStart(state);
}

AutomaticCourse analyseRecord(SharedState &state, const Deadband &deadband)
{
    return analyseRecord(state, RecordConvention{}, nullptr, deadband);
}

AutomaticCourse analyseRecord(SharedState &state, const RecordConvention &convention, RecordBytesSink *sink,
                              const Deadband &deadband)
{
    CourseOptions options;
    options.deadband = deadband;
    return analyseRecord(state, convention, sink, options);
}

AutomaticCourse analyseRecord(SharedState &state, const RecordConvention &convention, RecordBytesSink *sink,
                              const CourseOptions &options)
{
    // As "Draw": the record is counted and read afresh.
    state.DataLoaded = 0;
    startCourse(state);
    LoadTestRecord(state, convention, sink);
    return analyseLoadedRecord(state, options);
}

AutomaticCourse analyseLoadedRecord(SharedState &state, const CourseOptions &options)
{
    startCourse(state);
    AutomaticCourse course;
    course.rows = selectRows(state, options);
    // The record's largest absolute load, before each search takes MaxAbsY over.
    const double largestLoad = static_cast<double>(state.MaxAbsY);
    const Deadband &deadband = options.deadband;
    const double band = deadband.percent ? deadband.value / 100.0 * largestLoad : deadband.value;
    const std::vector<StepCorrection> none;
    const std::vector<StepCorrection> &corrections = options.corrections ? *options.corrections : none;
    auto correction = corrections.begin();

    // As "Next cycle" until the search reaches the last data row, accepting
    // every proposed step but those the user corrects.
    for (;;) {
        CourseCycle cycle;
        bool atEnd = proposeNextCycle(state, band, options.peakRule, &cycle.closed);
        if (correction != corrections.end() && correction->cycle == state.CycleNo) {
            if (applyCorrection(state, *correction, options, options.peakRule, cycle.corrected)) {
                const int e = state.CycleEndStep(state.CycleNo);
                atEnd = static_cast<double>(e) >= static_cast<double>(state.RowCount);
                cycle.closed = !atEnd || upwardCrossingAt(state, e);
            }
            ++correction;
        }
        if (cycle.closed && looksLikeNoise(state, largestLoad))
            ++course.noiseCycles;
        runCycleComputation(state);
        course.cycles = state.CycleNo;
        course.perCycle.push_back(std::move(cycle));
        if (cycleResultsBeyondFloatRange(state))
            course.beyondFloatRange.push_back(state.CycleNo);
        if (atEnd)
            break;
        if (cycleLimitReached(state, atEnd)) {
            course.truncated = true;
            break;
        }
    }
    if (correction != corrections.end())
        inputFailure(err::OutOfRange, options.correctionsName + " line " + std::to_string(correction->line) +
                                          ": cycle " + std::to_string(correction->cycle) + ": the record has " +
                                          std::to_string(course.cycles) + (course.cycles == 1 ? " cycle" : " cycles"));
    return course;
}

} // namespace kov
