#pragma once

#include <chrono>

namespace kov {

class Form1;

/// The procedures the windows share. The cycle view's state lives in the
/// window's CycleView (analysis/cycleview.h); these procedures delegate to it.
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
/// stay as they were. A command started during a yield settles the
/// analysis first (CycleView).
void AnalyseCycle(Form1 &form);

/// Paces the animation of AnalyseCycle so that a person can watch it: each
/// integrated step then lasts at least pacedStepTime() of the cycle, and
/// pending events keep running while the view waits (a command during the
/// animation settles it; "Exit" ends the program at once). Off by default,
/// so tests run the view at full speed; the program turns it on.
void setAnimationPaced(Form1 &form, bool paced);
bool animationPaced(Form1 &form);

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
bool stepWithinRecord(Form1 &form, const char *what, long long step, int cycle);

} // namespace MODULE11
} // namespace kov
