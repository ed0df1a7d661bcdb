#include "core/output/metricsexport.h"

#include "core/output/utf8text.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace kov {

namespace {

// ---- JSON

/// A cell of a table as a JSON value: null, a whole number, a float as the
/// float it is, a derived double, a text or true/false.
JsonDocument cellJson(const CycleCell &cell)
{
    return std::visit(
        [](const auto &v) -> JsonDocument {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return nullptr;
            else if constexpr (std::is_same_v<T, float>)
                return jsonFloat(v);
            else if constexpr (std::is_same_v<T, double>)
                return jsonDouble(v);
            else
                return v;
        },
        cell);
}

/// A cycle as its CSV row has it, but the peaks' columns (peak1_step,
/// peak1_x, peak1_y...) as one object each ("peak1": {"step", "x", "y"}).
JsonDocument cycleJson(const CycleMetrics &c)
{
    JsonDocument j = JsonDocument::object();
    for (const CycleColumn &column : cycleColumns()) {
        const std::string name = column.name;
        if (name.starts_with("peak") && name.size() > 6 && name[5] == '_')
            j[name.substr(0, 5)][name.substr(6)] = cellJson(column.value(c));
        else
            j[name] = cellJson(column.value(c));
    }
    j["corrected"] = JsonDocument::array();
    for (const std::string &step : c.corrected)
        j["corrected"].push_back(step);
    return j;
}

JsonDocument loadsJson(const std::vector<std::optional<float>> &loads)
{
    JsonDocument j = JsonDocument::array();
    for (const auto &f : loads)
        j.push_back(jsonOptional(f));
    return j;
}

/// A column of the levels' table besides the strengths of the repeats.
struct LevelColumn {
    const char *name;
    ColumnUnit unit;
    CycleCell (*value)(const LoadLevel &);
};

template <typename T>
CycleCell cell(const std::optional<T> &value)
{
    return value ? CycleCell(*value) : CycleCell();
}

/// The levels' columns in order; the strengths of the repeats follow
/// "drift" in the JSON and end the CSV rows.
const std::vector<LevelColumn> &levelColumns()
{
    using U = ColumnUnit;
    using L = const LoadLevel &;
    static const std::vector<LevelColumn> columns = {
        {"level", U::None, [](L l) { return CycleCell(l.level); }},
        {"first_cycle", U::None, [](L l) { return CycleCell(l.firstCycle); }},
        {"amplitude", U::X, [](L l) { return CycleCell(l.amplitude); }},
        {"x_pos", U::X, [](L l) { return cell(l.xPos); }},
        {"x_neg", U::X, [](L l) { return cell(l.xNeg); }},
        {"cycles", U::None, [](L l) { return CycleCell(l.cycles); }},
        {"repeats", U::None, [](L l) { return CycleCell(l.repeats); }},
        {"trailing", U::None, [](L l) { return CycleCell(l.trailing); }},
        {"ratio", U::None, [](L l) { return cell(l.ratio); }},
        {"drift", U::None, [](L l) { return cell(l.drift); }},
        {"loss_pos", U::None, [](L l) { return cell(l.lossPos); }},
        {"loss_neg", U::None, [](L l) { return cell(l.lossNeg); }},
        {"loss3_pos", U::None, [](L l) { return cell(l.loss3Pos); }},
        {"loss3_neg", U::None, [](L l) { return cell(l.loss3Neg); }},
    };
    return columns;
}

JsonDocument levelJson(const LoadLevel &l)
{
    JsonDocument j = JsonDocument::object();
    for (const LevelColumn &column : levelColumns()) {
        if (std::string_view(column.name) == "loss_pos") {
            j["strength_pos"] = loadsJson(l.strengthPos);
            j["strength_neg"] = loadsJson(l.strengthNeg);
        }
        j[column.name] = cellJson(column.value(l));
    }
    return j;
}

JsonDocument checkJson(const AcceptanceCheck &k)
{
    return {{"value", jsonOptional(k.value)}, {"limit", jsonOptional(k.limit)}, {"pass", jsonOptional(k.pass)}};
}

JsonDocument acceptanceJson(const std::optional<Acceptance> &a)
{
    if (!a)
        return nullptr;
    JsonDocument j = JsonDocument::object();
    j["drift_limit"] = jsonDouble(a->driftLimit);
    j["level"] = jsonOptional(a->level);
    j["cycle"] = jsonOptional(a->cycle);
    j["checks"] = {{"strength_pos", checkJson(a->strengthPos)},
                   {"strength_neg", checkJson(a->strengthNeg)},
                   {"beta", checkJson(a->beta)},
                   {"stiffness", checkJson(a->stiffness)}};
    j["pass"] = jsonOptional(a->pass);
    return j;
}

/// An offset as given: none (null), or the value subtracted and whether it
/// was the first analysed row's.
JsonDocument offsetJson(ColumnOffset::Kind kind, double value)
{
    if (kind == ColumnOffset::Kind::None)
        return nullptr;
    return {{"value", jsonDouble(value)}, {"first_row", kind == ColumnOffset::Kind::FirstRow}};
}

JsonDocument sideJson(const EnvelopeSide &side)
{
    JsonDocument j = JsonDocument::object();
    // The sides' points are stored floats, written as the floats they are;
    // the average envelope's are derived doubles.
    auto number = [&](double v) { return side.storedValues ? jsonFloat(static_cast<float>(v)) : jsonDouble(v); };
    JsonDocument points = JsonDocument::array();
    for (const EnvelopePoint &p : side.points)
        points.push_back(JsonDocument::array({number(p.x), number(p.y)}));
    j["points"] = std::move(points);
    const auto &c = side.eeep;
    auto field = [&](auto member) { return c ? jsonOptional(std::optional((*c).*member)) : JsonDocument(); };
    j["peak_load"] = c ? number(c->peakLoad) : JsonDocument();
    j["peak_disp"] = c ? number(c->peakDisp) : JsonDocument();
    j["elastic_stiffness"] = field(&EeepCurve::elasticStiffness);
    j["yield_load"] = field(&EeepCurve::yieldLoad);
    j["yield_disp"] = field(&EeepCurve::yieldDisp);
    j["ultimate_disp"] = field(&EeepCurve::ultimateDisp);
    j["failure_reached"] = field(&EeepCurve::failureReached);
    j["ductility"] = field(&EeepCurve::ductility);
    j["yield_fallback"] = field(&EeepCurve::yieldFallback);
    return j;
}

// ---- CSV

/// A field as RFC 4180 wants it: quoted when it holds a comma, a quote or a
/// line end, its quotes doubled; a byte that is not UTF-8 (of a name or a
/// unit) becomes U+FFFD, so that strict readers take the file.
std::string csvField(const std::string &raw)
{
    const std::string text = validUtf8(raw);
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

template <typename T>
std::string csvNumber(T value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "Infinity" : "-Infinity";
    return shortestText(value == 0 ? T(0) : value); // -0 is 0, as in the JSON
}

template <typename T>
std::string csvNumber(const std::optional<T> &value)
{
    return value ? csvNumber(*value) : std::string();
}

std::string csvLine(const std::vector<std::string> &cells)
{
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i)
        line += (i ? "," : "") + csvField(cells[i]);
    return line + "\r\n";
}

std::string csvCell(const CycleCell &cell)
{
    return std::visit(
        [](const auto &v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return {};
            else if constexpr (std::is_same_v<T, int>)
                return std::to_string(v);
            else if constexpr (std::is_same_v<T, const char *>)
                return v;
            else if constexpr (std::is_same_v<T, bool>)
                return v ? "true" : "false";
            else
                return csvNumber(v);
        },
        cell);
}

} // namespace

