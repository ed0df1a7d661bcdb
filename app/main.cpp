#include "app/core/sharedstate.h"
#include "app/form1.h"
#include "app/kovapp.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    kov::SharedState state;
    auto form = kov::startProgram(state);
    return QApplication::exec();
}
