#include "batch/options.h"

#include "core/analysis/stepsfile.h"
#include "core/drawing/picturefile.h"
#include "core/reader/numberscan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string_view>

namespace kov::batch {

namespace {
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
    return withBaseName(pattern, baseName);
}

namespace {

/// More threads than this help no machine kov-batch runs on.
constexpr long long MaxJobs = 1024;

/// A whole number in low..32767 into target.
bool setWhole16(std::int16_t &target, const std::string &v, long long low)
{
    const auto n = parseWhole(v);
    if (!n || *n < low || *n > 32767)
        return false;
    target = static_cast<std::int16_t>(*n);
    return true;
}

/// A column by number, or by name: any value that is not a whole number.
bool setColumn(std::int16_t &number, std::string &name, const std::string &v)
{
    // A sign and digits are a number, also when out of range.
    const std::size_t start = !v.empty() && (v[0] == '+' || v[0] == '-') ? 1 : 0;
    if (v.size() > start && v.find_first_not_of("0123456789", start) == std::string::npos) {
        name.clear();
        return setWhole16(number, v, 1);
    }
    name = v;
    return !v.empty();
}

/// Any value that rounds to a finite float; a tiny one becomes 0.
bool setCoef(float &target, const std::string &v)
{
    const auto d = parseDecimal(v);
    if (!d || !std::isfinite(static_cast<float>(*d)))
        return false;
    target = static_cast<float>(*d);
    return true;
}

/// A length the metrics divide by: finite and above 0.
bool setPositive(std::optional<double> &target, const std::string &v)
{
    const auto d = parseDecimal(v);
    if (!d || !(*d > 0.0 && std::isfinite(*d)))
        return false;
    target = *d;
    return true;
}

bool setSkipLines(Options &o, const std::string &v)
{
    o.skipLinesAuto = o.skipLinesAutoAsked = v == "auto";
    o.skipLinesGiven = !o.skipLinesAuto;
    return o.skipLinesAuto || setWhole16(o.skipLines, v, 0);
}

bool setPlot(Options &o, const std::string &v)
{
    // The kind of picture follows the name, so a name that is neither (a
    // record's, say) is refused rather than overwritten.
    o.plotFile = v;
    return hasPictureExtension(v);
}

bool setPlotScale(Options &o, const std::string &v)
{
    // The picture must be at least one pixel each way (the height is the
    // smaller).
    const auto d = parseDecimal(v);
    if (!d || *d > 20.0 || pictureHeight(*d) < 1)
        return false;
    o.plotScale = *d;
    return true;
}

bool setReport(Options &o, const std::string &v)
{
    // Like a picture, the page is only written under a name of its kind, so
    // that it can never replace a record or a results file.
    o.reportFile = v;
    return v == "-" || endsWithNoCase(v, ".html") || endsWithNoCase(v, ".htm");
}

bool setLevelTolerance(Options &o, const std::string &v)
{
    const auto d = parseDecimal(v);
    if (!d || !(*d >= 0.0 && *d <= 1.0))
        return false;
    o.levelTolerance = *d == 0.0 ? 0.0 : *d; // -0 is 0
    return true;
}

bool setAcceptanceDrift(Options &o, const std::string &v)
{
    const auto d = parseDecimal(v);
    if (!d || !(*d > 0.0 && std::isfinite(*d)))
        return false;
    o.acceptanceDrift = *d;
    return true;
}

bool setJobs(Options &o, const std::string &v)
{
    const auto n = parseWhole(v);
    if (!n || *n < 1 || *n > MaxJobs)
        return false;
    o.jobs = static_cast<int>(*n);
    return true;
}

bool setDeadband(Options &o, const std::string &v)
{
    // A load of 0 or more, or a percentage of 0 to 100.
    const bool percent = !v.empty() && v.back() == '%';
    const auto d = parseDecimal(percent ? v.substr(0, v.size() - 1) : v);
    if (!d || !(*d >= 0.0 && *d <= (percent ? 100.0 : std::numeric_limits<double>::max())))
        return false;
    o.deadband = {*d == 0.0 ? 0.0 : *d, percent}; // -0 is 0
    return true;
}

bool setWindow(Options &o, const std::string &)
{
    o.peakRule = PeakRule::Window;
    return o.windowLimits = true;
}

bool setPeakRule(Options &o, const std::string &v)
{
    if (v != "halves" && v != "window")
        return false;
    o.peakRule = v == "halves" ? PeakRule::Halves : PeakRule::Window;
    return true;
}

bool setEnvelope(Options &o, const std::string &v)
{
    if (v != "peak-load" && v != "peak-displacement")
        return false;
    o.envelope = v == "peak-load" ? EnvelopeRule::PeakLoad : EnvelopeRule::PeakDisplacement;
    return true;
}

bool setSteps(Options &o, const std::string &v)
{
    o.stepsFile = v;
    return !v.empty();
}

/// FROM:TO, FROM: or :TO, data rows counted from 1, FROM <= TO.
bool setRows(Options &o, const std::string &v)
{
    const std::size_t colon = v.find(':');
    if (colon == std::string::npos || v == ":")
        return false;
    auto row = [](const std::string &text) -> std::optional<std::optional<long long>> {
        if (text.empty())
            return std::optional<long long>();
        const auto n = parseWhole(text);
        if (!n || *n < 1 || text[0] == '+' || text[0] == '-')
            return std::nullopt;
        return std::optional<long long>(*n);
    };
    const auto from = row(v.substr(0, colon));
    const auto to = row(v.substr(colon + 1));
    if (!from || !to || (*from && *to && **from > **to))
        return false;
    o.firstRow = *from;
    o.lastRow = *to;
    return true;
}

/// F (a finite float once rounded) or "first".
bool setOffset(ColumnOffset &offset, const std::string &v)
{
    if (v == "first") {
        offset = {ColumnOffset::Kind::FirstRow, 0.0};
        return true;
    }
    const auto d = parseDecimal(v);
    if (!d || !std::isfinite(static_cast<float>(*d)))
        return false;
    offset = {ColumnOffset::Kind::Value, *d == 0.0 ? 0.0 : *d}; // -0 is 0
    return true;
}

bool setXOffset(Options &o, const std::string &v)
{
    return setOffset(o.xOffset, v);
}

bool setYOffset(Options &o, const std::string &v)
{
    return setOffset(o.yOffset, v);
}

// The texts keep the line breaks they are shown with: --help's lines fit an
// 80-column terminal, and the man page's follow roff's one sentence a line
// where it can. A row names only the fields it sets; the others keep their
// defaults, which GCC would warn about for each row.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
constexpr OptionDef Table[] = {
    {
        .name = "--x-column",
        .argument = "N",
        .manArgument = "N|NAME",
        .defaultValue = "1",
        .help = R"(column of the displacement X (default {default}), or NAME: the
column whose header names it (ignoring case; implies
--skip-lines auto unless --skip-lines N is given))",
        .man = R"(column of the displacement X, counted from 1 (default {default}).
Any value that is not a whole number is a name: the column whose name in the
header, without the blanks and quotes around it, is
.I NAME
ignoring case, or else the one column whose name contains it (a line on
standard error names it).
A name that several columns have, or that no column has and none or several
contain, is a usage error listing the columns found. A name implies
.B \-\-skip\-lines auto
unless
.BI \-\-skip\-lines " N"
is given.)",
        .completion = ValueCompletion::Free,
        .set = [](Options &o, const std::string &v) { return setColumn(o.xColumn, o.xColumnName, v); },
        .perRecord = true,
    },
    {
        .name = "--y-column",
        .argument = "N",
        .manArgument = "N|NAME",
        .defaultValue = "2",
        .help = R"(column of the load Y (default {default}), or NAME)",
        .man = R"(column of the load Y, counted from 1 (default {default}), or its name.)",
        .completion = ValueCompletion::Free,
        .set = [](Options &o, const std::string &v) { return setColumn(o.yColumn, o.yColumnName, v); },
        .perRecord = true,
    },
    {
        .name = "--skip-lines",
        .argument = "N",
        .manArgument = "N|auto",
        .defaultValue = "5",
        .help = R"(header lines before the first data row (default {default}), or
auto: every line before the first row of numbers)",
        .man = R"(header lines before the first data row, 0 or more (default {default}).
.B auto
takes every line before the first line that reads as a complete data row
(every field a number, as many fields as the line after it), looked for in
the record's first 64 KiB; a longer header fails the record (error 62) and
needs
.BI \-\-skip\-lines " N".
With
.B auto
or a column name, the header's last line gives the column names and, when
the line after the names is the last header line and holds short texts
without digits, that line gives the units of X and Y unless
.B \-\-x\-unit
or
.B \-\-y\-unit
is given.)",
        .completion = ValueCompletion::Words,
        .completionWords = "auto",
        .set = setSkipLines,
        .perRecord = true,
    },
    {
        .name = "--sheet",
        .argument = "NAME|N",
        .help = R"(the sheet of a workbook record that is read: its name
(ignoring case) or its number from 1 (default: the first))",
        .man = R"(the sheet of a workbook record (.xlsx or .xls) that is read: the sheet of
