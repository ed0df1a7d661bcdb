#pragma once

#include "app/core/sharedstate.h"

#include <string>
#include <vector>

namespace kov {

/// The start values the main window's start-up gives the shared state:
/// XColumn 1, YColumn 2, SkipLines 5, coefficients 1, CycleEndStep(0) 1,
/// both peak steps of cycle 0 set to 1, all range values 0.
void applyStartValues(SharedState &state);

/// Outcome of analysing every cycle of a loaded record automatically.
struct AutomaticCourse {
    int cycles = 0;         ///< cycles analysed (CycleNo at the end)
    bool truncated = false; ///< cycle 100 was analysed and the record goes on
    std::vector<int> beyondFloatRange; ///< cycles whose results overflowed, ascending
};

/// What a user gets by pressing "Draw" on a loaded state, then "Next cycle"
/// until it is disabled, accepting every proposed step: resets the analysis
/// to cycle 0 (start step 1), LoadTestRecord, then for each cycle
/// FindNextCycle and runCycleComputation, up to cycle 100.
/// Throws the reader's Failure when the record does not load.
AutomaticCourse analyseRecord(SharedState &state);

} // namespace kov
