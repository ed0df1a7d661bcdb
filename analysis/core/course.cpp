#include "analysis/core/course.h"

#include "analysis/core/cycle.h"
#include "reader/testrecord.h"

namespace kov {

void applyStartValues(SharedState &state)
{
    state.XColumn = 1;
    state.YColumn = 2;
    state.SkipLines = 5;
    state.DataLoaded = 0;
    state.XCoef = 1.0f;
    state.YCoef = 1.0f;
    state.CycleNo = 0;
    state.CycleEndStep(0) = 1;
    state.PeakStep(0, 0) = 1;
    state.PeakStep(1, 0) = 1;
    state.ScaleXMax = state.ScaleXMin = 0.0f;
    state.ScaleYMax = state.ScaleYMin = 0.0f;
}

AutomaticCourse analyseRecord(SharedState &state)
{
    // As "Draw": the analysis starts again at cycle 0 with start step 1, and
    // the record is counted and read afresh.
    state.DataLoaded = 0;
    state.CycleNo = 0;
    state.CycleEndStep(0) = 1;
    state.PeakStep(0, 0) = 1;
    state.PeakStep(1, 0) = 1;
    LoadTestRecord(state);

    // As "Next cycle" until the search reaches the last data row, accepting
    // every proposed step.
    AutomaticCourse course;
    for (;;) {
        ++state.CycleNo;
        const bool atEnd = FindNextCycle(state);
        runCycleComputation(state);
        course.cycles = state.CycleNo;
        if (cycleResultsBeyondFloatRange(state))
            course.beyondFloatRange.push_back(state.CycleNo);
        if (atEnd)
            break;
        if (state.CycleNo == MaxCycle) {
            course.truncated = true;
            break;
        }
    }
    return course;
}

} // namespace kov