that name, ignoring case, or failing that the sheet of that number, counted
from 1 (default: the first). A workbook that has no such sheet is a usage
error that lists its sheets; the option does not concern text records.)",
        .completion = ValueCompletion::Free,
        .set = [](Options &o, const std::string &v) { o.sheet = v; return !v.empty(); },
        .perRecord = true,
    },
    {
        .name = "--decimal-comma",
        .help = R"(fields separated by semicolons, blanks or tabs, with a
comma before the decimals (1,5E-3))",
        .man = R"(the fields are separated by semicolons, blanks or tabs, and a comma is the
decimal point
.RB ( 1,5E\-3 ).
Without it, a record that fails to load and whose data rows hold semicolons
gets one more line suggesting this option.)",
        .completion = ValueCompletion::Flag,
        .flag = &Options::decimalComma,
        .perRecord = true,
    },
    {
        .name = "--x-coef",
        .argument = "F",
        .defaultValue = "1",
        .help = R"(factor applied to every X value (default {default}))",
        .man = R"(factor applied to every X value (default {default}).)",
        .completion = ValueCompletion::Free,
        .set = [](Options &o, const std::string &v) { return setCoef(o.xCoef, v); },
        .perRecord = true,
    },
    {
        .name = "--y-coef",
        .argument = "F",
        .defaultValue = "1",
        .help = R"(factor applied to every Y value (default {default}))",
        .man = R"(factor applied to every Y value (default {default}).)",
        .completion = ValueCompletion::Free,
        .set = [](Options &o, const std::string &v) { return setCoef(o.yCoef, v); },
        .perRecord = true,
    },
    {
        .name = "--x-unit",
        .argument = "TEXT",
        .defaultValue = "mm",
        .help = R"(unit of X for the results table (default {default}; with auto or
a name, the header's units line where it has one))",
        .man = R"(unit of X for the results table (default {default}).)",
        .completion = ValueCompletion::Words,
        .completionWords = "mm cm m % μ",
        .set = [](Options &o, const std::string &v) { o.xUnit = v; return o.xUnitGiven = true; },
        .perRecord = true,
    },
    {
        .name = "--y-unit",
        .argument = "TEXT",
        .defaultValue = "tonf",
        .help = R"(unit of Y for the results table (default {default}))",
        .man = R"(unit of Y for the results table (default {default}).)",
        .completion = ValueCompletion::Words,
        .completionWords = "tonf kgf kN MPa GPa",
        .set = [](Options &o, const std::string &v) { o.yUnit = v; return o.yUnitGiven = true; },
        .perRecord = true,
    },
    {
        .name = "--inspect",
        .help = R"(show for each record its header lines, columns with
names and units, data rows, and the options that read it;
analyse and write nothing)",
        .man = R"(analyse and write nothing: for each record print its header lines, numbered,
