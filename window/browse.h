#pragma once

namespace kov {

class Form1;

/// "Browse": shows the file chooser modally, then prepares the window for a
/// new drawing, whether or not a file was chosen.
void Command2_Click(Form1 &form);

/// Connects the click of Command2 to Command2_Click.
void connectBrowse(Form1 &form);

} // namespace kov
