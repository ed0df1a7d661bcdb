#include "python/binding.h"

#include "core/analysis/course.h"
#include "core/output/fileidentity.h"
#include "core/output/jsontext.h"
#include "core/reader/recordinspection.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

namespace kov::python {

namespace {

/// A text of the record (a header line, a name) for Python: UTF-8, a byte
/// that is not as a lone surrogate (os.fsdecode's way), so nothing is lost.
py::str pyText(const std::string &text)
{
    PyObject *s = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape");
    if (!s)
        throw py::error_already_set();
    return py::reinterpret_steal<py::str>(s);
}

py::list pyTexts(const std::vector<std::string> &texts)
{
    py::list list;
    for (const std::string &t : texts)
        list.append(pyText(t));
    return list;
}

/// The usage error of a column name that no column or several have, without
/// kov-batch's name before it.
[[noreturn]] void columnNameError(const std::string &error)
{
    constexpr std::string_view Prefix = "kov-batch: ";
    throw py::value_error(error.starts_with(Prefix) ? error.substr(Prefix.size()) : error);
}

/// A contiguous copy of steps 1..RowCount of data.
std::vector<float> steps(const StepArray &data, float rowCount)
{
    const auto rows = static_cast<long long>(rowCount);
    std::vector<float> values(static_cast<std::size_t>(rows));
    for (long long k = 1; k <= rows; ++k)
        values[static_cast<std::size_t>(k - 1)] = data(k);
    return values;
}

/// A read-only numpy array over values, kept alive by owner.
py::array floats(const std::vector<float> &values, py::handle owner)
{
    py::array a(py::dtype::of<float>(), {static_cast<py::ssize_t>(values.size())}, {sizeof(float)}, values.data(),
                owner);
    a.attr("setflags")(py::arg("write") = false);
    return a;
}

py::dict inspection(const std::string &path, const RecordOptions &options)
{
    RecordInspection r;
    std::optional<RestStart> rest;
    {
        py::gil_scoped_release unlocked;
        try {
            r = inspectRecord(options, path);
            if (r.columnError.empty() && r.columnsKnown()) {
                Settings settings = options;
                settings.xColumn = r.xColumn;
                settings.yColumn = r.yColumn;
                settings.skipLines = static_cast<std::int16_t>(r.layout.header.size());
                rest = recordRestAtStart(path, settings, options.convention());
            }
        } catch (const Failure &f) {
            RecordFailure failure{f.number(), path, {std::string(f.what()) + " (" + std::to_string(f.number()) + ")"}};
            if (!options.decimalComma && dataRowsHoldSemicolons(path, options.skipLinesGiven ? options.skipLines : 0))
                failure.lines.push_back("the data rows hold semicolons: for decimal commas, add --decimal-comma");
            throw failure;
        }
    }
    if (!r.columnError.empty())
        columnNameError(r.columnError);
    const RecordLayout &layout = r.layout;
    auto line = [](int n) { return n != 0 ? py::object(py::int_(n)) : py::object(py::none()); };
    py::dict d;
    d["path"] = pyText(path);
    d["header_lines"] = layout.header.size();
    d["header"] = pyTexts(layout.header);
    d["columns"] = layout.columns;
    d["names_line"] = line(layout.namesLine);
    d["units_line"] = line(layout.unitsLine);
    d["names"] = pyTexts(layout.names);
    d["units"] = pyTexts(layout.unitsLine != 0 ? layout.units : std::vector<std::string>{});
    d["data_rows"] = r.dataRows;
    d["first_row"] = pyText(layout.firstRow);
    d["last_row"] = pyText(r.lastRow);
    py::object sheets = py::none();
    if (r.sheets) {
        py::list list;
        for (std::size_t i = 0; i < r.sheets->size(); ++i) {
            const SheetInfo &sheet = (*r.sheets)[i];
            py::dict one;
            one["name"] = pyText(sheet.name);
            one["rows"] = sheet.rows;
            one["columns"] = sheet.columns;
            one["read"] = i == r.sheet;
            list.append(one);
        }
        sheets = list;
    }
    d["sheets"] = sheets;
    // The keywords that read the record: its header count, and X and Y with
    // their units when the names say which is which.
    py::dict keywords;
    if (options.decimalComma)
        keywords["decimal_comma"] = true;
    if (r.sheets && !options.sheet.empty())
        keywords["sheet"] = pyText((*r.sheets)[r.sheet].name);
    keywords["skip_lines"] = layout.header.size();
    d["x"] = line(r.xColumn);
    d["y"] = line(r.yColumn);
    if (r.columnsKnown()) {
        keywords["x"] = r.xColumn;
        keywords["y"] = r.yColumn;
        for (const auto &[axis, unit] : {std::pair{"x", &r.xUnit}, std::pair{"y", &r.yUnit}}) {
            keywords[(std::string(axis) + "_unit").c_str()] = pyText(unit->text);
            d[(std::string(axis) + "_unit_source").c_str()] =
                unit->given        ? std::string(axis) + "_unit"
                : unit->headerLine ? "header line " + std::to_string(unit->headerLine)
                                   : std::string("the default");
        }
    } else {
        d["x"] = py::none();
        d["y"] = py::none();
    }
    d["keywords"] = keywords;
    // Rows at rest at the start, and the analysis keywords that skip and
    // zero them.
    py::object atRest = py::none();
    if (rest) {
        py::dict skip;
        skip["rows"] = py::make_tuple(rest->rows + 1, py::none());
        skip["x_offset"] = std::stod(shortestText(rest->x));
        skip["y_offset"] = std::stod(shortestText(rest->y));
        py::dict facts;
        facts["rows"] = rest->rows;
        facts["keywords"] = skip;
        atRest = facts;
    }
    d["at_rest"] = atRest;
    return d;
}

} // namespace

std::string pathArgument(py::handle path, const char *what)
{
    if (!(PyUnicode_Check(path.ptr()) || PyBytes_Check(path.ptr()) || py::hasattr(path, "__fspath__")))
        throw py::type_error(std::string(what) + " must be a str, bytes or os.PathLike object, not " +
                             std::string(py::str(py::type::handle_of(path).attr("__name__"))));
    const std::string bytes = py::bytes(py::module_::import("os").attr("fsencode")(path));
    if (bytes.find('\0') != std::string::npos)
        throw py::value_error(std::string(what) + ": embedded null byte");
    if (bytes.empty())
        throw py::value_error(std::string(what) + " is empty");
    return bytes;
}

void registerErrors(py::module_ &m)
{
    static py::exception<RecordFailure> error(m, "RecordError", PyExc_ValueError);
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p)
                std::rethrow_exception(p);
        } catch (const RecordFailure &f) {
            std::string message;
            for (const std::string &line : f.lines)
                message += (message.empty() ? "" : "\n") + f.path + ": " + line;
            py::object e = py::handle(error.ptr())(pyText(message));
            e.attr("code") = f.code ? py::object(py::int_(*f.code)) : py::object(py::none());
            e.attr("lines") = pyTexts(f.lines);
            e.attr("path") = pyText(f.path);
            PyErr_SetObject(error.ptr(), e.ptr());
        }
    });
}

