#pragma once

#include <chrono>

namespace kov {

class Form1;

/// The procedures the windows share.
namespace MODULE11 {

/// Analyses the current cycle in front of the user: redraws the axes and the
/// cycle's path, integrates its energy step by step (Text7 shows the running
/// sum, and pending events run after every step, so the path and the sum
/// animate), shows the damping factor in Text8 and marks the two peaks and
/// the end step with large filled circles.
///
/// No analysis runs for cycle 0 (after "Draw", before "Next cycle"). A start,
/// end or peak step outside the record (0..RowCount, at most 2000) is refused
/// with a warning naming the step and the valid range; results and picture
/// stay as they were.
///
/// Re-entrancy: events that run during the per-step yields may start another
/// command. Every such command (step buttons, a peak field edit, "Next
/// cycle", "Draw"/"Clear scale", "Write to file", "Browse") first settles the
/// paused analysis: its cycle is finished at once, with the steps it started
/// with, without further drawing or yields. When control returns to the
/// paused run, it sees it was superseded and stops without touching the
/// results or the picture again. So no command ever sees a half-summed cycle.
void AnalyseCycle(Form1 &form);

/// Paces the animation of AnalyseCycle so that a person can watch it: each
/// integrated step then lasts at least pacedStepTime() of the cycle, and
/// pending events keep running while the view waits (a command during the
/// animation settles it as described above; "Exit" ends the program at
/// once). Off by default, so tests run the view at full speed; the program
/// turns it on.
void setAnimationPaced(bool paced);
bool animationPaced();

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
bool stepWithinRecord(Form1 &form, const char *what, long long step, int cycle);

/// Finishes an analysis paused at one of its yields, as described above, and
/// computes at once an analysis that a command has announced but not yet
/// started (see announceAnalysis). Does nothing when neither is pending.
void settleRunningAnalysis(Form1 &form);

/// A command that changed a cycle's steps and yields before analysing it
/// announces the analysis first, so that a command run during that yield
/// settles the cycle with its new steps.
void announceAnalysis(int cycle);

/// Takes back an announcement before running the analysis. Returns false
/// when a settlement has computed the cycle already (the command then skips
/// its own analysis).
bool takeAnnouncement(int cycle);

/// Steps typed into "Cycle end step", "Peak step 1" or "Peak step 2" take
/// effect when the user leaves the field (or at the next command), not at
/// every keystroke: "1" then "12" analyses step 12 once. The field's edits
/// note the cycle; any analysis of that cycle that runs uses the typed steps
/// and clears the note.
void noteTypedStep(Form1 &form);

/// True when steps of the current cycle were typed and no analysis has used
/// them yet.
bool typedStepsPending(Form1 &form);

/// Analyses the current cycle when its steps were typed and not analysed
/// yet, animated (on leaving a field) or at once (at the start of a
/// command). A typed step outside the record is refused with the warning
/// and stays pending, so the command can stop instead of keeping results
/// that are not the steps'.
void analyseTypedSteps(Form1 &form, bool animate);

/// Forgets typed steps without analysing them ("Draw" and "Browse" start
/// over).
void dropTypedSteps();

} // namespace MODULE11
} // namespace kov