the number of columns with each column's name and unit where the header gives
them, the number of data rows, the first and last data rows, and the
options that would read it (with
.B \-\-x\-column
and
.B \-\-y\-column
only where the names say which column is the displacement, disp, stroke,
drift, deflection, and which the load, force or load), with where each unit
comes from. Exit status 0 when every record can be read.)",
        .completion = ValueCompletion::Flag,
        .flag = &Options::inspect,
    },
    {
        .name = "--stdout",
        .help = R"(write the results to standard output instead of a file)",
        .man = R"(write the results table to standard output instead of a file.
Standard output then carries the tables only: files of
.B \-\-json
and
.B \-\-csv
are still written, but their paths are not printed.)",
        .completion = ValueCompletion::Flag,
        .flag = &Options::toStdout,
    },
    {
        .name = "--plot",
        .argument = "FILE",
        .help = R"(also draw the loop of each record into FILE, a name ending
in .png or .svg (%n in FILE stands for the record's base
name); never over a record of the run)",
        .man = R"(also draw the loop of each record into
.IR FILE ,
a name ending in .png or .svg (any other name is a usage error);
.B %n
in
.I FILE
stands for the record's base name.
A picture that would replace a record of the run is a usage error.
The picture is written whole or not at all, like the results file.
Pictures are drawn by the window's drawing code in kov's picture module
.RI ( LIBDIR /kov/plugins/kov\-pictures.so ),
which only this option loads; where it is missing, each picture fails with a
message naming it (exit status 1), and the results are still written.
The module is looked for only beside the program's own path; where that path
cannot be read, pictures fail the same way and nothing is loaded.
A record longer than the window shows (more than 2000 steps or 100 cycles) is
drawn light: the path leaves out only steps within half a pixel of the line
drawn, and a step's marker is drawn only one marker diameter apart from the
markers before it, except at the peak and end steps of the cycles, which are
always on the path and marked.)",
        .completion = ValueCompletion::Files,
        .completionWords = "@(png|svg)",
        .set = setPlot,
    },
    {
        .name = "--plot-scale",
        .argument = "K",
        .defaultValue = "3",
        .help = R"(size factor of the picture, at least one pixel, at most 20
(default {default}))",
        .man = R"(size factor of the picture (default {default}): the plot area of 273 \(mu 249 pixels
