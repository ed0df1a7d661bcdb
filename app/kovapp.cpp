#include "app/kovapp.h"

#include "analysis/cyclecommands.h"
#include "app/form1.h"
#include "chooser/browse.h"
#include "plot/drawcommand.h"

namespace kov {

std::unique_ptr<Form1> createMainWindow(SharedState &state)
{
    auto form = std::make_unique<Form1>(state);
    // The handlers must be connected before start-up: its field writes run them.
    connectDrawCommand(*form);
    connectBrowse(*form);
    connectCycleCommands(*form);
    form->Form_Load();
    return form;
}

} // namespace kov
