// Takes the README's picture of the window: builds the real main window,
// picks a record through the file chooser, presses "Draw" and "Next cycle"
// a few times and saves what the window shows (runScreenshotCourse).
//
//   xvfb-run -s "-screen 0 1024x768x24" kov-screenshot RECORD OUT.png [CYCLES]
//
// (QT_QPA_PLATFORM=offscreen gives the same pixels.) Run it with the columns
// of the record already in mind: it sets X column 2, Y column 3, 5 header
// lines and an X coefficient of 1000 (metres to mm). The test
// looksAsItsScreenshot (form1_test) checks docs/screenshot.png against the
// window.

#include "core/state/sharedstate.h"
#include "tests/window/screenshotcourse.h"
#include "window/form1.h"
#include "window/kovapp.h"
#include "window/messages.h"
#include "window/qtdesign.h"

#include <QApplication>
#include <QFileInfo>
#include <QPixmap>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fputs("usage: kov-screenshot RECORD OUT.png [CYCLES]\n", stderr);
        return 2;
    }
    // The chooser moves the current folder: both names are taken whole first.
    const QString record = QFileInfo(args.at(1)).absoluteFilePath();
    const QString out = QFileInfo(args.at(2)).absoluteFilePath();
    const int cycles = args.size() > 3 ? args.at(3).toInt() : 3;
    kov::setMessageHook([](const kov::MessageRecord &m) {
        std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
    });

    kov::design::installFontSubstitutions();
    kov::SharedState state;
    auto form = kov::createMainWindow(state);
    form->show();
    kov::runScreenshotCourse(*form, record, cycles);

    if (!form->grab().save(out, "PNG")) {
        std::fprintf(stderr, "kov-screenshot: cannot write %s\n", qPrintable(out));
        return 1;
    }
    return 0;
}