JsonDocument metricsDocument(const SharedState &state, const RecordMetrics &metrics, const ExportContext &context)
{
    JsonDocument j = JsonDocument::object();
    j["record"] = context.record;
    j["version"] = KOV_VERSION;
    j["record_sha256"] = context.sha256.empty() ? JsonDocument() : JsonDocument(context.sha256);
    const MetricSettings &m = metrics.settings;
    j["settings"] = {{"x_column", state.XColumn},
                     {"y_column", state.YColumn},
                     {"skip_lines", state.SkipLines},
                     {"x_coef", jsonFloat(state.XCoef)},
                     {"y_coef", jsonFloat(state.YCoef)},
                     {"x_unit", context.xUnit},
                     {"y_unit", context.yUnit},
                     {"level_tolerance", jsonDouble(m.levelTolerance)},
                     {"height", jsonOptional(m.height)},
                     {"acceptance_drift", jsonDouble(m.acceptanceDrift)},
                     {"yield_disp", jsonOptional(m.yieldDisp)},
                     {"peak_rule", context.peakRule == PeakRule::Halves ? "halves" : "window"},
                     {"envelope", envelopeRuleName(m.envelope)},
                     {"rows", context.rowRange ? JsonDocument{{"from", context.rows.first}, {"to", context.rows.last}}
                                               : JsonDocument()},
                     {"x_offset", offsetJson(context.xOffset, context.rows.xOffset)},
                     {"y_offset", offsetJson(context.yOffset, context.rows.yOffset)},
                     {"steps_file", context.stepsFile.empty() ? JsonDocument() : JsonDocument(context.stepsFile)},
                     {"steps_sha256", context.stepsFile.empty() ? JsonDocument() : JsonDocument(context.stepsSha256)}};
    j["rows"] = static_cast<int>(state.RowCount); // a whole number, below 2^24
    j["columns"] = state.ColumnCount;
    j["truncated"] = context.truncated;
    JsonDocument cycles = JsonDocument::array();
    for (const CycleMetrics &c : metrics.cycles)
        cycles.push_back(cycleJson(c));
    j["cycles"] = std::move(cycles);
    JsonDocument levels = JsonDocument::array();
    for (const LoadLevel &l : metrics.levels)
        levels.push_back(levelJson(l));
    j["levels"] = std::move(levels);
    JsonDocument envelope = JsonDocument::object();
    envelope["positive"] = sideJson(metrics.positive);
    envelope["negative"] = sideJson(metrics.negative);
    envelope["average"] = sideJson(metrics.average);
    j["envelope"] = std::move(envelope);
    j["acceptance"] = acceptanceJson(metrics.acceptance);
    return j;
}

