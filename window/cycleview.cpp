#include "window/cycleview.h"

#include "core/analysis/cycle.h"
#include "pictures/loopplot.h"
#include "pictures/plotcanvas.h"
#include "window/messages.h"

#include <QElapsedTimer>
#include <QString>

#include <algorithm>

namespace kov {

namespace {

constexpr std::chrono::microseconds AnimationTime{500'000};

/// The highest step the analysis may use: the last data row, at most 2000.
int lastStep(const SharedState &s)
{
    return static_cast<int>(std::min(static_cast<double>(s.RowCount), static_cast<double>(MaxStep)));
}

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
bool stepsFit(CycleViewHost &host, int n)
{
    SharedState &s = host.state();
    const struct {
        const char *what;
        long long step;
    } steps[] = {{"Start step", s.CycleEndStep(n - 1)},
                 {"End step", s.CycleEndStep(n)},
                 {"Peak step 1", s.PeakStep(0, n)},
                 {"Peak step 2", s.PeakStep(1, n)}};
    for (const auto &st : steps) {
        if (!stepWithinRecord(host, st.what, st.step, n))
            return false;
    }
    return true;
}

} // namespace

std::chrono::microseconds pacedStepTime(int steps)
{
    if (steps <= 0)
        return std::chrono::microseconds{0};
    return std::min(AnimationTime / steps, MaxStepTime);
}

bool stepWithinRecord(CycleViewHost &host, const char *what, long long step, int cycle)
{
    const int last = lastStep(host.state());
    if (step >= 0 && step <= last)
        return true;
    showMessage(host.messageParent(),
                QStringLiteral("%1 (%2) lies outside the record of cycle %3: steps 0 to %4 can be analysed.")
                    .arg(QString::fromLatin1(what))
                    .arg(step)
                    .arg(cycle)
                    .arg(last),
                MessageIcon::Exclamation);
    return false;
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
    SharedState &s = m_host.state();
    if (m_announced != 0) {
        // A command changed this cycle and has not analysed it yet.
        const int cycle = m_announced;
        m_announced = 0;
        const int current = s.CycleNo;
        // Steps outside the record are refused as the analysis itself would
        // refuse them: with a warning, the cycle's results left as they were.
        if (cycle >= 1 && cycle <= MaxCycle && stepsFit(m_host, cycle)) {
            if (m_typed == cycle)
                m_typed = 0;
            runGuarded(m_host.messageParent(), [&] {
                s.CycleNo = static_cast<std::int16_t>(cycle);
                runCycleComputation(s);
                // The fields show what was computed, though the picture is
                // not redrawn.
                if (s.CycleEndStep(cycle) > s.CycleEndStep(cycle - 1))
                    m_host.showEnergy(s.CycleEnergy(cycle));
                m_host.showDamping(s.CycleDamping(cycle));
            });
        }
        s.CycleNo = current;
    }
    if (!m_active)
        return;
    m_active = false;
    ++m_generation; // the paused run stops when it resumes
    const int current = s.CycleNo;
    runGuarded(m_host.messageParent(), [&] {
        s.CycleNo = static_cast<std::int16_t>(m_cycle);
        finishCycleFrom(s, m_nextStep, m_end);
        m_host.showEnergy(s.CycleEnergy(m_cycle));
        m_host.showDamping(s.CycleDamping(m_cycle));
    });
    s.CycleNo = current;
}

void CycleView::analyseAfterYield(int cycle)
{
    m_announced = cycle;
    yieldEvents();
    const bool pending = m_announced == cycle;
    m_announced = 0;
    if (pending && m_host.state().CycleNo == cycle)
        analyse(true);
}

void CycleView::analyse(bool animate)
{
    settle();
    SharedState &s = m_host.state();
    const int n = s.CycleNo;
    if (n < 1 || n > MaxCycle || !stepsFit(m_host, n))
        return;
    if (m_typed == n)
        m_typed = 0; // this analysis uses the typed steps

    runGuarded(m_host.messageParent(), [&] {
        // Held across the per-step yields: the plot area's canvas is never
        // replaced (PictureBox).
        PlotCanvas &canvas = m_host.plotCanvas();
        drawEmptyPlot(canvas, s);

        const int start = s.CycleEndStep(n - 1);
        const unsigned mine = ++m_generation;
        m_active = true;
        m_cycle = n;
        m_end = s.CycleEndStep(n);
        m_nextStep = start + 1;
        StepPacer pacer(m_paced && animate ? pacedStepTime(m_end - start) : std::chrono::microseconds{0});

        // The path of the cycle, as DrawStepPath draws it, one step at a time.
        beginStepPath(canvas, s, start);
        CycleSteps hooks;
        hooks.drawStep = [&](int i) { drawPathStep(canvas, s, i); };
        hooks.segmentAdded = [&](int i) {
            m_nextStep = i + 1;
            m_host.showEnergy(s.CycleEnergy(n));
            if (animate)
                pacer.yield();
            return m_generation == mine;
        };
        const bool finished = runCycleComputation(s, hooks);
        if (!finished || m_generation != mine)
            return; // a newer command took over and settled this cycle
        m_active = false;
        m_host.showDamping(s.CycleDamping(n));

        DrawCycleMarkers(canvas, s, n);
        if (cycleResultsBeyondFloatRange(s))
            showMessage(m_host.messageParent(),
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
    m_typed = m_host.state().CycleNo;
}

bool CycleView::typedStepsPending() const
{
    return m_typed != 0 && m_typed == m_host.state().CycleNo;
}

void CycleView::analyseTypedSteps(bool animate)
{
    if (typedStepsPending())
        analyse(animate);
    else
        m_typed = 0;
}

} // namespace kov
