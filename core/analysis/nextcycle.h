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
///
/// crossed, when given, is set to whether the search ended the cycle at an
/// upward zero crossing (false for a cycle that ends at the last data row
/// without one, the open tail of a record).
bool FindNextCycle(SharedState &state, double deadband = 0.0, bool *crossed = nullptr);

/// How the peak steps of a cycle are proposed.
enum class PeakRule {
    /// The window's: peak 1 the step of the largest X (at least 0), peak 2
    /// that of the smallest X (at most 0), both over the whole cycle s+1..e.
    Window,
    /// Each cycle's own halves: a cycle starts at an upward zero crossing,
    /// so its positive half comes first. Peak 1 as the window's; peak 2 the
    /// smallest X (at most 0) over p1+1..e only (s+1..e when p1 is 0), so
    /// that a cycle starting on the unloading branch of a larger one before
    /// it does not take that branch's first step as its negative peak.
    Halves,
};

/// Proposes both peak steps of cycle n = CycleNo over its steps s+1..e by
/// rule, as FindNextCycle does (the last of equal extremes; 0 when none
/// qualifies), for an end step that is already set.
void proposePeaks(SharedState &state, PeakRule rule);

} // namespace kov
