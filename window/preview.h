#pragma once

#include <string>

namespace kov {

class Form1;

namespace MODULE11 {

/// Shows the first six lines of the file in Form1's preview lines Text11(0..5),
/// one line per box, as they stand (without their line ends). A file of fewer
/// lines leaves the remaining boxes as they were. A file that cannot be read,
/// or that is empty, gets a warning saying why.
void PreviewDataFile(Form1 &form, const std::string &path);

} // namespace MODULE11
} // namespace kov
