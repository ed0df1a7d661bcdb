// The window's start as the program starts it (app/main.cpp), up to the
// first paint of the main window; then it prints the milliseconds and ends.
// bench/measure-window.py runs it as a whole process: KOV_SPAWN_NS, the
// CLOCK_MONOTONIC time in nanoseconds at which the caller started it, makes
// the figure count from there (loading the libraries included); without it
// the figure counts from main().

#include "analysis/module11.h"
#include "app/core/sharedstate.h"
#include "app/design/qtdesign.h"
#include "app/form1.h"
#include "app/kovapp.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

long long monotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

/// Notes the first paint of a widget and ends the event loop.
class FirstPaint : public QObject {
public:
    long long at = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && at == 0) {
            at = monotonicNs();
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    const char *spawned = std::getenv("KOV_SPAWN_NS");
    const long long start = spawned ? std::atoll(spawned) : monotonicNs();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kov"));
    kov::design::installFontSubstitutions();
    QApplication::setWindowIcon(kov::design::kovIcon());
    kov::SharedState state;
    kov::MODULE11::setAnimationPaced(true);
    auto form = kov::createMainWindow(state);
    FirstPaint painted;
    form->installEventFilter(&painted);
    form->show();
    QApplication::exec();
    std::printf("%.3f\n", static_cast<double>(painted.at - start) / 1e6);
    return painted.at == 0 ? 1 : 0;
}
