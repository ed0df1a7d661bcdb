#pragma once

#include "core/state/sharedstate.h"

namespace kov {

/// Proposes the end step and the two peak steps of cycle n = CycleNo from its
/// start step CycleEndStep(n-1): the next upward zero crossing of the load,
/// the step of the largest X and the step of the most negative X, and sets
/// MaxAbsX/MaxAbsY to the cycle's extremes. Returns true when the search
/// reached the last data row (the record has no further cycle). A search
/// that cannot run (start step + 1 > RowCount) ends the cycle at its start
/// step with both peaks 0 and returns true.
///
/// With a deadband above 0 an upward zero crossing ends the cycle only once
/// a load of the cycle before it reached -deadband, so that a load flickering
/// about zero does not start a new cycle at each flicker (kov-batch's
/// --deadband; the window searches with 0).
bool FindNextCycle(SharedState &state, double deadband = 0.0);

} // namespace kov
