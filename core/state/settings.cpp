#include "core/state/settings.h"

namespace kov {

void applySettings(SharedState &state, const Settings &settings)
{
    state.XColumn = settings.xColumn;
    state.YColumn = settings.yColumn;
    state.SkipLines = settings.skipLines;
    state.XCoef = settings.xCoef;
    state.YCoef = settings.yCoef;
    state.XUnit = settings.xUnit;
    state.YUnit = settings.yUnit;
}

} // namespace kov