std::string metricsJson(const SharedState &state, const RecordMetrics &metrics, const ExportContext &context)
{
    return jsonText(metricsDocument(state, metrics, context));
}

const std::vector<CycleColumn> &cycleColumns()
{
    using U = ColumnUnit;
    using C = const CycleMetrics &;
    static const std::vector<CycleColumn> columns = {
        {"cycle", U::None, [](C c) { return CycleCell(c.cycle); }},
        {"start_step", U::None, [](C c) { return CycleCell(c.startStep); }},
        {"end_step", U::None, [](C c) { return CycleCell(c.endStep); }},
        {"closed", U::None, [](C c) { return CycleCell(c.closed); }},
        {"peak1_step", U::None, [](C c) { return CycleCell(c.peak1.step); }},
        {"peak1_x", U::X, [](C c) { return CycleCell(c.peak1.x); }},
        {"peak1_y", U::Y, [](C c) { return CycleCell(c.peak1.y); }},
        {"peak2_step", U::None, [](C c) { return CycleCell(c.peak2.step); }},
        {"peak2_x", U::X, [](C c) { return CycleCell(c.peak2.x); }},
        {"peak2_y", U::Y, [](C c) { return CycleCell(c.peak2.y); }},
        {"energy", U::Energy, [](C c) { return CycleCell(c.energy); }},
        {"total_energy", U::Energy, [](C c) { return CycleCell(c.totalEnergy); }},
        {"strain_energy", U::Energy, [](C c) { return CycleCell(c.strainEnergy); }},
        {"damping", U::None, [](C c) { return CycleCell(c.damping); }},
        {"max_load", U::Y, [](C c) { return cell(c.maxLoad); }},
        {"min_load", U::Y, [](C c) { return cell(c.minLoad); }},
        {"secant_stiffness", U::Stiffness, [](C c) { return cell(c.secantStiffness); }},
        {"residual_pos", U::X, [](C c) { return cell(c.residualPos); }},
        {"residual_neg", U::X, [](C c) { return cell(c.residualNeg); }},
        {"level", U::None, [](C c) { return cell(c.level); }},
        {"role", U::None, [](C c) { return c.role == CycleRole::None ? CycleCell() : CycleCell(roleName(c.role)); }},
        {"beta", U::None, [](C c) { return cell(c.beta); }},
        {"drift_pos", U::None, [](C c) { return cell(c.driftPos); }},
        {"drift_neg", U::None, [](C c) { return cell(c.driftNeg); }},
        {"inelastic_deformation", U::None, [](C c) { return cell(c.inelasticDeformation); }},
        {"cumulative_inelastic_deformation", U::None, [](C c) { return cell(c.cumulativeInelasticDeformation); }},
    };
    return columns;
}

