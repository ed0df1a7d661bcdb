#include "python/binding.h"

#include "core/reader/numberscan.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>

namespace kov::python {

namespace {

std::string typeName(py::handle value)
{
    return py::str(py::type::handle_of(value).attr("__name__"));
}

[[noreturn]] void wrongType(const char *name, const char *wanted, py::handle value)
{
    throw py::type_error(std::string(name) + " must be " + wanted + ", not " + typeName(value));
}

[[noreturn]] void wrongValue(const char *name, const std::string &wanted, py::handle value)
{
    throw py::value_error(std::string(name) + " must be " + wanted + ", not " + std::string(py::repr(value)));
}

bool isBool(py::handle value)
{
    return PyBool_Check(value.ptr());
}

bool isText(py::handle value)
{
    return PyUnicode_Check(value.ptr());
}

/// A whole number: an int or anything with __index__ (numpy's integers),
/// never a bool.
std::optional<long long> whole(py::handle value)
{
    if (isBool(value) || !PyIndex_Check(value.ptr()))
        return std::nullopt;
    int overflow = 0;
    const py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    if (!index)
        throw py::error_already_set();
    const long long n = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    if (overflow != 0)
        return overflow > 0 ? std::numeric_limits<long long>::max() : std::numeric_limits<long long>::min();
    return n;
}

/// A real number: an int, a float or anything with __float__ (numpy's
/// scalars), never a bool or a text.
double real(py::handle value, const char *name)
{
    if (isBool(value) || isText(value) || PyBytes_Check(value.ptr()) ||
        !(PyFloat_Check(value.ptr()) || PyIndex_Check(value.ptr()) || py::hasattr(value, "__float__")))
        wrongType(name, "a number", value);
    if (PyIndex_Check(value.ptr()) && !PyFloat_Check(value.ptr()))
        return static_cast<double>(py::float_(py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()))));
    return static_cast<double>(py::float_(py::reinterpret_borrow<py::object>(value)));
}

std::string text(py::handle value, const char *name)
{
    if (!isText(value))
        wrongType(name, "a str", value);
    // Texts reach the files as UTF-8; a lone surrogate (from a file name
    // decoded with surrogateescape) as the byte it stands for.
    const py::object bytes =
        py::reinterpret_steal<py::object>(PyUnicode_AsEncodedString(value.ptr(), "utf-8", "surrogateescape"));
    if (!bytes)
        throw py::error_already_set();
    return std::string(py::bytes(bytes));
}

bool flag(py::handle value, const char *name)
{
    if (!isBool(value))
        wrongType(name, "True or False", value);
    return value.ptr() == Py_True;
}

/// A column: a number 1..32767, or a name (a text that is not a sign and
/// digits, which count as the number they are, as on kov-batch's command
/// line).
void setColumn(std::int16_t &number, std::string &columnName, py::handle value, const char *name)
{
    std::optional<long long> n = whole(value);
    if (!n && isText(value)) {
        const std::string t = text(value, name);
        const std::size_t start = !t.empty() && (t[0] == '+' || t[0] == '-') ? 1 : 0;
        if (t.size() > start && t.find_first_not_of("0123456789", start) == std::string::npos) {
            // Out of range as any number beyond 32767 is.
            const double d = scanNumber(t, OptionDecimal).value_or(0.0);
            n = d <= 1e9 && d >= -1e9 ? static_cast<long long>(d) : 0;
        } else {
            if (t.empty())
                wrongValue(name, "a column number or a column name", value);
            columnName = t;
            return;
        }
    }
    if (!n)
        wrongType(name, "a column number (int) or a column name (str)", value);
    if (*n < 1 || *n > 32767)
        wrongValue(name, "a column number from 1 to 32767", value);
    columnName.clear();
    number = static_cast<std::int16_t>(*n);
}

void setX(RecordOptions &o, py::handle v, const char *name)
{
    setColumn(o.xColumn, o.xColumnName, v, name);
}

void setY(RecordOptions &o, py::handle v, const char *name)
{
    setColumn(o.yColumn, o.yColumnName, v, name);
}

void setSkipLines(RecordOptions &o, py::handle v, const char *name)
{
    if (isText(v) && text(v, name) == "auto") {
        o.skipLinesAuto = true;
        o.skipLinesGiven = false;
        return;
    }
    const auto n = whole(v);
    if (!n) {
        if (isText(v))
            wrongValue(name, "a number of lines or 'auto'", v);
        wrongType(name, "a number of lines (int) or 'auto'", v);
    }
    if (*n < 0 || *n > 32767)
        wrongValue(name, "a number of lines from 0 to 32767 or 'auto'", v);
    o.skipLines = static_cast<std::int16_t>(*n);
    o.skipLinesAuto = false;
    o.skipLinesGiven = true;
}

