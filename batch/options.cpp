#include "batch/options.h"

#include "core/drawing/picturefile.h"
#include "core/reader/numberscan.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <string_view>

namespace kov::batch {

namespace {
/// More threads than this help no machine kov-batch runs on.
constexpr long long MaxJobs = 1024;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
} // namespace

std::optional<long long> parseWhole(const std::string &text)
{
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    if (i == text.size())
        return std::nullopt;
    for (std::size_t j = i; j < text.size(); ++j)
        if (!isDigit(text[j]))
            return std::nullopt;
    long long value = 0;
    const char *begin = text.data() + i;
    const auto r = std::from_chars(begin, text.data() + text.size(), value);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size())
        return std::nullopt;
    return text[0] == '-' ? -value : value;
}

std::optional<double> parseDecimal(const std::string &text)
{
    return scanNumber(text, OptionDecimal);
}

std::string pictureName(const std::string &pattern, const std::string &baseName)
{
    // One pass, so a %n that the base name brings in stays as it is.
    std::string name;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 'n') {
            name += baseName;
            ++i;
        } else {
            name += pattern[i];
        }
    }
    return name;
}

std::string usageText()
{
    return "Usage: kov-batch [OPTION]... RECORD...\n"
           "Analyses each cyclic loading test record cycle by cycle, as the kov window does\n"
           "with \"Draw\", \"Next cycle\" until the end of the record, and \"Write to file\",\n"
           "and writes its results file NAME-kov.prn beside it (the record's name without\n"
           "its last four characters, followed by -kov.prn). The characters are dropped\n"
           "from the full path, so a name shorter than four characters reaches into its\n"
           "folder's name: /data/run/ab gives /data/ru-kov.prn, in /data.\n"
           "\n"
           "  --x-column N     column of the displacement X (default 1), or NAME: the\n"
           "                   column whose header names it (ignoring case; implies\n"
           "                   --skip-lines auto unless --skip-lines N is given)\n"
           "  --y-column N     column of the load Y (default 2), or NAME\n"
           "  --skip-lines N   header lines before the first data row (default 5), or\n"
           "                   auto: every line before the first row of numbers\n"
           "  --decimal-comma  fields separated by semicolons, blanks or tabs, with a\n"
           "                   comma before the decimals (1,5E-3)\n"
           "  --x-coef F       factor applied to every X value (default 1)\n"
           "  --y-coef F       factor applied to every Y value (default 1)\n"
           "  --x-unit TEXT    unit of X for the results table (default mm; with auto or\n"
           "                   a name, the header's units line where it has one)\n"
           "  --y-unit TEXT    unit of Y for the results table (default tonf)\n"
           "  --inspect        show for each record its header lines, columns with\n"
           "                   names and units, data rows, and the options that read it;\n"
           "                   analyse and write nothing\n"
           "  --stdout         write the results to standard output instead of a file\n"
           "  --plot FILE      also draw the loop of each record into FILE, a name ending\n"
           "                   in .png or .svg (%n in FILE stands for the record's base\n"
           "                   name); never over a record of the run\n"
           "  --plot-scale K   size factor of the picture, at least one pixel, at most 20\n"
           "                   (default 3)\n"
           "  --json           also write NAME-kov.json: settings, per-cycle results and\n"
           "                   metrics (stiffness, strength, residual displacement,\n"
           "                   energy dissipation ratio), the loading protocol's levels\n"
           "                   with their strength degradation, the positive, negative\n"
           "                   and average envelopes with their EEEP curves and\n"
           "                   ductility, and the acceptance (with --height)\n"
           "  --csv            also write NAME-kov.csv, the per-cycle table of --json,\n"
           "                   and NAME-kov-levels.csv, one row per level\n"
           "  --summary FILE   write one CSV row per record of the call into FILE, never\n"
           "                   over a record of the run\n"
           "  --report FILE    write one HTML page for all records of the call into FILE,\n"
           "                   a name ending in .html or .htm: a summary table, and per\n"
           "                   record the loop with its envelope and EEEP curves, charts\n"
           "                   of energy, damping and stiffness per cycle, and the\n"
           "                   per-cycle table; never over a record of the run\n"
           "  --level-tolerance F\n"
           "                   a cycle's peak joins the envelope when it goes beyond\n"
           "                   (1 + F) times the farthest peak before (0 to 1, default 0.05);\n"
           "                   the same rule splits the loading protocol into levels\n"
           "  --height H       lever arm or story height in X units: adds the drift X/H\n"
           "                   of every peak and level, and the acceptance at a drift\n"
           "  --acceptance-drift D\n"
           "                   drift of the level whose third repeat is judged for\n"
           "                   acceptance (default 0.035)\n"
           "  --yield-disp D   yield displacement in X units: adds the cumulative\n"
           "                   inelastic deformation in multiples of D\n"
           "  -j, --jobs N     analyse N records at once (1 to 1024; default: the cores\n"
           "                   this process may use); everything printed and written is\n"
           "                   the same for any N, in the order of the records\n"
           "  --quiet          print neither the progress line (shown when standard\n"
           "                   error is a terminal) nor the paths of the files written\n"
           "  --deadband F     an upward zero crossing of the load ends a cycle only once\n"
           "                   a load of that cycle before it reached -F (F in Y units,\n"
           "                   after --y-coef), or -P % of the record's largest absolute\n"
           "                   load when given as P%; 0, the default, takes every\n"
           "                   crossing. With --deadband 5 a load running -0.2, 0.3,\n"
           "                   -0.1, 0.4 ... starts no new cycle until it has been at\n"
           "                   -5 or below\n"
           "  --window-limits  hold to the window's limits: a record of more than 2000\n"
           "                   rows fails with error 9, and the analysis stops after\n"
           "                   cycle 100 (without it, records of any length and any\n"
           "                   number of cycles are analysed)\n"
           "  --help           show this help and exit\n"
           "  --version        show the version and exit\n"
           "\n"
           "No file of the call replaces a record or another output: such a call is a\n"
           "usage error, except when two records would write the same file, where the\n"
           "later one fails (58) and the earlier file stays. An earlier results file given\n"
           "as a record is skipped.\n"
           "\n"
           "Exit status: 0 when every record was written, 1 when any record failed,\n"
           "2 for a usage error, 130 when interrupted (Ctrl-C): the records under way are\n"
           "finished, no new one is started.\n";
}

