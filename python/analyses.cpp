#include "python/binding.h"

#include "core/output/atomicfile.h"
#include "core/output/fileidentity.h"
#include "core/output/resultsfile.h"
#include "report/report.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <type_traits>
#include <variant>

namespace kov::python {

namespace {

py::str pyText(const std::string &text)
{
    PyObject *s = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape");
    if (!s)
        throw py::error_already_set();
    return py::reinterpret_steal<py::str>(s);
}

const AnalysisData &data(py::handle self)
{
    return self.cast<const AnalysisData &>();
}

/// The results text with line 2's date and time from when (year, month,
/// day, hour, minute, second), or now when it is None. Throws Failure 9 for
/// a peak step the results table cannot hold.
std::string resultsTextAt(const AnalysisData &a, py::handle when)
{
    std::tm now{};
    if (when.is_none()) {
        const std::time_t t = std::time(nullptr);
        localtime_r(&t, &now);
    } else {
        const auto f = when.cast<std::array<int, 6>>();
        now.tm_year = f[0] - 1900;
        now.tm_mon = f[1] - 1;
        now.tm_mday = f[2];
        now.tm_hour = f[3];
        now.tm_min = f[4];
        now.tm_sec = f[5];
    }
    return recordResultsText(a.analysis, now);
}

/// The kind of a column's values, from its first value that exists (the
/// columns hold one kind each): "int", "float32", "float64", "str" or "bool";
/// "float64" when no value exists.
const char *columnKind(const std::vector<CycleCell> &cells)
{
    for (const CycleCell &c : cells) {
        if (std::holds_alternative<int>(c))
            return "int";
        if (std::holds_alternative<float>(c))
            return "float32";
        if (std::holds_alternative<double>(c))
            return "float64";
        if (std::holds_alternative<const char *>(c))
            return "str";
        if (std::holds_alternative<bool>(c))
            return "bool";
    }
    return "float64";
}

template <typename T>
py::array_t<T> numbers(const std::vector<CycleCell> &cells, T missing)
{
    py::array_t<T> a(static_cast<py::ssize_t>(cells.size()));
    auto out = a.template mutable_unchecked<1>();
    for (std::size_t i = 0; i < cells.size(); ++i)
        out(static_cast<py::ssize_t>(i)) = std::visit(
            [&](const auto &v) -> T {
                using V = std::decay_t<decltype(v)>;
                if constexpr (std::is_arithmetic_v<V>)
                    return static_cast<T>(v);
                else
                    return missing;
            },
            cells[i]);
    return a;
}

/// The per-cycle table column by column: (name, unit, kind, values, missing)
/// with values a numpy array (a list of str and None for texts) and missing
/// a bool array where an int column lacks values, else None.
py::list cycleTable(const AnalysisData &a)
{
    const RecordMetrics &metrics = *a.analysis.metrics;
    const ExportContext &context = a.analysis.context;
    py::list table;
    std::vector<CycleCell> cells(metrics.cycles.size());
    for (const CycleColumn &column : cycleColumns()) {
        for (std::size_t i = 0; i < cells.size(); ++i)
            cells[i] = column.value(metrics.cycles[i]);
        const std::string kind = columnKind(cells);
        py::object values, missing = py::none();
        if (kind == "str") {
            py::list texts;
            for (const CycleCell &c : cells)
                texts.append(std::holds_alternative<const char *>(c) ? py::object(py::str(std::get<const char *>(c)))
                                                                     : py::object(py::none()));
            values = texts;
        } else if (kind == "int" || kind == "bool") {
            if (kind == "int")
                values = numbers<std::int64_t>(cells, 0);
            else
                values = numbers<bool>(cells, false);
            py::array_t<bool> mask(static_cast<py::ssize_t>(cells.size()));
            bool any = false;
            for (std::size_t i = 0; i < cells.size(); ++i) {
                const bool none = std::holds_alternative<std::monostate>(cells[i]);
                mask.mutable_at(static_cast<py::ssize_t>(i)) = none;
                any = any || none;
            }
            if (any)
                missing = mask;
        } else if (kind == "float32") {
            values = numbers<float>(cells, std::numeric_limits<float>::quiet_NaN());
        } else {
            values = numbers<double>(cells, std::numeric_limits<double>::quiet_NaN());
        }
        table.append(py::make_tuple(column.name, pyText(columnUnitText(column.unit, context.xUnit, context.yUnit)),
                                    kind, values, missing));
    }
    return table;
}

/// The loading protocol cycle by cycle: cycle, amplitude, level, role.
py::tuple protocolTable(const AnalysisData &a)
{
    const std::vector<CycleMetrics> &cycles = a.analysis.metrics->cycles;
    const auto n = static_cast<py::ssize_t>(cycles.size());
    py::array_t<std::int64_t> cycle(n), level(n);
    py::array_t<float> amplitude(n);
    py::array_t<bool> noLevel(n);
    py::list roles;
    for (py::ssize_t i = 0; i < n; ++i) {
        const CycleMetrics &c = cycles[static_cast<std::size_t>(i)];
        cycle.mutable_at(i) = c.cycle;
        amplitude.mutable_at(i) = c.amplitude;
        level.mutable_at(i) = c.level.value_or(0);
        noLevel.mutable_at(i) = !c.level;
        const char *role = roleName(c.role);
        roles.append(role ? py::object(py::str(role)) : py::object(py::none()));
    }
    return py::make_tuple(cycle, amplitude, level, noLevel, roles);
}

/// X and Y of the analysed steps, a copy.
py::tuple analysedSteps(const AnalysisData &a)
{
    const SharedState &state = *a.analysis.state;
    const auto rows = static_cast<py::ssize_t>(state.RowCount);
    py::array_t<float> x(rows), y(rows);
    for (py::ssize_t k = 0; k < rows; ++k) {
        x.mutable_at(k) = state.XData(k + 1);
        y.mutable_at(k) = state.YData(k + 1);
    }
    return py::make_tuple(x, y);
}

py::array points(const EnvelopeSide &side)
{
    py::array_t<double> a({static_cast<py::ssize_t>(side.points.size()), py::ssize_t{2}});
    auto out = a.mutable_unchecked<2>();
    for (std::size_t i = 0; i < side.points.size(); ++i) {
        out(static_cast<py::ssize_t>(i), 0) = side.points[i].x;
        out(static_cast<py::ssize_t>(i), 1) = side.points[i].y;
    }
    return a;
}

template <typename T>
py::object optional(const std::optional<T> &v)
{
    return v ? py::cast(*v) : py::none();
}

py::dict summary(const AnalysisData &a)
{
    const RecordAnalysis &r = a.analysis;
    const SummaryRow row = summaryRow(r.context.record, *r.state, *r.metrics, 0);
    py::dict d;
    d["rows"] = optional(row.rows);
    d["cycles"] = optional(row.cycles);
    d["total_energy"] = optional(row.totalEnergy);
    d["mean_damping"] = optional(row.meanDamping);
    d["peak_load_pos"] = optional(row.peakLoadPos);
    d["peak_load_neg"] = optional(row.peakLoadNeg);
    d["ductility_pos"] = optional(row.ductilityPos);
    d["ductility_neg"] = optional(row.ductilityNeg);
    d["levels"] = optional(row.levels);
    d["beta_min"] = optional(row.betaMin);
    d["acceptance"] = row.acceptance.empty() ? py::object(py::none()) : py::object(py::str(row.acceptance));
    d["noise_cycles"] = r.course.noiseCycles;
    d["truncated"] = r.course.truncated;
    return d;
}

/// The record's section of the HTML report, as kov-batch --report draws it.
std::string sectionHtml(const AnalysisData &a)
{
    const RecordAnalysis &r = a.analysis;
    ReportRecord record;
    record.name = a.record->path;
    record.summary = summaryRow(r.context.record, *r.state, *r.metrics, 0);
    record.summary.noiseCycles = r.course.noiseCycles;
    record.summary.sha256 = r.context.sha256;
    record.warnings = r.warnings;
    record.state = r.state;
    record.metrics = *r.metrics;
    record.truncated = r.course.truncated;
    ReportSettings settings;
    static_cast<Settings &>(settings) = a.record->reading.settings;
    static_cast<MetricSettings &>(settings) = a.options;
    py::gil_scoped_release unlocked;
    return recordSectionHtml(record, settings);
}

/// Writes the record's results file and, when asked, its JSON and CSV files
/// beside the record or, with folder, in that folder under the same names,
/// each whole or not at all. Every file is tried; the failures raise one
/// RecordError afterwards with a line each, as kov-batch prints them.
std::vector<std::string> writeFiles(const AnalysisData &a, const std::optional<std::string> &folder, bool json,
                                    bool csv, py::handle when)
{
    const RecordAnalysis &r = a.analysis;
    const std::string &record = a.record->path;
    std::string base = r.context.record;
    if (folder)
        base = normalisedAbsolutePath((std::filesystem::path(*folder) / std::filesystem::path(base).filename()).string());
    struct File {
        const char *kind;
        const char *ending;
        std::string text;
    };
    std::vector<File> files{{"results file", "-kov.prn", {}}};
    if (json)
        files.push_back({"JSON file", "-kov.json", recordJson(r)});
    if (csv) {
        files.push_back({"CSV file", "-kov.csv", recordCsv(r)});
        files.push_back({"levels CSV file", "-kov-levels.csv", recordLevelsCsv(r)});
    }
    // No file replaces the record itself (a link to it under an output's name).
    const FileId recordId = fileIdOf(record);
    std::vector<std::string> targets;
    for (const File &f : files) {
        try {
            targets.push_back(outputFileName(base, f.ending));
        } catch (const Failure &) {
            targets.emplace_back(); // the name cannot be made: fails when written
        }
        if (!targets.back().empty() && fileIdOf(targets.back()) == recordId)
            throw py::value_error(std::string("the ") + f.kind + " '" + targets.back() + "' would overwrite the record '" +
                                  record + "'");
    }
    RecordFailure failure{std::nullopt, record, {}};
    auto fail = [&](const std::string &line, int number) {
        failure.lines.push_back(line);
        if (!failure.code)
            failure.code = number;
    };
    // The text is made while the GIL keeps other threads off the state; a
    // results text that cannot be made fails its file alone, as in kov-batch.
    bool resultsMade = true;
    if (!targets[0].empty()) {
        try {
            files[0].text = resultsTextAt(a, when);
        } catch (const Failure &f) {
            fail(writeFailureLine(f.number(), targets[0]), f.number());
            resultsMade = false;
        }
    }
    std::vector<std::string> written;
    py::gil_scoped_release unlocked;
    for (std::size_t i = resultsMade ? 0 : 1; i < files.size(); ++i) {
        try {
            if (targets[i].empty())
                (void)outputFileName(base, files[i].ending); // throws its failure (52)
            writeFileAtomically(targets[i], files[i].text);
            written.push_back(targets[i]);
        } catch (const Failure &f) {
            fail(failureLine(f), f.number());
        }
    }
    if (failure.code)
        throw failure;
    return written;
}

} // namespace

void registerAnalyses(py::module_ &m)
{
    py::class_<AnalysisData, std::shared_ptr<AnalysisData>>(m, "Analysis")
        .def_property_readonly("record", [](const AnalysisData &a) { return std::const_pointer_cast<RecordData>(a.record); })
        .def("json", [](py::object self) { return pyText(recordJson(data(self).analysis)); })
        .def("csv", [](py::object self) { return pyText(recordCsv(data(self).analysis)); })
        .def("levels_csv", [](py::object self) { return pyText(recordLevelsCsv(data(self).analysis)); })
        .def("results_text",
             [](py::object self, py::handle when) {
                 const AnalysisData &a = data(self);
                 try {
                     return py::bytes(resultsTextAt(a, when));
                 } catch (const Failure &f) {
                     throw RecordFailure{f.number(), a.record->path, {failureLine(f)}};
                 }
             })
        .def("cycle_table", [](py::object self) { return cycleTable(data(self)); })
        .def("envelope_points",
             [](py::object self, const std::string &side) {
                 const RecordMetrics &metrics = *data(self).analysis.metrics;
                 if (side == "positive")
                     return points(metrics.positive);
                 if (side == "negative")
                     return points(metrics.negative);
                 if (side == "average")
                     return points(metrics.average);
                 throw py::key_error(side);
             })
        .def("summary", [](py::object self) { return summary(data(self)); })
        .def("section_html", [](py::object self) { return pyText(sectionHtml(data(self))); })
        .def("protocol_table", [](py::object self) { return protocolTable(data(self)); })
        .def("steps", [](py::object self) { return analysedSteps(data(self)); })
        .def_property_readonly("warnings",
                               [](const AnalysisData &a) {
                                   py::list lines;
                                   for (const std::string &w : a.analysis.warnings)
                                       lines.append(pyText(w));
                                   return lines;
                               })
        .def_property_readonly("cycles", [](const AnalysisData &a) { return a.analysis.course.cycles; })
        .def_property_readonly("x_unit", [](const AnalysisData &a) { return pyText(a.analysis.context.xUnit); })
        .def_property_readonly("y_unit", [](const AnalysisData &a) { return pyText(a.analysis.context.yUnit); })
        .def_property_readonly("sha256", [](const AnalysisData &a) { return a.analysis.context.sha256; })
        .def("write", [](py::object self, py::handle folder, bool json, bool csv, py::handle when) {
            std::optional<std::string> dir;
            if (!folder.is_none())
                dir = pathArgument(folder, "folder");
            py::list paths;
            for (const std::string &p : writeFiles(data(self), dir, json, csv, when))
                paths.append(py::bytes(p));
            return paths;
        });

    m.def("analyse", [](py::handle target, py::kwargs keywords) {
        std::shared_ptr<const RecordData> record;
        RecordOptions options;
        if (py::isinstance<RecordData>(target)) {
            record = target.cast<std::shared_ptr<RecordData>>();
            options = optionsFromKeywords(keywords, KeywordSet::Analysis, "analyse", record->options);
        } else {
            const std::string path = pathArgument(target, "record");
            options = optionsFromKeywords(keywords, KeywordSet::All, "analyse");
            py::gil_scoped_release unlocked;
            record = readRecordData(path, options);
        }
        auto a = std::make_shared<AnalysisData>();
        a->record = record;
        a->options = options;
        {
            py::gil_scoped_release unlocked;
            a->analysis = analyseReadRecord(record->read, options);
        }
        if (a->analysis.failed())
            throw RecordFailure{a->analysis.errorNumber, record->path, a->analysis.errors};
        return a;
    });
}

} // namespace kov::python