/// A sheet of a workbook by its name, or by its number from 1.
void setSheet(RecordOptions &o, py::handle v, const char *name)
{
    if (const auto n = whole(v)) {
        if (*n < 1)
            wrongValue(name, "a sheet number from 1 or a sheet name", v);
        o.sheet = std::to_string(*n);
        return;
    }
    if (!isText(v))
        wrongType(name, "a sheet name (str) or number (int)", v);
    o.sheet = text(v, name);
    if (o.sheet.empty())
        wrongValue(name, "a sheet name or number", v);
}

void setDecimalComma(RecordOptions &o, py::handle v, const char *name)
{
    o.decimalComma = flag(v, name);
}

/// Any value that rounds to a finite float.
void setCoef(float &target, py::handle v, const char *name)
{
    const double d = real(v, name);
    if (!std::isfinite(static_cast<float>(d)))
        wrongValue(name, "a finite number within the float range", v);
    target = static_cast<float>(d);
}

void setXCoef(RecordOptions &o, py::handle v, const char *name)
{
    setCoef(o.xCoef, v, name);
}

void setYCoef(RecordOptions &o, py::handle v, const char *name)
{
    setCoef(o.yCoef, v, name);
}

void setXUnit(RecordOptions &o, py::handle v, const char *name)
{
    o.xUnit = text(v, name);
    o.xUnitGiven = true;
}

void setYUnit(RecordOptions &o, py::handle v, const char *name)
{
    o.yUnit = text(v, name);
    o.yUnitGiven = true;
}

void setWindowLimits(RecordOptions &o, py::handle v, const char *name)
{
    o.windowLimits = flag(v, name);
}

void setLevelTolerance(RecordOptions &o, py::handle v, const char *name)
{
    const double d = real(v, name);
    if (!(d >= 0.0 && d <= 1.0))
        wrongValue(name, "a number from 0 to 1", v);
    o.levelTolerance = d == 0.0 ? 0.0 : d; // -0 is 0
}

/// A length the metrics divide by: finite and above 0.
double positive(py::handle v, const char *name)
{
    const double d = real(v, name);
    if (!(d > 0.0 && std::isfinite(d)))
        wrongValue(name, "a finite number above 0", v);
    return d;
}

void setHeight(RecordOptions &o, py::handle v, const char *name)
{
    o.height = positive(v, name);
}

void setAcceptanceDrift(RecordOptions &o, py::handle v, const char *name)
{
    o.acceptanceDrift = positive(v, name);
}

void setYieldDisp(RecordOptions &o, py::handle v, const char *name)
{
    o.yieldDisp = positive(v, name);
}

void setDeadband(RecordOptions &o, py::handle v, const char *name)
{
    // A load of 0 or more, or a percentage of 0 to 100 given as "P%".
    double d = 0.0;
    bool percent = false;
    if (isText(v)) {
        const std::string t = text(v, name);
        const auto p = t.empty() || t.back() != '%' ? std::nullopt : scanNumber(t.substr(0, t.size() - 1), OptionDecimal);
        if (!p)
            wrongValue(name, "a load (a number) or a percentage ('5%')", v);
        d = *p;
        percent = true;
    } else {
        d = real(v, name);
    }
    if (!(d >= 0.0 && d <= (percent ? 100.0 : std::numeric_limits<double>::max())))
        wrongValue(name, percent ? "a percentage from 0% to 100%" : "a finite load of 0 or more", v);
    o.deadband = {d == 0.0 ? 0.0 : d, percent};
}

void setWindow(RecordOptions &o, py::handle v, const char *name)
{
    if (flag(v, name)) {
        o.peakRule = PeakRule::Window;
        o.windowLimits = true;
    }
}

void setPeakRule(RecordOptions &o, py::handle v, const char *name)
{
    const std::string t = text(v, name);
    if (t != "halves" && t != "window")
        wrongValue(name, "'halves' or 'window'", v);
    o.peakRule = t == "halves" ? PeakRule::Halves : PeakRule::Window;
}