std::shared_ptr<RecordData> readRecordData(const std::string &path, const RecordOptions &options)
{
    auto r = std::make_shared<RecordData>();
    r->path = path;
    r->options = options;
    if (isResultsFile(path))
        throw RecordFailure{std::nullopt, path, {"a results file of kov, not a test record"}};
    std::string error;
    auto reading = resolveReading(options, path, error);
    if (!reading)
        columnNameError(error);
    r->reading = std::move(*reading);
    r->read = readRecordFile(path, options, r->reading);
    if (r->read.failed())
        throw RecordFailure{r->read.errorNumber, path, r->read.errors};
    try {
        r->layout = readLayout(path, r->reading.settings.skipLines, r->reading.convention);
    } catch (const Failure &) {
        // A header that the layout cannot tell from data (a record of fewer
        // rows than the header needs) has no names to show.
    }
    const SharedState &state = *r->read.state;
    r->x = steps(state.XData, state.RowCount);
    r->y = steps(state.YData, state.RowCount);
    return r;
}

void registerRecords(py::module_ &m)
{
    py::class_<RecordData, std::shared_ptr<RecordData>>(m, "Record")
        .def_property_readonly("path", [](const RecordData &r) { return py::bytes(r.path); })
        .def_property_readonly("absolute_path", [](const RecordData &r) { return py::bytes(r.read.context.record); })
        .def_property_readonly("x", [](py::object self) { return floats(self.cast<const RecordData &>().x, self); })
        .def_property_readonly("y", [](py::object self) { return floats(self.cast<const RecordData &>().y, self); })
        .def_property_readonly("rows", [](const RecordData &r) { return static_cast<long long>(r.read.state->RowCount); })
        .def_property_readonly("columns", [](const RecordData &r) { return r.read.state->ColumnCount; })
        .def_property_readonly("column_names",
                               [](const RecordData &r) { return r.layout ? pyTexts(r.layout->names) : py::list(); })
        .def_property_readonly("column_units",
                               [](const RecordData &r) {
                                   return r.layout && r.layout->unitsLine != 0 ? pyTexts(r.layout->units) : py::list();
                               })
        .def_property_readonly("x_column", [](const RecordData &r) { return r.reading.settings.xColumn; })
        .def_property_readonly("y_column", [](const RecordData &r) { return r.reading.settings.yColumn; })
        .def_property_readonly("skip_lines", [](const RecordData &r) { return r.reading.settings.skipLines; })
        .def_property_readonly("x_coef", [](const RecordData &r) { return r.reading.settings.xCoef; })
        .def_property_readonly("y_coef", [](const RecordData &r) { return r.reading.settings.yCoef; })
        .def_property_readonly("x_unit", [](const RecordData &r) { return pyText(r.reading.settings.xUnit); })
        .def_property_readonly("y_unit", [](const RecordData &r) { return pyText(r.reading.settings.yUnit); })
        .def_property_readonly("decimal_comma", [](const RecordData &r) { return r.options.decimalComma; })
        .def_property_readonly("window_limits", [](const RecordData &r) { return r.options.windowLimits; })
        .def_property_readonly("sha256", [](const RecordData &r) { return r.read.context.sha256; })
        .def_property_readonly("notes", [](const RecordData &r) { return pyTexts(r.reading.notes); });

    m.def("read_record", [](py::handle path, py::kwargs keywords) {
        const std::string name = pathArgument(path, "path");
        const RecordOptions options = optionsFromKeywords(keywords, KeywordSet::Reading, "read_record");
        py::gil_scoped_release unlocked;
        return readRecordData(name, options);
    });
    m.def("inspect", [](py::handle path, py::kwargs keywords) {
        return inspection(pathArgument(path, "path"), optionsFromKeywords(keywords, KeywordSet::Reading, "inspect"));
    });
    m.def("keywords", [] {
        py::list rows;
        for (const Keyword &k : keywordTable())
            rows.append(py::make_tuple(k.name, k.option, k.use == KeywordUse::Reading ? "reading" : "analysis", k.doc));
        return rows;
    });
}

} // namespace kov::python
