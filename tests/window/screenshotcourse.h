#pragma once

// The course of the README's picture of the window (docs/screenshot.png),
// shared by kov-screenshot, which takes it, and the test that checks it.

#include <QString>

namespace kov {

class Form1;

/// Drives the shown window to what its picture shows: X column 2, Y column
/// 3, an X coefficient of 1000 (metres to mm) and kN for the load; record
/// chosen in the file chooser; "Draw"; then "Next cycle" up to cycles times.
void runScreenshotCourse(Form1 &form, const QString &record, int cycles);

} // namespace kov
