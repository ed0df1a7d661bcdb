#include "core/analysis/course.h"

#include "core/analysis/cycle.h"
#include "core/analysis/nextcycle.h"
#include "core/reader/testrecord.h"

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

bool proposeNextCycle(SharedState &state, double deadband)
{
    ++state.CycleNo;
    const bool atEnd = FindNextCycle(state, deadband);
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

} // namespace

AutomaticCourse analyseRecord(SharedState &state, const Deadband &deadband)
{
    return analyseRecord(state, RecordConvention{}, nullptr, deadband);
}

AutomaticCourse analyseRecord(SharedState &state, const RecordConvention &convention, RecordBytesSink *sink,
                              const Deadband &deadband)
{
    // As "Draw": the record is counted and read afresh.
    state.DataLoaded = 0;
    startCourse(state);
    LoadTestRecord(state, convention, sink);
    // The record's largest absolute load, before each search takes MaxAbsY over.
    const double largestLoad = static_cast<double>(state.MaxAbsY);
    const double band = deadband.percent ? deadband.value / 100.0 * largestLoad : deadband.value;

    // As "Next cycle" until the search reaches the last data row, accepting
    // every proposed step.
    AutomaticCourse course;
    for (;;) {
        const bool atEnd = proposeNextCycle(state, band);
        if (!atEnd && looksLikeNoise(state, largestLoad))
            ++course.noiseCycles;
        runCycleComputation(state);
        course.cycles = state.CycleNo;
        if (cycleResultsBeyondFloatRange(state))
            course.beyondFloatRange.push_back(state.CycleNo);
        if (atEnd)
            break;
        if (cycleLimitReached(state, atEnd)) {
            course.truncated = true;
            break;
        }
    }
    return course;
}

} // namespace kov