times
.IR K ,
at least one pixel, at most 20.)",
        .completion = ValueCompletion::Free,
        .set = setPlotScale,
    },
    {
        .name = "--json",
        .help = R"(also write NAME-kov.json: settings, per-cycle results and
metrics (stiffness, strength, residual displacement,
energy dissipation ratio), the loading protocol's levels
with their strength degradation, the positive, negative
and average envelopes with their EEEP curves and
ductility, and the acceptance (with --height))",
        .man = R"(also write
.I NAME\-kov.json
beside the results file: the version and the settings, the cycle table with
the metrics of every cycle (among them the level, role, relative energy
dissipation ratio, drift and inelastic deformation), the levels of the loading
protocol with their strength degradation, the positive, negative and average
envelopes with their EEEP curves, and the acceptance (see
.BR METRICS ).)",
        .completion = ValueCompletion::Flag,
        .flag = &Options::json,
    },
    {
        .name = "--csv",
        .help = R"(also write NAME-kov.csv, the per-cycle table of --json,
and NAME-kov-levels.csv, one row per level)",
        .man = R"(also write
.IR NAME\-kov.csv :
the cycle table of
.B \-\-json
as CSV, and
.IR NAME\-kov\-levels.csv ,
one row per level.)",
        .completion = ValueCompletion::Flag,
        .flag = &Options::csv,
    },
    {
        .name = "--summary",
        .argument = "FILE",
        .help = R"(write one CSV row per record of the call into FILE, never
over a record of the run; - for standard output, after
the records' lines)",
        .man = R"(write one CSV row per record of the call into
.IR FILE ,
also for records that fail.
The JSON, the CSV, the summary and the report record each record's SHA-256
(of its bytes as read, computed in the same reading) and the program's version
.RB ( record_sha256 ,
.BR version ),
so that a result can be traced to the exact file.
A summary that would replace a record of the run is a usage error.
With
.B \-
as
.IR FILE ,
the summary goes to standard output, after the lines of the records.)",
        .completion = ValueCompletion::Files,
        .completionWords = "csv",
        .set = [](Options &o, const std::string &v) { o.summaryFile = v; return !v.empty(); },
    },
    {
        .name = "--compare",
        .argument = "FILE",
        .help = R"(write the statistics of each group of records (count, mean,
median, coefficient of variation of the envelope's figures)
as CSV into FILE, never over a record of the run; - for
standard output, after the records' lines)",
        .man = R"(write, per group of records (all the records of the call when none has a
group), the count, mean, median and coefficient of variation (sample standard
deviation over the mean's magnitude) of the peak load, the displacement at it,
the elastic stiffness, the yield load and displacement, the ultimate
displacement and the ductility of each side of the envelope, the energy of the
closed cycles and the smallest energy dissipation ratio, as CSV into
.IR FILE ,
with each group's medians over those of the reference group.
Records that fail are left out and counted.
A comparison that would replace a record of the run, the summary or the report
is a usage error.
With
.B \-
as
.IR FILE ,
the table goes to standard output, after the lines of the records.)",
        .completion = ValueCompletion::Files,
        .completionWords = "csv",
        .set = [](Options &o, const std::string &v) { o.compareFile = v; return !v.empty(); },
    },
    {
        .name = "--report",
        .argument = "FILE",
        .help = R"(write one HTML page for all records of the call into FILE,
a name ending in .html or .htm: a summary table, and per
record the loop with its envelope and EEEP curves, charts
of energy, damping and stiffness per cycle, and the
per-cycle table; never over a record of the run; - for
standard output, after the records' lines)",
        .man = R"(write one HTML page for all records of the call into
.IR FILE ,
a name ending in
.B .html
or
.BR .htm :
a summary table (a row per record, named by the shortest ending of its path
that tells it from the other records, a failed one with its error lines), and
for every record that loads a section with the loop (cycle end steps red, peak
steps 1 blue and 2 green, the envelope of each side and its EEEP curve dashed),
charts of the energy, cumulative energy, damping, secant stiffness, loading
protocol (amplitude by role) and energy dissipation ratio per cycle, the
envelope figures, the levels with their strength degradation, the acceptance
checks (with
.BR \-\-height ),
the per\-cycle table of
.B \-\-csv
and the settings (see
.BR REPORT ).
A report that would replace a record of the run or the summary is a usage
error.
The report is written as text, without Qt or a display, and its path is
listed on standard output with the records' files.
A cycle that no upward zero crossing ends (the open tail of a record) is
drawn hollow and dashed, marked open in the tables, and in no chart's scale.
With
.B \-
as
.IR FILE ,
the page goes to standard output, after the lines of the records (not with
.B \-\-summary \-
too).)",
        .completion = ValueCompletion::Files,
        .completionWords = "@(html|htm)",
        .set = setReport,
    },
    {
        .name = "--campaign",
        .argument = "FILE",
        .help = R"(also analyse the records of the CSV file FILE, a row each:
a column record (its path, from FILE's folder), label,
group, and any per-record option as a column named
after it (x_coef, skip_lines...); an empty cell takes
the command line's value)",
        .man = R"(also analyse the records listed in the CSV file
.I FILE
(RFC 4180, a header line first), after those of the command line: a row per
record, in a column
.B record
its path (a relative path is taken from the folder of
.IR FILE ),
and optionally a column
.B label
(how the report names it; default: its base name) and a column
.B group
(default: none).
Any other column gives the option of its name to that record alone: the
option's name without the leading dashes, its dashes as underscores
.RB ( x_column ,
.BR y_column ,
.BR skip_lines ,
.BR sheet ,
.BR decimal_comma ,
.BR x_coef ,
.BR y_coef ,
.BR x_unit ,
.BR y_unit ,
.BR level_tolerance ,
.BR height ,
.BR acceptance_drift ,
.BR yield_disp ,
.BR deadband ,
.BR window_limits ,
.BR window ,
.BR peak_rule ,
.BR envelope ,
.BR steps ,
.BR rows ,
.BR x_offset ,
.BR y_offset );
its values are those the option takes, a flag's
.B yes
or
.B no
.RB ( window ,
which sets two options, only
.BR yes ),
and a relative
.B steps
file is taken from the folder of
.I FILE
too. An empty cell takes the value of the command line.
A campaign file that cannot be read, lacks the
.B record
column, has a column of no such option, a value the option does not take, a
row of another number of fields, a record that does not exist or that an
earlier row or the command line names too, or no row at all, is a usage error
that names its line and column; no record is read before. No output of the
call may replace the campaign file (nor a steps file it reads).)",
        .completion = ValueCompletion::Files,
        .completionWords = "csv",
        .set = [](Options &o, const std::string &v) { o.campaignFile = v; return !v.empty(); },
    },
    {
        .name = "--reference-group",
        .argument = "NAME",
        .help = R"(the group of the campaign file that the comparison (the
report's, --compare) divides the other groups' medians by)",
        .man = R"(the group (a campaign file's column
