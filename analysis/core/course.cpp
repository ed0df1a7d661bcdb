#include "analysis/core/course.h"

#include "analysis/core/cycle.h"
#include "analysis/core/nextcycle.h"
#include "reader/testrecord.h"

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

bool proposeNextCycle(SharedState &state)
{
    ++state.CycleNo;
    const bool atEnd = FindNextCycle(state);
    ResetCycleResults(state);
    return atEnd;
}

bool cycleLimitReached(const SharedState &state, bool atEnd)
{
    return !atEnd && state.CycleNo >= state.limits().cycles;
}

AutomaticCourse analyseRecord(SharedState &state)
{
    // As "Draw": the record is counted and read afresh.
    state.DataLoaded = 0;
    startCourse(state);
    LoadTestRecord(state);

    // As "Next cycle" until the search reaches the last data row, accepting
    // every proposed step.
    AutomaticCourse course;
    for (;;) {
        const bool atEnd = proposeNextCycle(state);
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
