#pragma once

#include "core/state/sharedstate.h"

#include <cstdint>
#include <string>

namespace kov {

/// The settings of an analysis, one for each input field of the main
/// window. The defaults are the start values: the window shows them at
/// start-up, and kov-batch takes them for the options it is not given.
struct Settings {
    std::int16_t xColumn = 1;   ///< column of the displacement X
    std::int16_t yColumn = 2;   ///< column of the load Y
    std::int16_t skipLines = 5; ///< header lines before the first data row
    float xCoef = 1.0f;         ///< factor applied to every X field
    float yCoef = 1.0f;         ///< factor applied to every Y field
    std::string xUnit = "mm";   ///< unit of X, a label of the results table
    std::string yUnit = "tonf"; ///< unit of Y
};

/// Stores the settings in the shared state (XColumn ... YUnit).
void applySettings(SharedState &state, const Settings &settings);

} // namespace kov