.BR group )
whose medians the comparison of the report and of
.B \-\-compare
divides the other groups' medians by, as ratios. A name that no record's group
has is a usage error that lists the groups.)",
        .completion = ValueCompletion::Free,
        .set = [](Options &o, const std::string &v) { o.referenceGroup = v; return !v.empty(); },
    },
    {
        .name = "--level-tolerance",
        .argument = "F",
        .defaultValue = "0.05",
        .help = R"(a cycle's peak joins the envelope when it goes beyond
(1 + F) times the farthest peak before (0 to 1, default 0.05);
the same rule splits the loading protocol into levels)",
        .man = R"(a cycle's peak starts a new displacement level of the envelope when it goes
beyond (1 +
.IR F )
times the farthest peak before it; 0 to 1 (default {default}).
The same rule starts a level of the loading protocol; a later cycle of a
level is a repeat when its amplitude is at least (1 \-
.IR F )
times the level's, else trailing.)",
        .completion = ValueCompletion::Free,
        .set = setLevelTolerance,
        .perRecord = true,
    },
    {
        .name = "--height",
        .argument = "H",
        .help = R"(lever arm or story height in X units: adds the drift X/H
of every peak and level, and the acceptance at a drift)",
        .man = R"(the lever arm or story height, in the unit of X (positive): adds the drift
X /
.I H
of both peaks of every cycle and of every level, and the acceptance at the
third repeat of the first level whose drift reaches the acceptance drift.)",
        .completion = ValueCompletion::Free,
        .set = [](Options &o, const std::string &v) { return setPositive(o.height, v); },
        .perRecord = true,
    },
    {
        .name = "--acceptance-drift",
        .argument = "D",
        .defaultValue = "0.035",
        .help = R"(drift of the level whose third repeat is judged for
acceptance (default {default}))",
        .man = R"(the drift at which acceptance is judged (positive, default 0.035).)",
        .completion = ValueCompletion::Free,
        .set = setAcceptanceDrift,
        .perRecord = true,
    },
    {
        .name = "--yield-disp",
        .argument = "D",
        .help = R"(yield displacement in X units: adds the cumulative
inelastic deformation in multiples of D)",
        .man = R"(the yield displacement, in the unit of X (positive): adds each cycle's