void setEnvelope(RecordOptions &o, py::handle v, const char *name)
{
    const std::string t = text(v, name);
    if (t != "peak-load" && t != "peak-displacement")
        wrongValue(name, "'peak-load' or 'peak-displacement'", v);
    o.envelope = t == "peak-load" ? EnvelopeRule::PeakLoad : EnvelopeRule::PeakDisplacement;
}

void setSteps(RecordOptions &o, py::handle v, const char *name)
{
    o.stepsFile = pathArgument(v, name);
}

/// (FROM, TO), either None, or "FROM:TO" as on kov-batch's command line
/// (either left out): data rows from 1, FROM <= TO.
void setRows(RecordOptions &o, py::handle v, const char *name)
{
    std::optional<long long> bounds[2];
    const char *wanted = "data rows (FROM, TO) from 1 with FROM <= TO, or 'FROM:TO'";
    if (isText(v)) {
        const std::string t = text(v, name);
        const std::size_t colon = t.find(':');
        if (colon == std::string::npos)
            wrongValue(name, wanted, v);
        const std::string parts[2] = {t.substr(0, colon), t.substr(colon + 1)};
        for (int k = 0; k < 2; ++k) {
            if (parts[k].empty())
                continue;
            if (parts[k].find_first_not_of("0123456789") != std::string::npos || parts[k].size() > 18)
                wrongValue(name, wanted, v);
            bounds[k] = std::stoll(parts[k]);
        }
    } else if (PyTuple_Check(v.ptr()) || PyList_Check(v.ptr())) {
        const py::sequence pair = py::reinterpret_borrow<py::sequence>(v);
        if (pair.size() != 2)
            wrongValue(name, wanted, v);
        for (std::size_t k = 0; k < 2; ++k) {
            if (pair[k].is_none())
                continue;
            bounds[k] = whole(pair[k]);
            if (!bounds[k])
                wrongType(name, "a pair of row numbers (int or None)", pair[k]);
        }
    } else {
        wrongType(name, "a pair of row numbers (FROM, TO) or a text 'FROM:TO'", v);
    }
    if ((!bounds[0] && !bounds[1]) || (bounds[0] && *bounds[0] < 1) || (bounds[1] && *bounds[1] < 1) ||
        (bounds[0] && bounds[1] && *bounds[0] > *bounds[1]))
        wrongValue(name, wanted, v);
    o.firstRow = bounds[0];
    o.lastRow = bounds[1];
}

/// A value subtracted from every X or Y (finite as a float), or "first".
void setOffset(ColumnOffset &offset, py::handle v, const char *name)
{
    if (isText(v)) {
        if (text(v, name) != "first")
            wrongValue(name, "a number or 'first'", v);
        offset = {ColumnOffset::Kind::FirstRow, 0.0};
        return;
    }
    const double d = real(v, name);
    if (!std::isfinite(static_cast<float>(d)))
        wrongValue(name, "a finite number within the float range, or 'first'", v);
    offset = {ColumnOffset::Kind::Value, d == 0.0 ? 0.0 : d}; // -0 is 0
}

void setXOffset(RecordOptions &o, py::handle v, const char *name)
{
    setOffset(o.xOffset, v, name);
}

void setYOffset(RecordOptions &o, py::handle v, const char *name)
{
    setOffset(o.yOffset, v, name);
}

constexpr KeywordUse Reading = KeywordUse::Reading;
constexpr KeywordUse Analysis = KeywordUse::Analysis;

