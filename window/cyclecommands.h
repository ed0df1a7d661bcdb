#pragma once

namespace kov {

class Form1;

/// Connects the step buttons Command1(0..6), the peak fields Text15(0..1)
/// and "Next cycle" (Command6) to their handlers.
void connectCycleCommands(Form1 &form);

} // namespace kov
