#include "window/cycleview.h"

#include "core/analysis/cycle.h"
#include "pictures/loopplot.h"
#include "pictures/plotcanvas.h"
#include "window/messages.h"
#include "window/module11.h"
#include "window/picturebox.h"

#include <QElapsedTimer>
#include <QLineEdit>

#include <algorithm>

namespace kov {

namespace {

/// Spreads the steps of one animation over time: step k is shown no sooner
/// than k step times after the start. The wait is taken in whole
/// milliseconds, and what is left over or overslept carries to the next
/// steps, so short step times average out. A delay of more than the longest
/// step time (a command handled during the yield, a message box) is not made
/// up for by rushing the following steps.
class StepPacer {
public:
    explicit StepPacer(std::chrono::microseconds step) : m_step(step) { m_clock.start(); }

    /// Lets pending events run once, then waits out the step's time while
    /// events keep running.
    void yield()
    {
        using namespace std::chrono;
        using MODULE11::MaxStepTime;
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
        if (!MODULE11::stepWithinRecord(form, st.what, st.step, n))
            return false;
    }
    return true;
}

} // namespace

CycleView &CycleView::of(Form1 &form)
{
    return static_cast<CycleView &>(*form.cycleView());
}

bool CycleView::settleRunningAnalysis(TypedSteps typed)
{
    settle();
    switch (typed) {
    case TypedSteps::Keep: return true;
    case TypedSteps::Drop: m_typed = 0; return true;
    case TypedSteps::Analyse: analyseTypedSteps(false); return !typedStepsPending();
    }
    return true;
}

void CycleView::settle()
{
    SharedState &s = m_form.state();
    if (m_announced != 0) {
        // A command changed this cycle and has not analysed it yet.
        const int cycle = m_announced;
        m_announced = 0;
        const int current = s.CycleNo;
        // Steps outside the record are refused as the analysis itself would
        // refuse them: with a warning, the cycle's results left as they were.
        if (cycle >= 1 && cycle <= MaxCycle && stepsFit(m_form, cycle)) {
            if (m_typed == cycle)
                m_typed = 0;
            runGuarded(&m_form, [&] {
                s.CycleNo = static_cast<std::int16_t>(cycle);
                runCycleComputation(s);
                // The fields show what was computed, though the picture is
                // not redrawn.
                if (s.CycleEndStep(cycle) > s.CycleEndStep(cycle - 1))
                    m_form.setFieldText(Field::Energy, numberField(s.CycleEnergy(cycle)));
                m_form.setFieldText(Field::Damping, numberField(s.CycleDamping(cycle)));
            });
        }
        s.CycleNo = current;
    }
    if (!m_active)
        return;
    m_active = false;
    ++m_generation; // the paused run stops when it resumes
    const int current = s.CycleNo;
    runGuarded(&m_form, [&] {
        s.CycleNo = static_cast<std::int16_t>(m_cycle);
        finishCycleFrom(s, m_nextStep, m_end);
        m_form.setFieldText(Field::Energy, numberField(s.CycleEnergy(m_cycle)));
        m_form.setFieldText(Field::Damping, numberField(s.CycleDamping(m_cycle)));
    });
    s.CycleNo = current;
}

void CycleView::analyseAfterYield(int cycle)
{
    m_announced = cycle;
    yieldEvents();
    const bool pending = m_announced == cycle;
    m_announced = 0;
    if (pending && m_form.state().CycleNo == cycle)
        analyse(true);
}

void CycleView::analyse(bool animate)
{
    settle();
    SharedState &s = m_form.state();
    const int n = s.CycleNo;
    if (n < 1 || n > MaxCycle || !stepsFit(m_form, n))
        return;
    if (m_typed == n)
        m_typed = 0; // this analysis uses the typed steps

    runGuarded(&m_form, [&] {
        // Held across the per-step yields: the plot area's canvas is never
        // replaced (PictureBox).
        PlotCanvas &canvas = m_form.plotCanvas();
        drawEmptyPlot(canvas, s);

        const int start = s.CycleEndStep(n - 1);
        const unsigned mine = ++m_generation;
        m_active = true;
        m_cycle = n;
        m_end = s.CycleEndStep(n);
        m_nextStep = start + 1;
        StepPacer pacer(m_paced && animate ? MODULE11::pacedStepTime(m_end - start) : std::chrono::microseconds{0});

        // The path of the cycle, as DrawStepPath draws it, one step at a time.
        beginStepPath(canvas, s, start);
        CycleSteps hooks;
        hooks.drawStep = [&](int i) { drawPathStep(canvas, s, i); };
        hooks.segmentAdded = [&](int i) {
            m_nextStep = i + 1;
            m_form.setFieldText(Field::Energy, numberField(s.CycleEnergy(n)));
            if (animate)
                pacer.yield();
            return m_generation == mine;
        };
        const bool finished = runCycleComputation(s, hooks);
        if (!finished || m_generation != mine)
            return; // a newer command took over and settled this cycle
        m_active = false;
        m_form.setFieldText(Field::Damping, numberField(s.CycleDamping(n)));

        DrawCycleMarkers(canvas, s, n);
        if (cycleResultsBeyondFloatRange(s))
            showMessage(&m_form,
                        QStringLiteral("An energy of cycle %1 is beyond the float range: it is shown and written as "
                                       "Infinity, -Infinity or NaN, and the damping factor as 0.")
                            .arg(n),
                        MessageIcon::Exclamation);
    });
    if (m_active && m_cycle == n) {
        // The computation failed half way; nothing is left paused.
        m_active = false;
    }
}

void CycleView::noteTypedStep()
{
    m_typed = m_form.state().CycleNo;
}

bool CycleView::typedStepsPending() const
{
    return m_typed != 0 && m_typed == m_form.state().CycleNo;
}

void CycleView::analyseTypedSteps(bool animate)
{
    if (typedStepsPending())
        analyse(animate);
    else
        m_typed = 0;
}

} // namespace kov
