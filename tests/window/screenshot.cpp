// Takes the README's picture of the window: builds the real main window,
// picks a record through the file chooser, presses "Draw" and "Next cycle"
// a few times and saves what the window shows.
//
//   xvfb-run -s "-screen 0 1024x768x24" kov-screenshot RECORD OUT.png [CYCLES]
//
// Run it with the columns of the record already in mind: it sets X column 2,
// Y column 3, 5 header lines and an X coefficient of 1000 (metres to mm).

#include "core/state/sharedstate.h"
#include "window/form1.h"
#include "window/kovapp.h"
#include "window/messages.h"
#include "window/qtdesign.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fputs("usage: kov-screenshot RECORD OUT.png [CYCLES]\n", stderr);
        return 2;
    }
    const QString record = args.at(1);
    const int cycles = args.size() > 3 ? args.at(3).toInt() : 3;
    kov::setMessageHook([](const kov::MessageRecord &m) {
        std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
    });

    kov::design::installFontSubstitutions();
    kov::SharedState state;
    auto form = kov::createMainWindow(state);
    form->show();
    controls(*form).Text4->setText(QStringLiteral("2"));
    controls(*form).Text5->setText(QStringLiteral("3"));
    controls(*form).Text13->setText(QStringLiteral("1000"));
    controls(*form).Combo2->setEditText(QStringLiteral("kN"));

    // The chooser is modal: act on it from inside its own event loop.
    QTimer::singleShot(300, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("txtOpenSave"));
        auto *ok = dialog->findChild<QPushButton *>(QStringLiteral("cmdOpenSave(0)"));
        if (name && ok) {
            name->setText(record);
            ok->click();
        }
        if (QApplication::activeModalWidget())
            QApplication::activeModalWidget()->close();
    });
    controls(*form).Command2->click();
    controls(*form).Command3[0]->click();
    for (int i = 0; i < cycles && controls(*form).Command6->isEnabled(); ++i)
        controls(*form).Command6->click();
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();

    if (!form->grab().save(args.at(2), "PNG")) {
        std::fprintf(stderr, "kov-screenshot: cannot write %s\n", qPrintable(args.at(2)));
        return 1;
    }
    return 0;
}
