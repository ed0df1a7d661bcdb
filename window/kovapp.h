#pragma once

#include "core/state/sharedstate.h"

#include <memory>

namespace kov {

class Form1;

/// Builds the complete main window on state: creates the controls, connects
/// the handlers of every subsystem, then runs the start-up. The program and
/// the window tests use it alike.
std::unique_ptr<Form1> createMainWindow(SharedState &state);

/// The program's start once its QApplication exists: application name,
/// fonts, icon, the paced cycle view, then the main window on state, shown.
std::unique_ptr<Form1> startProgram(SharedState &state);

} // namespace kov
