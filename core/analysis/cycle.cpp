#include "core/analysis/cycle.h"

#include "core/reader/numtext.h"

#include <cmath>

namespace kov {

namespace {

/// Rounds a cycle result to the float it is stored as. A magnitude beyond
/// the float range becomes +-infinity and stays so in later sums (or turns
/// into NaN), exactly as float arithmetic gives it: a result is never
/// clamped to a plausible-looking number.
float storeResult(double value)
{
    return static_cast<float>(value);
}

/// Rounds a plot range value to float; beyond the float range it is held at
/// the largest float, so the picture keeps a finite range.
float storeRange(double value)
{
    return clampToFloat(value);
}

double d(float value)
{
    return static_cast<double>(value);
}

} // namespace

void ResetCycleResults(SharedState &state)
{
    const int n = state.CycleNo;
    state.CycleEnergy(n) = 0.0f;
    state.TotalEnergy(n) = 0.0f;
    state.CycleDamping(n) = 0.0f;
    state.ResultDamping(n) = 0.0f;
    state.CycleStrainEnergy(n) = 0.0f;
}

void AddSegment(SharedState &state, int i)
{
    // Trapezoid rule: the signed X increment times the mean load, added to
    // the stored partial sum.
    const int n = state.CycleNo;
    const double dx = d(state.XData(i)) - d(state.XData(i - 1));
    const double sumY = d(state.YData(i - 1)) + d(state.YData(i));
    state.CycleEnergy(n) = storeResult(dx * sumY / 2.0 + d(state.CycleEnergy(n)));
}

void FinishCycle(SharedState &state)
{
    const int n = state.CycleNo;
    state.TotalEnergy(n) = storeResult(d(state.TotalEnergy(n - 1)) + d(state.CycleEnergy(n)));

    // Elastic strain energy: the triangles between the origin and each peak.
    const int p1 = state.PeakStep(0, n);
    const int p2 = state.PeakStep(1, n);
    state.StrainEnergy = storeResult(d(state.YData(p2)) * d(state.XData(p2)) / 2.0 +
                               d(state.XData(p1)) * d(state.YData(p1)) / 2.0);
    state.CycleStrainEnergy(n) = state.StrainEnergy;

    // Equivalent viscous damping: absorbed energy over 2 pi times the strain
    // energy, with 2 pi taken as 6.28318. Without strain energy (or when the
    // quotient is not a finite float, as with an energy beyond the float
    // range) the factor is 0.
    float damping = 0.0f;
    if (state.StrainEnergy != 0.0f) {
        const double q = d(state.CycleEnergy(n)) / 6.28318 / d(state.StrainEnergy);
        // Below FLT_MAX + half an ulp the quotient rounds to a finite float.
        if (std::isfinite(q) && std::fabs(q) < 0x1.ffffffp127)
            damping = static_cast<float>(q);
    }
    state.CycleDamping(n) = damping;
    state.ResultDamping(n) = state.CycleDamping(n);
}

void AutoRange(SharedState &state)
{
    state.ScaleXMax = storeRange(d(state.MaxAbsX) * 1.1);
    state.ScaleYMax = storeRange(d(state.MaxAbsY) * 1.1);
    state.ScaleXMin = storeRange(d(state.MaxAbsX) * -1.1);
    state.ScaleYMin = storeRange(d(state.MaxAbsY) * -1.1);
}

void SetMarkerRadius(SharedState &state)
{
    state.MarkerRadius = storeRange((d(state.ScaleXMax) - d(state.ScaleXMin)) / 100.0);
}

bool cycleResultsBeyondFloatRange(const SharedState &state)
{
    const int n = state.CycleNo;
    return !std::isfinite(state.CycleEnergy(n)) || !std::isfinite(state.TotalEnergy(n)) ||
           !std::isfinite(state.StrainEnergy);
}

void finishCycleFrom(SharedState &state, int first, int last)
{
    for (int i = first; i <= last; ++i)
        AddSegment(state, i);
    FinishCycle(state);
}

bool runCycleComputation(SharedState &state, const CycleSteps &steps)
{
    const int n = state.CycleNo;
    ResetCycleResults(state);
    const int s = state.CycleEndStep(n - 1);
    const int e = state.CycleEndStep(n);
    if (!steps.drawStep && !steps.segmentAdded) {
        finishCycleFrom(state, s + 1, e); // nothing to show along the way
        return true;
    }
    for (int i = s; i <= e; ++i) {
        if (steps.drawStep)
            steps.drawStep(i);
        if (i != s) {
            AddSegment(state, i);
            if (steps.segmentAdded && !steps.segmentAdded(i))
                return false;
        }
    }
    FinishCycle(state);
    return true;
}

} // namespace kov
