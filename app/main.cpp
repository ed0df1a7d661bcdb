#include "app/core/sharedstate.h"
#include "app/form1.h"
#include "app/kovapp.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kov"));
    kov::installFontSubstitutions();
    QApplication::setWindowIcon(kov::kovIcon());
    kov::SharedState state;
    auto form = kov::createMainWindow(state);
    form->show();
    return QApplication::exec();
}
