#pragma once

#include "core/state/sharedstate.h"

#include <chrono>

class QWidget;

namespace kov {

class CycleView;
class PlotCanvas;

/// What a command does with steps the user typed into the step fields but
/// that no analysis has used yet.
enum class TypedSteps {
    Analyse, ///< analyse the cycle with them first (the command carries its results on)
    Drop,    ///< forget them (the command starts the analysis over)
    Keep,    ///< leave them (the command analyses the cycle itself, or is the typing)
};

/// What the cycle view needs of the window it runs in (Form1 is one): the
/// state, the plot area's canvas, the two displays it writes, a parent for
/// its messages, and the view itself, which the window owns.
class CycleViewHost {
public:
    virtual SharedState &state() = 0;
    /// The plot area's canvas; never replaced, so it may be held across yields.
    virtual PlotCanvas &plotCanvas() = 0;
    /// Shows the energy summed so far, or the damping factor, of a cycle.
    virtual void showEnergy(float energy) = 0;
    virtual void showDamping(float damping) = 0;
    /// The widget the view's warnings and failure reports are shown over.
    virtual QWidget *messageParent() = 0;
    virtual CycleView &cycleView() = 0;

protected:
    ~CycleViewHost() = default;
};

/// The longest time one step of a paced animation waits.
inline constexpr std::chrono::microseconds MaxStepTime{10'000};

/// The time that one step of a paced animation lasts at least, for a cycle
/// of `steps` integrated steps: half a second spread over the steps, at
/// most 10 ms a step. A cycle of 40 steps takes about 0.4 s; one of 2000
/// steps (0.25 ms a step) is hardly slowed beyond its own drawing time.
/// Zero for a cycle without steps.
std::chrono::microseconds pacedStepTime(int steps);

/// True when step lies in the record (0 to the last data row, at most 2000);
/// otherwise warns, naming the step (what: "Start step", "End step",
/// "Peak step 1"...), the cycle and the valid range, and returns false:
/// "Peak step 1 (5000) lies outside the record of cycle 1: steps 0 to 25
/// can be analysed."
bool stepWithinRecord(CycleViewHost &host, const char *what, long long step, int cycle);

/// The cycle view of a window: runs AnalyseCycle, and keeps what lives
/// between its runs: the analysis paused at one of its yields, an analysis
/// a command announced, typed steps not analysed yet, and the pacing of the
/// animation. The window owns it, and MODULE11's procedures delegate to it.
///
/// Re-entrancy: events that run during the per-step yields may start another
/// command. Every command first passes the window's command entry, which
/// settles the paused analysis here: its cycle is finished at once, with the
/// steps it started with, without further drawing or yields. When control
/// returns to the paused run, it sees it was superseded and stops without
/// touching the results or the picture again. So no command ever sees a
/// half-summed cycle.
class CycleView {
public:
    explicit CycleView(CycleViewHost &host) : m_host(host) {}
    CycleView(const CycleView &) = delete;
    CycleView &operator=(const CycleView &) = delete;

    /// The cycle view of a window.
    static CycleView &of(CycleViewHost &host) { return host.cycleView(); }

    /// Analyses the current cycle (MODULE11::AnalyseCycle). animate lets
    /// events run (and the pacing wait) after every step; without it the
    /// cycle is drawn and computed in one go.
    void analyse(bool animate);

    /// Finishes an analysis paused at one of its yields (or announced and not
    /// run yet), then handles typed steps as asked. False when a typed step
    /// was analysed and refused: the command then stops.
    bool settleRunningAnalysis(TypedSteps typed);

    /// A command that changed the steps of cycle n yields once, then
    /// analyses it: a command run during that yield settles the cycle with
    /// its new steps, and the analysis is then not run twice.
    void analyseAfterYield(int cycle);

    /// Typed steps take effect when the user leaves the field (or at the
    /// next command), not at every keystroke: "1" then "12" analyses step 12
    /// once. An edit of a step field notes the cycle; an analysis of that
    /// cycle that runs uses the typed steps and clears the note.
    void noteTypedStep();
    /// Analyses the current cycle when its steps were typed and not analysed
    /// yet. A typed step outside the record is refused with the warning and
    /// stays noted.
    void analyseTypedSteps(bool animate);

    /// True while an analysis is paused at one of its yields.
    bool analysisPaused() const { return m_active; }

    void setPaced(bool paced) { m_paced = paced; }
    bool paced() const { return m_paced; }

private:
    bool typedStepsPending() const;
    /// Finishes the paused analysis and computes an announced one.
    void settle();

    CycleViewHost &m_host;
    bool m_paced = false;
    bool m_active = false;      ///< an analysis is paused at a yield
    unsigned m_generation = 0;  ///< changes whenever a run starts or is settled
    int m_cycle = 0;            ///< the paused run's cycle
    int m_end = 0;              ///< its end step
    int m_nextStep = 0;         ///< the first segment it has not added
    int m_announced = 0;        ///< a cycle whose analysis a command announced
    int m_typed = 0;            ///< a cycle whose steps were typed since its last analysis
};

} // namespace kov