inelastic deformation in multiples of
.I D
and its running sum.)",
        .completion = ValueCompletion::Free,
        .set = [](Options &o, const std::string &v) { return setPositive(o.yieldDisp, v); },
        .perRecord = true,
    },
    {
        .name = "--jobs",
        .shortName = "-j",
        .argument = "N",
        .help = R"(analyse N records at once (1 to 1024; default: the cores
this process may use); everything printed and written is
the same for any N, in the order of the records)",
        .man = R"(analyse
.I N
records at once, 1 to 1024 (default: the number of cores the process may run
on).
Everything printed and written is the same for any
.IR N :
standard output and standard error in the order of the records, the same
files, the same exit status.
At most
.I N
records are in memory at once, besides those waiting for their files to
reach the disk, which hold only their lines.)",
        .completion = ValueCompletion::Free,
        .set = setJobs,
    },
    {
        .name = "--quiet",
        .help = R"(print neither the progress line (shown when standard
error is a terminal) nor the paths of the files written)",
        .man = R"(print neither the progress line nor the paths of the files written.
When standard error is a terminal and the call has more than one record, a
progress line there shows the records done, the failures so far, the records
per second and the time left; it is cleared at the end.)",
        .completion = ValueCompletion::Flag,
        .flag = &Options::quiet,
    },
    {
        .name = "--no-sync",
        .help = R"(do not wait for each file to reach the disk (faster, for
scratch folders): after a crash of the system, not of
kov-batch alone, a file written may be empty or cut short)",
        .man = R"(do not wait for the files written to reach the disk.
By default each file's data is flushed to the disk before the file takes its
name, and each folder once its files have their names, so that after a crash
of the system or a power cut each output is its earlier file or the new one
whole.
With
.BR \-\-no\-sync ,
meant for scratch folders, a call is faster, but after such a crash a file
written may be empty or cut short, and a file replaced may be its earlier self
or lost.
A crash of kov\-batch alone (not of the system) still leaves every file its
earlier self or the new one whole, and never a temporary file.)",
        .completion = ValueCompletion::Flag,
        .flag = &Options::noSync,
    },
    {
        .name = "--deadband",
        .argument = "F",
        .defaultValue = "0",
        .help = R"(an upward zero crossing of the load ends a cycle only once
a load of that cycle before it reached -F (F in Y units,
after --y-coef), or -P % of the record's largest absolute
load when given as P%; {default}, the default, takes every
crossing. With --deadband 5 a load running -0.2, 0.3,
-0.1, 0.4 ... starts no new cycle until it has been at
-5 or below)",
        .man = R"(an upward zero crossing of the load ends a cycle only once a load of that
cycle before it has reached
.RI \- F
.RI ( F
in the record's Y units, after
.BR \-\-y\-coef );
given as
.IR P %,
.I F
is
.I P
percent of the record's largest absolute load.
{default}, the default, takes every crossing, as the window does.
With
.B \-\-deadband 5
a load running 40, 12, 3, \-0.2, 0.3, \-0.1, 0.4, 6 stays in one cycle until
it has been at \-5 or below.
When cycles ended by a crossing never had a load below \-5 % of the record's
largest absolute load, a warning names how many look like noise and suggests
.BR "\-\-deadband 5%" ;
the summary's column
.B noise_cycles
and the report show the count.)",
        .completion = ValueCompletion::Free,
        .set = setDeadband,
        .perRecord = true,
    },
    {
        .name = "--window-limits",
        .help = R"(hold to the window's limits: a record of more than 2000
rows fails with error 9, and the analysis stops after
cycle 100 (without it, records of any length and any
number of cycles are analysed))",
        .man = R"(hold to the window's limits, so that a window analysis can be checked byte for
byte: a record of more than 2000 data rows fails with error 9 (at the first
chosen field of row 2001, as the window reads it), and the analysis stops after
cycle 100 with the warning
.RI \(lq "only the first 100 cycles were analysed; the record goes on" \(rq.
A record within both limits gives the same files with and without it.)",
        .completion = ValueCompletion::Flag,
        .flag = &Options::windowLimits,
        .perRecord = true,
    },
    {
        .name = "--window",
        .help = R"(analyse as the window does: its limits (--window-limits)
and its peak rule (--peak-rule window))",
        .man = R"(analyse exactly as the window does, so that a window analysis can be checked
byte for byte:
.B \-\-window\-limits
and
.BR "\-\-peak\-rule window" .)",
        .completion = ValueCompletion::Flag,
        .set = setWindow,
        .perRecord = true,
    },
    {
        .name = "--peak-rule",
        .argument = "RULE",
        .defaultValue = "halves",
        .help = R"(how peak step 2 is proposed: halves (default), the
smallest X after peak step 1, or window, the smallest X
of the whole cycle)",
        .man = R"(how the peak steps are proposed.
