// The window's start as the program starts it (kov::startProgram), up to the
// first paint of the main window; then it prints the milliseconds and ends.
// bench/measure-window.py runs it as a whole process: KOV_SPAWN_NS, the
// CLOCK_MONOTONIC time in nanoseconds at which the caller started it, makes
// the figure count from there (loading the libraries included); without it
// the figure counts from main().

#include "core/state/sharedstate.h"
#include "window/form1.h"
#include "window/kovapp.h"

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

/// Notes when the first paint of the window is done (the paint events of a
/// window and its controls come in one pass; the timer runs after it) and
/// ends the event loop.
class FirstPaint : public QObject {
public:
    long long at = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QTimer::singleShot(0, qApp, [this] {
                at = monotonicNs();
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_seen = false;
};

} // namespace

int main(int argc, char *argv[])
{
    const char *spawned = std::getenv("KOV_SPAWN_NS");
    const long long start = spawned ? std::atoll(spawned) : monotonicNs();

    QApplication app(argc, argv);
    // Watch every widget's paint: the window is shown inside startProgram.
    FirstPaint painted;
    app.installEventFilter(&painted);
    kov::SharedState state;
    auto form = kov::startProgram(state);
    QApplication::exec();
    std::printf("%.3f\n", static_cast<double>(painted.at - start) / 1e6);
    return painted.at == 0 ? 1 : 0;
}
