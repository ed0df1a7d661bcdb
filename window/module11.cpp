#include "window/module11.h"

#include "window/cycleview.h"
#include "window/form1.h"
#include "window/messages.h"

#include <algorithm>

namespace kov::MODULE11 {

namespace {

constexpr std::chrono::microseconds AnimationTime{500'000};

/// The highest step the analysis may use: the last data row, at most 2000.
int lastStep(const SharedState &s)
{
    return static_cast<int>(std::min(static_cast<double>(s.RowCount), static_cast<double>(MaxStep)));
}

} // namespace

void AnalyseCycle(Form1 &form)
{
    CycleView::of(form).analyse(true);
}

void setAnimationPaced(Form1 &form, bool paced)
{
    CycleView::of(form).setPaced(paced);
}

bool animationPaced(Form1 &form)
{
    return CycleView::of(form).paced();
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

} // namespace kov::MODULE11
