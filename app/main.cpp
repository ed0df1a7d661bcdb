#include "analysis/module11.h"
#include "app/core/sharedstate.h"
#include "app/design/qtdesign.h"
#include "app/form1.h"
#include "app/kovapp.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kov"));
    kov::design::installFontSubstitutions();
    QApplication::setWindowIcon(kov::design::kovIcon());
    kov::SharedState state;
    // The cycle view animates at a pace a person can follow.
    kov::MODULE11::setAnimationPaced(true);
    auto form = kov::createMainWindow(state);
    form->show();
    return QApplication::exec();
}
