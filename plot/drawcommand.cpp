#include "plot/drawcommand.h"

#include "app/form1.h"

namespace kov {

void Command3_Click(Form1 &, int) {}
void connectDrawCommand(Form1 &) {}

} // namespace kov
