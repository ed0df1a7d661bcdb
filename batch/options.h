#pragma once

#include "core/output/recordanalysis.h"

#include <optional>
#include <string>
#include <vector>

namespace kov::batch {

/// The options of one kov-batch run: those of every record's reading,
/// analysis and metrics (their defaults are the window's start values and
/// rules), and what to write.
struct Options : RecordOptions {
    bool toStdout = false;
    bool help = false;
    bool version = false;
    std::string plotFile;     ///< --plot: picture of each record (a name ending in .png or .svg)
    double plotScale = 3.0;   ///< --plot-scale: size factor of that picture
    bool json = false;        ///< --json: NAME-kov.json beside each results file
    bool csv = false;         ///< --csv: NAME-kov.csv beside each results file
    std::string summaryFile;  ///< --summary: one CSV row per record of the call
    std::string reportFile;   ///< --report: one HTML page for all records (a name ending in .html or .htm)
    int jobs = 0;             ///< --jobs, -j: records run at once; 0: the cores the process may use
    bool quiet = false;       ///< --quiet: no progress line, no path lines
    bool inspect = false;     ///< --inspect: show how each record reads, analyse nothing
    std::vector<std::string> records;
};

/// Parses the arguments after the program name. Returns the options, or
/// sets error to a one-line message for a usage error.
std::optional<Options> parseOptions(const std::vector<std::string> &args, std::string &error);

/// Strict number grammars of the options: an optional sign and digits; a
/// decimal [+-]? (digits [. digits?] | . digits) ([eE] [+-]? digits)?,
/// correctly rounded (+-infinity beyond the double range, 0 below it).
std::optional<long long> parseWhole(const std::string &text);
std::optional<double> parseDecimal(const std::string &text);

/// The picture name of a record: pattern with every %n replaced, in one
/// pass, by the record's base name.
std::string pictureName(const std::string &pattern, const std::string &baseName);

/// The usage text printed by --help.
std::string usageText();

} // namespace kov::batch
