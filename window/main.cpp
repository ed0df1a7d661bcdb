#include "core/state/sharedstate.h"
#include "window/form1.h"
#include "window/kovapp.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    kov::SharedState state;
    auto form = kov::startProgram(state);
    return QApplication::exec();
}
