#include "chooser/browse.h"

#include "app/form1.h"

namespace kov {

void Command2_Click(Form1 &) {}
void connectBrowse(Form1 &) {}

} // namespace kov