std::string columnUnitText(ColumnUnit unit, const std::string &xUnit, const std::string &yUnit)
{
    switch (unit) {
    case ColumnUnit::X:
        return xUnit;
    case ColumnUnit::Y:
        return yUnit;
    case ColumnUnit::Energy:
        return xUnit.empty() && yUnit.empty() ? std::string() : yUnit + "*" + xUnit;
    case ColumnUnit::Stiffness:
        return xUnit.empty() && yUnit.empty() ? std::string() : yUnit + "/" + xUnit;
    case ColumnUnit::None:
        break;
    }
    return {};
}

std::string metricsCsv(const RecordMetrics &metrics, const ExportContext &context)
{
    std::vector<std::string> cells;
    for (const CycleColumn &column : cycleColumns()) {
        const std::string unit = columnUnitText(column.unit, context.xUnit, context.yUnit);
        cells.push_back(column.name + (unit.empty() ? "" : " (" + unit + ")"));
    }
    cells.insert(cells.end(), {"record_sha256", "version"});
    std::string text = csvLine(cells);
    for (const CycleMetrics &c : metrics.cycles) {
        cells.clear();
        for (const CycleColumn &column : cycleColumns())
            cells.push_back(csvCell(column.value(c)));
        cells.insert(cells.end(), {context.sha256, KOV_VERSION});
        text += csvLine(cells);
    }
    return text;
}

std::string levelsCsv(const RecordMetrics &metrics, const ExportContext &context)
{
    auto head = [&](const std::string &name, ColumnUnit unit) {
        const std::string text = columnUnitText(unit, context.xUnit, context.yUnit);
        return name + (text.empty() ? "" : " (" + text + ")");
    };
    std::size_t repeats = 0;
    for (const LoadLevel &l : metrics.levels)
        repeats = std::max(repeats, l.strengthPos.size());
    std::vector<std::string> cells;
    for (const LevelColumn &column : levelColumns())
        cells.push_back(head(column.name, column.unit));
    // The strengths of the repeats come last, as many columns as the level
    // with the most repeats needs, so that the others keep their place.
    for (const char *side : {"strength_pos_", "strength_neg_"})
        for (std::size_t k = 1; k <= repeats; ++k)
            cells.push_back(head(side + std::to_string(k), ColumnUnit::Y));
    std::string text = csvLine(cells);
    for (const LoadLevel &l : metrics.levels) {
        cells.clear();
        for (const LevelColumn &column : levelColumns())
            cells.push_back(csvCell(column.value(l)));
        for (const auto *loads : {&l.strengthPos, &l.strengthNeg})
            for (std::size_t k = 0; k < repeats; ++k)
                cells.push_back(k < loads->size() ? csvNumber((*loads)[k]) : std::string());
        text += csvLine(cells);
    }
    return text;
}