Peak step 1 is the step of the largest displacement of the cycle under both
rules.
.B halves
(the default): peak step 2 is the step of the smallest displacement after peak
step 1, so that a cycle that starts on the unloading branch of a larger cycle
before it does not take that branch's first step as its negative peak.
.BR window :
the step of the smallest displacement of the whole cycle, as the window
proposes it.)",
        .completion = ValueCompletion::Words,
        .completionWords = "halves window",
        .set = setPeakRule,
        .perRecord = true,
    },
    {
        .name = "--envelope",
        .argument = "RULE",
        .defaultValue = "peak-load",
        .help = R"(the point a primary cycle gives the envelope: peak-load
(default, ASTM E2126), its largest load and the
displacement there, or peak-displacement, the load at
its peak step)",
        .man = R"(the point a primary cycle (the first of each displacement level) gives the
envelope.
.B peak\-load
(the default, as ASTM E2126 defines the envelope): the cycle's largest load on
the positive side, its smallest on the negative side, each with the
displacement at it.
.BR peak\-displacement :
the load at the cycle's peak steps.
EEEP curves, ductility and the average envelope are computed on these points.)",
        .completion = ValueCompletion::Words,
        .completionWords = "peak-load peak-displacement",
        .set = setEnvelope,
        .perRecord = true,
    },
    {
        .name = "--steps",
        .argument = "FILE",
        .help = R"(correct the proposed steps from FILE.csv (%n stands for
the record's base name): columns cycle and some of
end_step, peak1_step, peak2_step; an empty cell keeps
the proposal, a peak step of 0 is no peak)",
        .man = R"(correct the proposed steps as a window user does with the step buttons, from
.IR FILE ,
a CSV file whose header names
.B cycle
and some of
.BR end_step ,
.B peak1_step
and
.B peak2_step
(other columns are ignored, so the file that
.B \-\-csv
wrote can be edited and given back), one row per cycle to correct.
An empty cell keeps the proposed step; a peak step of 0 means no peak.
Cycle by cycle the search proposes, the file's steps replace the proposal and
the cycle is analysed; a corrected end step is where the next cycle's search
starts, and peaks not given are proposed again within it.
.B %n
in
.I FILE
stands for the record's base name; a record without its file then has no
corrections.
A cycle the record does not reach, a step outside the record or not after the
cycle's start, a peak after the cycle's end, a cycle given twice or a cell that
is not a whole number fails the record with a line naming the file, its line
and the reason.)",
        .completion = ValueCompletion::Files,
        .completionWords = "csv",
        .set = setSteps,
        .perRecord = true,
    },
    {
        .name = "--rows",
        .argument = "FROM:TO",
        .help = R"(analyse only data rows FROM to TO (from 1 after the
header; either may be left out): step 1 is row FROM)",
        .man = R"(analyse only the data rows
.I FROM
to
.IR TO ,
counted from 1 after the header lines, both included; either end may be left
out.
Step 1 is then row
.IR FROM .
A range beyond the record's rows fails the record.)",
        .completion = ValueCompletion::Free,
        .set = setRows,
        .perRecord = true,
    },
    {
        .name = "--x-offset",
        .argument = "F",
        .manArgument = "F|first",
        .help = R"(subtract F (in X units, after --x-coef) from every X, or
first: the first analysed row's X)",
        .man = R"(subtract
.I F
(in X units, after the coefficient) from every X value analysed, or with
.B first
the first analysed row's X, so that a record that starts away from zero
starts at zero.)",
        .completion = ValueCompletion::Free,
        .set = setXOffset,
        .perRecord = true,
    },
    {
        .name = "--y-offset",
        .argument = "F",
        .manArgument = "F|first",
        .help = R"(subtract F (in Y units, after --y-coef) from every Y, or
first: the first analysed row's Y)",
        .man = R"(subtract
.I F
(in Y units, after the coefficient) from every Y value analysed, or with
.B first
the first analysed row's Y.)",
        .completion = ValueCompletion::Free,
        .set = setYOffset,
        .perRecord = true,
    },
    {
        .name = "--help",
        .help = R"(show this help and exit)",
        .man = R"(show a short help and exit.)",
        .completion = ValueCompletion::Final,
        .flag = &Options::help,
    },
    {
        .name = "--version",
        .help = R"(show the version and exit)",
        .man = R"(show the version and exit.)",
        .completion = ValueCompletion::Final,
        .flag = &Options::version,
    },
};
#pragma GCC diagnostic pop

} // namespace

std::span<const OptionDef> optionTable()
{
    return Table;
}

