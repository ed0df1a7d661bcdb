#pragma once

#include "core/output/atomicfile.h"
#include "core/state/sharedstate.h"

#include <ctime>
#include <string>
#include <string_view>

namespace kov {

/// The first line of every results file (without its line end): kov-batch
/// knows an earlier results file given as a record by it.
inline constexpr std::string_view ResultsFirstLine = "Absorbed Energy and Equivalent Damping Factor calculated by kov1";

/// The record's absolute path, lexically normalised ("/a/./b/../c.prn" gives
/// "/a/c.prn"), symbolic links not resolved: what line 2 shows and what the
/// results name is derived from. The record itself is opened as named.
std::string normalisedAbsolutePath(const std::string &path);

/// The results file's name: dataFileName without its last four characters
/// followed by "-kov.prn". Characters are Unicode code points of the UTF-8
/// text; a byte that is not part of a valid UTF-8 character counts as one.
/// The rule works on the whole path: for a record name shorter than four
/// characters the dropped characters reach into the folder's name
/// ("/data/run/ab" gives "/data/ru-kov.prn").
/// Fails with error 52 when dataFileName is shorter than four characters.
std::string resultsFileName(const std::string &dataFileName);

/// The name of another file written beside the record by the same rule,
/// ending in ending instead of "-kov.prn" ("-kov.json", "-kov.csv").
std::string outputFileName(const std::string &dataFileName, const std::string &ending);

/// The complete results text (CR LF line ends, UTF-8) for cycles 1..CycleNo,
/// with the date and time of line 2 taken from now. Stores the X and Y
/// labels built from XUnit/YUnit back into XUnit/YUnit.
std::string resultsText(SharedState &state, const std::tm &now);

/// Writes the results file beside the test record and returns its path, the
/// results name of the record's normalised absolute path.
/// The text goes to a temporary file in the same folder, renamed over the
/// target only when complete, so a failure never destroys earlier results.
/// Throws Failure (52 name too short, 76 folder missing, 70 no permission,
/// 61 disk full, 9 a peak step outside 0..2000) with a description that
/// names the file.
/// With pending, the file is left in its temporary file for its publisher.
std::string WriteResultsFile(SharedState &state, PendingWrites *pending = nullptr);

} // namespace kov