std::string acceptanceText(const std::optional<Acceptance> &a)
{
    if (!a)
        return {};
    if (!a->pass)
        return "not reached";
    return *a->pass ? "pass" : "fail";
}

SummaryRow summaryRow(const std::string &record, const SharedState &state, const RecordMetrics &metrics,
                      int errorNumber)
{
    SummaryRow r;
    r.record = record;
    r.errorNumber = errorNumber;
    r.rows = static_cast<int>(state.RowCount);
    r.cycles = static_cast<int>(metrics.cycles.size());
    if (!metrics.cycles.empty())
        r.totalEnergy = metrics.cycles.back().totalEnergy;
    r.meanDamping = metrics.meanDamping;
    if (const auto &c = metrics.positive.eeep) {
        r.peakLoadPos = static_cast<float>(c->peakLoad); // a stored float
        r.ductilityPos = c->ductility;
    }
    if (const auto &c = metrics.negative.eeep) {
        r.peakLoadNeg = static_cast<float>(c->peakLoad);
        r.ductilityNeg = c->ductility;
    }
    r.levels = static_cast<int>(metrics.levels.size());
    r.betaMin = metrics.betaMin;
    r.acceptance = acceptanceText(metrics.acceptance);
    return r;
}

SummaryRow failedSummaryRow(const std::string &record, int errorNumber)
{
    SummaryRow r;
    r.record = record;
    r.errorNumber = errorNumber;
    return r;
}

std::string statusText(const SummaryRow &row)
{
    return row.skipped ? "skipped" : row.errorNumber ? "error " + std::to_string(row.errorNumber) : "ok";
}

std::string summaryCsv(const std::vector<SummaryRow> &rows)
{
    // The units of the analysed records, where they all agree.
    std::optional<std::pair<std::string, std::string>> units;
    bool agree = true;
    for (const SummaryRow &r : rows) {
        if (!r.rows)
            continue;
        if (units && *units != std::pair{r.xUnit, r.yUnit})
            agree = false;
        units = std::pair{r.xUnit, r.yUnit};
    }
    auto head = [&](const std::string &name, ColumnUnit unit) {
        const std::string text = units && agree ? columnUnitText(unit, units->first, units->second) : "";
        return name + (text.empty() ? "" : " (" + text + ")");
    };
    // The record's label and group beside its path; each row's own units
    // before its provenance, for the records whose units differ.
    std::string text = csvLine({"record", "label", "group", "status", "rows", "cycles",
                                head("total_energy", ColumnUnit::Energy), "mean_damping",
                                head("peak_load_pos", ColumnUnit::Y), head("peak_load_neg", ColumnUnit::Y),
                                "ductility_pos", "ductility_neg", "levels", "beta_min", "acceptance", "noise_cycles",
                                "x_unit", "y_unit", "record_sha256", "version"});
    auto whole = [](const std::optional<int> &v) { return v ? std::to_string(*v) : std::string(); };
    for (const SummaryRow &r : rows)
        text += csvLine({r.record, r.label, r.group, statusText(r), whole(r.rows), whole(r.cycles),
                         csvNumber(r.totalEnergy), csvNumber(r.meanDamping), csvNumber(r.peakLoadPos),
                         csvNumber(r.peakLoadNeg), csvNumber(r.ductilityPos), csvNumber(r.ductilityNeg),
                         whole(r.levels), csvNumber(r.betaMin), r.acceptance, whole(r.noiseCycles), r.xUnit, r.yUnit,
                         r.sha256, KOV_VERSION});
    return text;
}

std::string csvRow(const std::vector<std::string> &cells)
{
    return csvLine(cells);
}

std::string csvValue(const std::optional<double> &value)
{
    return csvNumber(value);
}

} // namespace kov
