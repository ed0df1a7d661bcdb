#pragma once

#include "core/state/sharedstate.h"

#include <functional>

namespace kov {

// The computation of one cycle n = state.CycleNo. Callers guarantee
// 1 <= CycleNo <= 100 and steps within 0..2000; an index outside the arrays
// fails with error 9 and changes nothing further.

/// CycleEnergy(n), TotalEnergy(n), CycleDamping(n), ResultDamping(n) and
/// CycleStrainEnergy(n) <- 0.
void ResetCycleResults(SharedState &state);

/// Adds the trapezoid of the segment from step i-1 to step i to CycleEnergy(n):
/// (X(i) - X(i-1)) * (Y(i-1) + Y(i)) / 2 + CycleEnergy(n), in double from the
/// stored floats, rounded to float when stored; beyond the float range the
/// sum is +-infinity (never clamped).
void AddSegment(SharedState &state, int i);

/// TotalEnergy(n), StrainEnergy (kept per cycle in CycleStrainEnergy(n)) and
/// the equivalent damping factor
/// CycleDamping(n) = ResultDamping(n) = CycleEnergy(n) / 6.28318 / StrainEnergy.
/// Results beyond the float range are stored as +-infinity or NaN. A
/// StrainEnergy of 0 or a quotient that is not a finite float gives damping 0.
void FinishCycle(SharedState &state);

/// True when the cycle just computed (n = CycleNo) has an energy, total or
/// strain energy beyond the float range (+-infinity or NaN): its damping is
/// then 0 or meaningless, and the user is to be warned.
bool cycleResultsBeyondFloatRange(const SharedState &state);

/// Automatic plot range from MaxAbsX/MaxAbsY: ScaleXMax = MaxAbsX x 1.1,
/// ScaleXMin = MaxAbsX x (-1.1), likewise for Y; products in double, each
/// rounded to float.
void AutoRange(SharedState &state);

/// MarkerRadius = (ScaleXMax - ScaleXMin) / 100, rounded to float.
void SetMarkerRadius(SharedState &state);

/// Hooks a caller may give runCycleComputation to show the cycle as it is
/// computed. Every hook may be empty.
struct CycleSteps {
    /// Called for every step i = s..e before its segment is added (draws it).
    std::function<void(int i)> drawStep;
    /// Called after the segment ending at step i (s < i <= e) was added.
    /// Returning false stops the computation there (it was superseded).
    std::function<bool(int i)> segmentAdded;
};

/// Finishes the computation of cycle n = CycleNo whose segments up to step
/// first - 1 are already summed in CycleEnergy(n): AddSegment(i) for
/// i = first..last, then FinishCycle. The one tail of a cycle's computation,
/// for a computation run whole (last = CycleEndStep(n)) and for one taken
/// over half way, which ends at the end step it started with.
void finishCycleFrom(SharedState &state, int first, int last);

/// The whole computation of cycle n in the order the cycle view uses:
/// ResetCycleResults, for i = s..e the step hook and (i != s) AddSegment(i)
/// with its hook, then FinishCycle. s = CycleEndStep(n-1), e = CycleEndStep(n).
/// Returns false when a hook stopped it (FinishCycle has then not run).
bool runCycleComputation(SharedState &state, const CycleSteps &steps = {});

} // namespace kov
