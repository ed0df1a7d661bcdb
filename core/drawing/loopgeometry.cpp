#include "core/drawing/loopgeometry.h"

#include "core/analysis/cycle.h"

#include <algorithm>
#include <cmath>

namespace kov {

namespace {

double d(float v)
{
    return static_cast<double>(v);
}

} // namespace

UserCorners loopCorners(const SharedState &state)
{
    return {d(state.ScaleXMin), -d(state.ScaleYMax), d(state.ScaleXMax), -d(state.ScaleYMin)};
}

SharedState withRecordRange(const SharedState &loaded)
{
    SharedState s = loaded;
    s.MaxAbsX = 0.0f;
    s.MaxAbsY = 0.0f;
    const int rows = static_cast<int>(s.RowCount);
    for (int i = 1; i <= rows; ++i) {
        s.MaxAbsX = std::max(s.MaxAbsX, std::fabs(s.XData(i)));
        s.MaxAbsY = std::max(s.MaxAbsY, std::fabs(s.YData(i)));
    }
    AutoRange(s);
    SetMarkerRadius(s);
    return s;
}

bool isLongLoop(const SharedState &state)
{
    return state.RowCount > static_cast<float>(MaxStep) || state.CycleNo > MaxCycle;
}

std::vector<std::size_t> cycleSteps(const SharedState &state)
{
    const int rows = static_cast<int>(state.RowCount);
    std::vector<std::size_t> steps;
    for (int n = 0; n <= state.CycleNo; ++n)
        for (const int step : {int(state.CycleEndStep(n)), n > 0 ? int(state.PeakStep(0, n)) : 0,
                               n > 0 ? int(state.PeakStep(1, n)) : 0})
            if (step >= 1 && step <= rows)
                steps.push_back(static_cast<std::size_t>(step - 1));
    return steps;
}

} // namespace kov
