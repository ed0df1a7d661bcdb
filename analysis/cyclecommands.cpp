#include "analysis/cyclecommands.h"

#include "app/form1.h"

namespace kov {

void connectCycleCommands(Form1 &) {}

} // namespace kov