// One row per option of kov-batch that decides a record's results; a new
// option is a new row (and its setter).
constexpr Keyword Table[] = {
    {"x", "--x-column", Reading, setX,
     "column of the displacement X: a number from 1, or the name the header gives it (ignoring case; a name "
     "implies skip_lines='auto' unless skip_lines is given)"},
    {"y", "--y-column", Reading, setY, "column of the load Y: a number from 1, or its name"},
    {"skip_lines", "--skip-lines", Reading, setSkipLines,
     "header lines before the first data row (0 or more), or 'auto': every line before the first row of numbers; "
     "with 'auto' or a column name the header also gives the units"},
    {"sheet", "--sheet", Reading, setSheet,
     "the sheet of a workbook (.xlsx or .xls) to read: its name (ignoring case) or its number from 1 (default: the first)"},
    {"decimal_comma", "--decimal-comma", Reading, setDecimalComma,
     "fields separated by semicolons, blanks or tabs, with a comma before the decimals"},
    {"x_coef", "--x-coef", Reading, setXCoef, "factor applied to every X value"},
    {"y_coef", "--y-coef", Reading, setYCoef, "factor applied to every Y value"},
    {"x_unit", "--x-unit", Reading, setXUnit, "unit of X (default 'mm', or the header's)"},
    {"y_unit", "--y-unit", Reading, setYUnit, "unit of Y (default 'tonf', or the header's)"},
    {"window_limits", "--window-limits", Reading, setWindowLimits,
     "hold to the window's limits: more than 2000 rows fail with error 9, the analysis stops after cycle 100"},
    {"window", "--window", Reading, setWindow,
     "True: analyse as the window does, its limits (window_limits) and its peak rule (peak_rule='window')"},
    {"rows", "--rows", Analysis, setRows,
     "analyse only data rows FROM to TO (from 1 after the header), given as (FROM, TO) with None for either end, "
     "or 'FROM:TO': step 1 is row FROM"},
    {"x_offset", "--x-offset", Analysis, setXOffset,
     "subtract this from every X (in X units, after x_coef), or 'first': the first analysed row's X"},
    {"y_offset", "--y-offset", Analysis, setYOffset, "the same for Y"},
    {"peak_rule", "--peak-rule", Analysis, setPeakRule,
     "how peak step 2 is proposed: 'halves' (default), the smallest X after peak step 1, or 'window', the smallest "
     "X of the whole cycle"},
    {"envelope", "--envelope", Analysis, setEnvelope,
     "the point a primary cycle gives the envelope: 'peak-load' (default), its largest load and the displacement "
     "there, or 'peak-displacement', the load at its peak step"},
    {"steps", "--steps", Analysis, setSteps,
     "correct the proposed steps from this CSV file (%n stands for the record's base name): columns cycle and some "
     "of end_step, peak1_step, peak2_step"},
    {"deadband", "--deadband", Analysis, setDeadband,
     "an upward zero crossing ends a cycle only once a load of that cycle before it reached -F (in Y units), or "
     "-P % of the largest absolute load when given as 'P%'"},
    {"level_tolerance", "--level-tolerance", Analysis, setLevelTolerance,
     "how far (0 to 1) a peak must go beyond the farthest before it to start a new level of the envelope and "
     "the loading protocol"},
    {"height", "--height", Analysis, setHeight,
     "lever arm or story height in X units: adds the drifts and the acceptance"},
    {"acceptance_drift", "--acceptance-drift", Analysis, setAcceptanceDrift,
     "drift of the level whose third repeat is judged for acceptance"},
    {"yield_disp", "--yield-disp", Analysis, setYieldDisp,
     "yield displacement in X units: adds the cumulative inelastic deformation"},
};

/// The edit distance of two short words, for "did you mean".
std::size_t distance(std::string_view a, std::string_view b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

bool takes(KeywordSet set, KeywordUse use)
{
    return set == KeywordSet::All || (set == KeywordSet::Reading) == (use == KeywordUse::Reading);
}

} // namespace

std::span<const Keyword> keywordTable()
{
    return Table;
}

RecordOptions optionsFromKeywords(const py::kwargs &keywords, KeywordSet set, const char *function, RecordOptions base)
{
    RecordOptions o = std::move(base);
    for (const auto &[key, value] : keywords) {
        const std::string name = py::str(key);
        const auto row = std::find_if(std::begin(Table), std::end(Table), [&](const Keyword &k) { return name == k.name; });
        if (row == std::end(Table)) {
            std::string message = std::string(function) + "() got an unexpected keyword argument '" + name + "'";
            const auto near = std::min_element(std::begin(Table), std::end(Table), [&](const Keyword &a, const Keyword &b) {
                return distance(name, a.name) < distance(name, b.name);
            });
            if (distance(name, near->name) <= 2)
                message += "; did you mean '" + std::string(near->name) + "'?";
            throw py::type_error(message);
        }
        if (!takes(set, row->use))
            throw py::type_error(
                std::string(function) + "() got the keyword '" + name + "', " +
                (row->use == KeywordUse::Reading
                     ? "which says how a record is read: the record was read already; give it to kov.read_record()"
                     : "which says how a record is analysed; give it to kov.analyse()"));
        if (!value.is_none())
            row->set(o, value, row->name);
    }
    // A name is looked up in the header, which must then be found.
    if ((!o.xColumnName.empty() || !o.yColumnName.empty()) && !o.skipLinesGiven)
        o.skipLinesAuto = true;
    return o;
}

} // namespace kov::python
