#include "window/form1.h"

namespace kov {

// The one way tests reach the window's controls (the handlers of the program
// go through Form1's field, button and plot accessors).
Form1Widgets &controls(Form1 &form)
{
    return form;
}

const Form1Widgets &controls(const Form1 &form)
{
    return form;
}

} // namespace kov
