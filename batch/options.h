#pragma once

#include "core/analysis/course.h"
#include "core/analysis/metrics.h"
#include "core/state/settings.h"

#include <optional>
#include <string>
#include <vector>

namespace kov::batch {

/// The options of one kov-batch run: the settings of the analysis (their
/// defaults are the window's start values), those of the metrics
/// (--level-tolerance, --height, --acceptance-drift, --yield-disp) and what
/// to write.
struct Options : Settings, MetricSettings {
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
    bool windowLimits = false; ///< --window-limits: the window's 2000 rows and 100 cycles
    Deadband deadband;         ///< --deadband F or P%
    bool inspect = false;     ///< --inspect: show how each record reads, analyse nothing
    bool skipLinesAuto = false;  ///< --skip-lines auto (also implied by a column name)
    bool skipLinesGiven = false; ///< --skip-lines N was given
    std::string xColumnName;  ///< --x-column NAME: the column of that name (instead of xColumn)
    std::string yColumnName;  ///< --y-column NAME
    bool xUnitGiven = false;  ///< --x-unit was given: a units line does not replace it
    bool yUnitGiven = false;
    bool decimalComma = false; ///< --decimal-comma: semicolons between fields, commas before decimals
    std::vector<std::string> records;

    /// The header must be read to know how to read the record.
    bool readsHeader() const { return skipLinesAuto || !xColumnName.empty() || !yColumnName.empty(); }
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
