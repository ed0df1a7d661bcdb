#include "core/analysis/nextcycle.h"

#include "core/reader/numtext.h"

#include <cmath>

namespace kov {

bool FindNextCycle(SharedState &state, double deadband, bool *crossed)
{
    const int n = state.CycleNo;
    state.MaxAbsX = 0.0f;
    state.MaxAbsY = 0.0f;
    float minX = 0.0f;
    float minY = 0.0f;
    bool atLastRow = false;
    if (crossed)
        *crossed = false;
    state.SkipCrossing(n) = 0;
    state.PeakStep(0, n) = 0;
    state.PeakStep(1, n) = 0;

    const int start = state.CycleEndStep(n - 1);
    const double rowCount = static_cast<double>(state.RowCount);
    if (static_cast<double>(start) + 1.0 > rowCount) {
        // Nothing left to search: the cycle ends where it starts and the
        // record has no further cycle.
        state.CycleEndStep(n) = static_cast<std::int32_t>(start);
        return true;
    }

    for (int k = start + 1; static_cast<double>(k) <= rowCount; ++k) {
        const float x = state.XData(k);
        const float y = state.YData(k);
        if (x >= state.MaxAbsX) {
            state.MaxAbsX = x;
            state.PeakStep(0, n) = static_cast<std::int32_t>(k);
        }
        if (x <= minX) {
            minX = x;
            state.PeakStep(1, n) = static_cast<std::int32_t>(k);
        }
        if (y >= state.MaxAbsY)
            state.MaxAbsY = y;
        if (y <= minY)
            minY = y;

        // Upward zero crossing of the load. The product is rounded to float
        // before the comparison, so a product too small for a float counts
        // as 0 (the previous load is then taken as 0).
        bool stop = false;
        if (k > 2 && y > 0.0f && (deadband <= 0.0 || static_cast<double>(minY) <= -deadband)) {
            const float product = clampToFloat(static_cast<double>(y) * static_cast<double>(state.YData(k - 1)));
            if (product <= 0.0f) {
                if (state.SkipCrossing(n - 1) == 1) {
                    state.SkipCrossing(n - 1) = 0;
                } else {
                    state.CycleEndStep(n) = static_cast<std::int32_t>(k);
                    stop = true;
                    if (crossed)
                        *crossed = true;
                }
            }
        }
        if (static_cast<double>(k) == rowCount) {
            state.CycleEndStep(n) = static_cast<std::int32_t>(k);
            atLastRow = true;
        }
        if (stop)
            break;
    }

    if (std::fabs(minX) > state.MaxAbsX)
        state.MaxAbsX = std::fabs(minX);
    if (std::fabs(minY) > state.MaxAbsY)
        state.MaxAbsY = std::fabs(minY);
    return atLastRow;
}

void proposePeaks(SharedState &state, PeakRule rule)
{
    const int n = state.CycleNo;
    const int s = state.CycleEndStep(n - 1);
    const int e = state.CycleEndStep(n);
    float maxX = 0.0f;
    int p1 = 0;
    for (int k = s + 1; k <= e; ++k) {
        if (state.XData(k) >= maxX) {
            maxX = state.XData(k);
            p1 = k;
        }
    }
    float minX = 0.0f;
    int p2 = 0;
    for (int k = rule == PeakRule::Halves && p1 != 0 ? p1 + 1 : s + 1; k <= e; ++k) {
        if (state.XData(k) <= minX) {
            minX = state.XData(k);
            p2 = k;
        }
    }
    state.PeakStep(0, n) = static_cast<std::int32_t>(p1);
    state.PeakStep(1, n) = static_cast<std::int32_t>(p2);
}

} // namespace kov
