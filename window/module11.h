#pragma once

namespace kov {

class Form1;

/// The procedures the windows share. The cycle view's state lives in the
/// window's CycleView (window/cycleview.h); these procedures delegate to it.
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
/// integrated step then lasts at least pacedStepTime() of the cycle
/// (window/cycleview.h), and pending events keep running while the view
/// waits (a command during the animation settles it; "Exit" ends the program
/// at once). Off by default, so tests run the view at full speed; the
/// program turns it on.
void setAnimationPaced(Form1 &form, bool paced);
bool animationPaced(Form1 &form);

} // namespace MODULE11
} // namespace kov
