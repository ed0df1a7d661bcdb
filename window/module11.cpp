#include "window/module11.h"

#include "window/cycleview.h"
#include "window/form1.h"

namespace kov::MODULE11 {

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

} // namespace kov::MODULE11