std::string withDefault(std::string_view text, const OptionDef &option)
{
    constexpr std::string_view Placeholder = "{default}";
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text.substr(i, Placeholder.size()) == Placeholder) {
            out += option.defaultValue;
            i += Placeholder.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string usageText()
{
    std::string text = "Usage: kov-batch [OPTION]... RECORD...\n"
                       "  or:  kov-batch [OPTION]... --campaign FILE.csv [RECORD]...\n"
                       "Analyses each cyclic loading test record cycle by cycle, as the kov window does\n"
                       "with \"Draw\", \"Next cycle\" until the end of the record, and \"Write to file\",\n"
                       "and writes its results file NAME-kov.prn beside it (the record's name without\n"
                       "its last four characters, followed by -kov.prn). The characters are dropped\n"
                       "from the full path, so a name shorter than four characters reaches into its\n"
                       "folder's name: /data/run/ab gives /data/ru-kov.prn, in /data.\n"
                       "A workbook (.xlsx or .xls, known by its content) is read as a record whose\n"
                       "lines are the rows of one of its sheets and whose fields are their cells.\n"
                       "\n";
    // Each option's name and value in columns 3 to 17, its text from column
    // 20; a longer name stands on a line of its own.
    constexpr std::size_t TextColumn = 19;
    for (const OptionDef &option : optionTable()) {
        std::string label = "  ";
        if (!option.shortName.empty())
            label.append(option.shortName).append(", ");
        label += option.name;
        if (option.takesValue())
            label.append(" ").append(option.argument);
        if (label.size() + 2 <= TextColumn)
            label.append(TextColumn - label.size(), ' ');
        else
            label.append("\n").append(TextColumn, ' ');
        const std::string help = withDefault(option.help, option);
        text += label;
        for (std::size_t start = 0; start < help.size();) {
            const std::size_t end = std::min(help.find('\n', start), help.size());
            if (start != 0)
                text.append(TextColumn, ' ');
            text.append(help, start, end - start).append("\n");
            start = end + 1;
        }
    }
    return text +
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

std::string OptionDef::campaignColumn() const
{
    std::string column(name.substr(name.find_first_not_of('-')));
    std::replace(column.begin(), column.end(), '-', '_');
    return column;
}

std::string applyOption(Options &o, const OptionDef &option, const std::string &value)
{
    if (!option.takesValue()) {
        // A flag given as a value (a campaign file's cell): on or off.
        const bool on = value == "yes" || value == "true" || value == "1";
        const bool off = value == "no" || value == "false" || value == "0";
        if ((on || off) && option.flag)
            o.*option.flag = on;
        else if (on && option.set)
            option.set(o, {});
        else if (option.flag)
            return "invalid value '" + value + "' for option '" + std::string(option.name) + "' (yes or no)";
        else // it sets several options, which its other columns turn off
            return "invalid value '" + value + "' for option '" + std::string(option.name) +
                   "' (yes, or an empty cell)";
        return {};
    }
    if (!option.set(o, value))
        return "invalid value '" + value + "' for option '" + std::string(option.name) + "'";
    return {};
}

void settleOptions(Options &o)
{
    // A name is looked up in the header, which must then be found.
    o.skipLinesAuto = o.skipLinesAutoAsked ||
                      ((!o.xColumnName.empty() || !o.yColumnName.empty()) && !o.skipLinesGiven);
}

std::optional<Options> parseOptions(const std::vector<std::string> &args, std::string &error)
{
    const auto table = optionTable();
    auto find = [&](std::string_view name) {
        return std::find_if(table.begin(), table.end(), [&](const OptionDef &def) { return def.name == name; });
    };
    Options o;
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
        // A flag is only ever its whole word.
        if (const auto flag = find(a); flag != table.end() && !flag->takesValue()) {
            if (flag->flag)
                o.*flag->flag = true;
            else
                flag->set(o, {});
            continue;
        }
        std::string name = a;
        std::optional<std::string> value;
        const auto shortForm = std::find_if(table.begin(), table.end(), [&](const OptionDef &def) {
            return !def.shortName.empty() && a.starts_with(def.shortName);
        });
        const std::size_t eq = a.find('=');
        if (shortForm != table.end()) {
            // "-j 4" or "-j4".
            name = shortForm->name;
            if (a.size() > shortForm->shortName.size())
                value = a.substr(shortForm->shortName.size());
        } else if (eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
        }
        const auto option = find(name);
        if (option == table.end() || !option->takesValue()) {
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
        if (const std::string why = applyOption(o, *option, *value); !why.empty()) {
            error = "kov-batch: " + why;
            return std::nullopt;
        }
    }
    settleOptions(o);
    if ((o.summaryFile == "-") + (o.compareFile == "-") + (o.reportFile == "-") > 1) {
        error = "kov-batch: only one of the summary, the comparison and the report can go to standard output";
        return std::nullopt;
    }
    if (!o.help && !o.version && o.records.empty() && o.campaignFile.empty()) {
        error = "kov-batch: no record given (see kov-batch --help)";
        return std::nullopt;
    }
    return o;
}

} // namespace kov::batch
