#include "window/kovapp.h"

#include "window/browse.h"
#include "window/cyclecommands.h"
#include "window/drawcommand.h"
#include "window/form1.h"
#include "window/module11.h"
#include "window/qtdesign.h"

#include <QApplication>

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

std::unique_ptr<Form1> startProgram(SharedState &state)
{
    QApplication::setApplicationName(QStringLiteral("kov"));
    design::installFontSubstitutions();
    QApplication::setWindowIcon(design::kovIcon());
    auto form = createMainWindow(state);
    // The cycle view animates at a pace a person can follow.
    MODULE11::setAnimationPaced(*form, true);
    form->show();
    return form;
}

} // namespace kov
