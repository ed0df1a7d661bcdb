#pragma once

#include "window/form1.h"

namespace kov {

/// The cycle view of a window: runs AnalyseCycle, and keeps what lives
/// between its runs: the analysis paused at one of its yields, an analysis
/// a command announced, typed steps not analysed yet, and the pacing of the
/// animation. The window owns it (Form1::setCycleView); MODULE11's
/// procedures delegate to it.
///
/// Re-entrancy: events that run during the per-step yields may start another
/// command. Every command first passes the window's command entry, which
/// settles the paused analysis here: its cycle is finished at once, with the
/// steps it started with, without further drawing or yields. When control
/// returns to the paused run, it sees it was superseded and stops without
/// touching the results or the picture again. So no command ever sees a
/// half-summed cycle.
class CycleView : public AnalysisInProgress {
public:
    explicit CycleView(Form1 &form) : m_form(form) {}

    /// The cycle view of form.
    static CycleView &of(Form1 &form);

    /// Analyses the current cycle (MODULE11::AnalyseCycle). animate lets
    /// events run (and the pacing wait) after every step; without it the
    /// cycle is drawn and computed in one go.
    void analyse(bool animate);

    bool settleRunningAnalysis(TypedSteps typed) override;

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

    Form1 &m_form;
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
