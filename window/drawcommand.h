#pragma once

namespace kov {

class Form1;

/// "Draw" (index 0) and "Clear scale" (index 1): loads the record and draws
/// the hysteresis loop.
void Command3_Click(Form1 &form, int index);

/// Connects the clicks of Command3(0) and Command3(1) to Command3_Click.
void connectDrawCommand(Form1 &form);

} // namespace kov
