#pragma once

// Corrections of the proposed steps, given as a CSV file: what a window user
// does with the step buttons, for an analysis without a window.

#include <optional>
#include <string>
#include <vector>

namespace kov {

/// The steps a user gives for one cycle; a step not given keeps the
/// proposal. A peak step of 0 is no peak.
struct StepCorrection {
    int cycle = 0;
    std::optional<int> endStep;
    std::optional<int> peak1Step;
    std::optional<int> peak2Step;
    int line = 0; ///< the line of the file it stands on (from 1)
};

/// A steps file as read: its name as given, its SHA-256 and its rows in the
/// order of their cycles.
struct StepsFile {
    std::string path;
    std::string sha256;
    std::vector<StepCorrection> corrections; ///< ascending by cycle, each cycle once
};

/// Parses the text of a steps file named name: a CSV (RFC 4180; a leading
/// byte-order mark, blank lines and blanks around a cell are ignored) whose
/// header names "cycle" and some of "end_step", "peak1_step", "peak2_step"
/// (other columns are ignored, so a per-cycle CSV of kov-batch can be given
/// back), then one row per cycle to correct, an empty cell keeping the
/// proposal. Throws Failure (Kind::Input) with "NAME line N: REASON" for a
/// header without "cycle", a cell that is not a whole number, a cycle below
/// 1 and a cycle given twice.
std::vector<StepCorrection> parseSteps(const std::string &text, const std::string &name);

/// Reads and parses the steps file at path. Throws the reader's Failure
/// when it cannot be read (53 missing, 70 no permission...), with a
/// description that names it, and parseSteps' failures.
StepsFile readStepsFile(const std::string &path);

/// pattern with every %n replaced, in one pass, by baseName.
std::string withBaseName(const std::string &pattern, const std::string &baseName);

} // namespace kov
