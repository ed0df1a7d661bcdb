#include "analysis/module11.h"

#include "analysis/core/cycle.h"
#include "app/form1.h"
#include "app/messages.h"
#include "plot/loopplot.h"
#include "plot/picturebox.h"
#include "plot/plotcanvas.h"
#include "reader/numtext.h"

#include <QElapsedTimer>
#include <QLineEdit>

#include <algorithm>

namespace kov::MODULE11 {

namespace {

/// The analysis in progress, if one is paused at a yield.
struct RunningAnalysis {
    bool active = false;
    unsigned generation = 0; ///< changes whenever a run starts or is settled
    int cycle = 0;
    int end = 0;
    int nextStep = 0;        ///< the first segment not yet added
    int announced = 0;       ///< a cycle whose analysis a command announced
    int typed = 0;           ///< a cycle whose steps the user typed since its last analysis
};

RunningAnalysis &running()
{
    static RunningAnalysis run;
    return run;
}

bool &pacing()
{
    static bool paced = false;
    return paced;
}

constexpr std::chrono::microseconds AnimationTime{500'000};
constexpr std::chrono::microseconds MaxStepTime{10'000};

/// Spreads the steps of one animation over time: step k is shown no sooner
/// than k step times after the start. The wait is taken in whole
/// milliseconds, and what is left over or overslept carries to the next
/// steps, so short step times average out. A delay of more than 10 ms (a
/// command handled during the yield, a message box) is not made up for by
/// rushing the following steps.
class StepPacer {
public:
    explicit StepPacer(std::chrono::microseconds step) : m_step(step) { m_clock.start(); }

    /// Lets pending events run once, then waits out the step's time while
    /// events keep running.
    void yield()
    {
        using namespace std::chrono;
        yieldEvents();
        if (m_step.count() == 0)
            return;
        const microseconds now{m_clock.nsecsElapsed() / 1000};
        m_due += m_step;
        if (now - m_due > MaxStepTime)
            m_due = now;
        const milliseconds wait = std::min(duration_cast<milliseconds>(m_due - now),
                                           duration_cast<milliseconds>(MaxStepTime));
        if (wait.count() > 0)
            waitProcessingEvents(wait);
    }

private:
    std::chrono::microseconds m_step;
    std::chrono::microseconds m_due{0};
    QElapsedTimer m_clock;
};

QString number(float v)
{
    return QString::fromStdString(shortNumberText(v));
}

/// The highest step the analysis may use: the last data row, at most 2000.
int lastStep(const SharedState &s)
{
    return static_cast<int>(std::min(static_cast<double>(s.RowCount), static_cast<double>(MaxStep)));
}

} // namespace

void setAnimationPaced(bool paced)
{
    pacing() = paced;
}

bool animationPaced()
{
    return pacing();
}

std::chrono::microseconds pacedStepTime(int steps)
{
    if (steps <= 0)
        return std::chrono::microseconds{0};
    return std::min(AnimationTime / steps, MaxStepTime);
}

bool stepWithinRecord(Form1 &form, const char *what, long long step, int cycle)
{
    const int last = lastStep(form.state());
    if (step >= 0 && step <= last)
        return true;
    showMessage(&form,
                QStringLiteral("%1 (%2) lies outside the record of cycle %3: steps 0 to %4 can be analysed.")
                    .arg(QString::fromLatin1(what))
                    .arg(step)
                    .arg(cycle)
                    .arg(last),
                MessageIcon::Exclamation);
    return false;
}

namespace {

/// Warns about the first step of the cycle outside the record; true when all fit.
bool stepsFit(Form1 &form, int n)
{
    SharedState &s = form.state();
    const struct {
        const char *what;
        long long step;
    } steps[] = {{"Start step", s.CycleEndStep(n - 1)},
                 {"End step", s.CycleEndStep(n)},
                 {"Peak step 1", s.PeakStep(0, n)},
                 {"Peak step 2", s.PeakStep(1, n)}};
    for (const auto &st : steps) {
        if (!stepWithinRecord(form, st.what, st.step, n))
            return false;
    }
    return true;
}

} // namespace

void announceAnalysis(int cycle)
{
    running().announced = cycle;
}

bool takeAnnouncement(int cycle)
{
    const bool pending = running().announced == cycle;
    running().announced = 0;
    return pending;
}

void settleRunningAnalysis(Form1 &form)
{
    RunningAnalysis &run = running();
    SharedState &s = form.state();
    if (run.announced != 0) {
        // A command changed this cycle and has not analysed it yet.
        const int cycle = run.announced;
        run.announced = 0;
        const std::int16_t current = s.CycleNo;
        // Steps outside the record are refused as the analysis itself would
        // refuse them: with a warning, the cycle's results left as they were.
        if (cycle >= 1 && cycle <= MaxCycle && stepsFit(form, cycle)) {
            if (run.typed == cycle)
                run.typed = 0;
            runGuarded(&form, [&] {
                s.CycleNo = static_cast<std::int16_t>(cycle);
                runCycleComputation(s);
                // The fields show what was computed, though the picture is
                // not redrawn.
                if (s.CycleEndStep(cycle) > s.CycleEndStep(cycle - 1))
                    form.Text7->setText(number(s.CycleEnergy(cycle)));
                form.Text8->setText(number(s.CycleDamping(cycle)));
            });
        }
        s.CycleNo = current;
    }
    if (!run.active)
        return;
    run.active = false;
    ++run.generation; // the paused run stops when it resumes
    const std::int16_t current = s.CycleNo;
    runGuarded(&form, [&] {
        s.CycleNo = static_cast<std::int16_t>(run.cycle);
        for (int i = run.nextStep; i <= run.end; ++i)
            AddSegment(s, i);
        FinishCycle(s);
        form.Text7->setText(number(s.CycleEnergy(run.cycle)));
        form.Text8->setText(number(s.CycleDamping(run.cycle)));
    });
    s.CycleNo = current;
}

namespace {

/// The cycle view; animate lets events run (and the pacing wait) after every
/// step, as every command that analyses does. Without it the cycle is drawn
/// and computed in one go.
void analyse(Form1 &form, bool animate)
{
    settleRunningAnalysis(form);
    SharedState &s = form.state();
    const int n = s.CycleNo;
    if (n < 1 || n > MaxCycle || !stepsFit(form, n))
        return;
    if (running().typed == n)
        running().typed = 0; // this analysis uses the typed steps

    runGuarded(&form, [&] {
        // Held across the per-step yields: the plot area's canvas is never
        // replaced (PictureBox).
        PlotCanvas &canvas = form.Picture1->canvas();
        drawEmptyPlot(canvas, s);

        const int start = s.CycleEndStep(n - 1);
        RunningAnalysis &run = running();
        const unsigned mine = ++run.generation;
        run.active = true;
        run.cycle = n;
        run.end = s.CycleEndStep(n);
        run.nextStep = start + 1;
        StepPacer pacer(pacing() && animate ? pacedStepTime(run.end - start) : std::chrono::microseconds{0});

        // The path of the cycle, as DrawStepPath draws it, one step at a time.
        beginStepPath(canvas, s, start);
        CycleSteps hooks;
        hooks.drawStep = [&](int i) { drawPathStep(canvas, s, i); };
        hooks.segmentAdded = [&](int i) {
            run.nextStep = i + 1;
            form.Text7->setText(number(s.CycleEnergy(n)));
            if (animate)
                pacer.yield();
            return run.generation == mine;
        };
        const bool finished = runCycleComputation(s, hooks);
        if (!finished || run.generation != mine)
            return; // a newer command took over and settled this cycle
        run.active = false;
        form.Text8->setText(number(s.CycleDamping(n)));

        DrawCycleMarkers(canvas, s, n);
        if (cycleResultsBeyondFloatRange(s))
            showMessage(&form,
                        QStringLiteral("An energy of cycle %1 is beyond the float range: it is shown and written as "
                                       "Infinity, -Infinity or NaN, and the damping factor as 0.")
                            .arg(n),
                        MessageIcon::Exclamation);
    });
    if (running().active && running().cycle == n) {
        // The computation failed half way; nothing is left paused.
        running().active = false;
    }
}

} // namespace

void AnalyseCycle(Form1 &form)
{
    analyse(form, true);
}

void noteTypedStep(Form1 &form)
{
    running().typed = form.state().CycleNo;
}

bool typedStepsPending(Form1 &form)
{
    const int typed = running().typed;
    return typed != 0 && typed == form.state().CycleNo;
}

void analyseTypedSteps(Form1 &form, bool animate)
{
    if (typedStepsPending(form))
        analyse(form, animate);
    else
        running().typed = 0;
}

void dropTypedSteps()
{
    running().typed = 0;
}

} // namespace kov::MODULE11