std::optional<Options> parseOptions(const std::vector<std::string> &args, std::string &error)
{
    Options o;
    using Setter = std::function<bool(const std::string &)>;
    auto column = [&](std::int16_t &target, long long low) {
        return [&target, low](const std::string &v) {
            const auto n = parseWhole(v);
            if (!n || *n < low || *n > 32767)
                return false;
            target = static_cast<std::int16_t>(*n);
            return true;
        };
    };
    // A column by number, or by name: any value that is not a whole number.
    auto namedColumn = [&](std::int16_t &target, std::string &name) {
        return [&target, &name, number = column(target, 1)](const std::string &v) {
            // A sign and digits are a number, also when out of range.
            const std::size_t start = !v.empty() && (v[0] == '+' || v[0] == '-') ? 1 : 0;
            if (v.size() > start && v.find_first_not_of("0123456789", start) == std::string::npos) {
                name.clear();
                return number(v);
            }
            name = v;
            return !std::string_view(v).empty();
        };
    };
    auto coef = [](float &target) {
        return [&target](const std::string &v) {
            // Any value that rounds to a finite float; a tiny one becomes 0.
            const auto d = parseDecimal(v);
            if (!d || !std::isfinite(static_cast<float>(*d)))
                return false;
            target = static_cast<float>(*d);
            return true;
        };
    };
    auto text = [](std::string &target) {
        return [&target](const std::string &v) {
            target = v;
            return true;
        };
    };
    // A length the metrics divide by: finite and above 0.
    auto positive = [](std::optional<double> &target) {
        return [&target](const std::string &v) {
            const auto d = parseDecimal(v);
            if (!d || !(*d > 0.0 && std::isfinite(*d)))
                return false;
            target = *d;
            return true;
        };
    };
    const std::map<std::string, Setter> valued = {
        {"--x-column", namedColumn(o.xColumn, o.xColumnName)},
        {"--y-column", namedColumn(o.yColumn, o.yColumnName)},
        {"--skip-lines", [&o, number = column(o.skipLines, 0)](const std::string &v) {
             o.skipLinesAuto = v == "auto";
             o.skipLinesGiven = !o.skipLinesAuto;
             return o.skipLinesAuto || number(v);
         }},
        {"--x-coef", coef(o.xCoef)},
        {"--y-coef", coef(o.yCoef)},
        {"--x-unit", [&o, set = text(o.xUnit)](const std::string &v) { return o.xUnitGiven = set(v); }},
        {"--y-unit", [&o, set = text(o.yUnit)](const std::string &v) { return o.yUnitGiven = set(v); }},
        {"--plot", [&o](const std::string &v) {
             // The kind of picture follows the name, so a name that is
             // neither (a record's, say) is refused rather than overwritten.
             o.plotFile = v;
             return hasPictureExtension(v);
         }},
        {"--deadband", [&o](const std::string &v) {
             // A load of 0 or more, or a percentage of 0 to 100.
             const bool percent = !v.empty() && v.back() == '%';
             const auto d = parseDecimal(percent ? v.substr(0, v.size() - 1) : v);
             if (!d || !(*d >= 0.0 && *d <= (percent ? 100.0 : std::numeric_limits<double>::max())))
                 return false;
             o.deadband = {*d == 0.0 ? 0.0 : *d, percent}; // -0 is 0
             return true;
         }},
        {"--plot-scale", [&o](const std::string &v) {
             // The picture must be at least one pixel each way (the height
             // is the smaller).
             const auto d = parseDecimal(v);
             if (!d || *d > 20.0 || pictureHeight(*d) < 1)
                 return false;
             o.plotScale = *d;
             return true;
         }},
        {"--summary", [&o](const std::string &v) {
             o.summaryFile = v;
             return !v.empty();
         }},
        {"--report", [&o](const std::string &v) {
             // Like a picture, the page is only written under a name of its
             // kind, so that it can never replace a record or a results file.
             o.reportFile = v;
             return endsWithNoCase(v, ".html") || endsWithNoCase(v, ".htm");
         }},
        {"--jobs", [&o](const std::string &v) {
             const auto n = parseWhole(v);
             if (!n || *n < 1 || *n > MaxJobs)
                 return false;
             o.jobs = static_cast<int>(*n);
             return true;
         }},
        {"--level-tolerance", [&o](const std::string &v) {
             const auto d = parseDecimal(v);
             if (!d || !(*d >= 0.0 && *d <= 1.0))
                 return false;
             o.levelTolerance = *d == 0.0 ? 0.0 : *d; // -0 is 0
             return true;
         }},
        {"--height", positive(o.height)},
        {"--yield-disp", positive(o.yieldDisp)},
        {"--acceptance-drift", [&o](const std::string &v) {
             const auto d = parseDecimal(v);
             if (!d || !(*d > 0.0 && std::isfinite(*d)))
                 return false;
             o.acceptanceDrift = *d;
             return true;
         }},
    };

    bool onlyRecords = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (onlyRecords || a.size() < 2 || a[0] != '-' || a == "-") {
            o.records.push_back(a);
            continue;
        }
        if (a == "--") {
            onlyRecords = true;
            continue;
        }
        if (a == "--help") {
            o.help = true;
            continue;
        }
        if (a == "--version") {
            o.version = true;
            continue;
        }
        if (a == "--stdout") {
            o.toStdout = true;
            continue;
        }
        if (a == "--window-limits") {
            o.windowLimits = true;
            continue;
        }
        if (a == "--json" || a == "--csv") {
            (a == "--json" ? o.json : o.csv) = true;
            continue;
        }
        if (a == "--quiet") {
            o.quiet = true;
            continue;
        }
        if (a == "--inspect" || a == "--decimal-comma") {
            (a == "--inspect" ? o.inspect : o.decimalComma) = true;
            continue;
        }
        std::string name = a;
        std::optional<std::string> value;
        const std::size_t eq = a.find('=');
        if (a.starts_with("-j")) {
            // The short form of --jobs: "-j 4" or "-j4".
            name = "--jobs";
            if (a.size() > 2)
                value = a.substr(2);
        } else if (eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
        }
        const auto it = valued.find(name);
        if (it == valued.end()) {
            error = "kov-batch: unknown option '" + name + "' (see kov-batch --help)";
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                error = "kov-batch: option '" + name + "' needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (!it->second(*value)) {
            error = "kov-batch: invalid value '" + *value + "' for option '" + name + "'";
            return std::nullopt;
        }
    }
    // A name is looked up in the header, which must then be found.
    if ((!o.xColumnName.empty() || !o.yColumnName.empty()) && !o.skipLinesGiven)
        o.skipLinesAuto = true;
    if (!o.help && !o.version && o.records.empty()) {
        error = "kov-batch: no record given (see kov-batch --help)";
        return std::nullopt;
    }
    return o;
}

} // namespace kov::batch
