#include "report/report.h"

#include "core/output/atomicfile.h"
#include "core/output/jsontext.h"
#include "core/state/failure.h"
#include "report/charts.h"
#include "report/comparison.h"
#include "report/reportformat.h"
#include "report/svgwriter.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace kov {

namespace fs = std::filesystem;

namespace {

using report::formatNumber;
using report::NumberFormat;

/// Text for the page: & < > " escaped, a byte that is not UTF-8 turned
/// into U+FFFD.
std::string esc(const std::string &text)
{
    return report::escapeText(text);
}

std::string withUnit(const std::string &title, const std::string &unit)
{
    return unit.empty() ? esc(title) : esc(title) + " <span class=\"unit\">(" + esc(unit) + ")</span>";
}

/// The largest finite magnitude of the values, for columnFormat.
double largest(const std::vector<std::optional<double>> &values)
{
    double m = 0.0;
    for (const auto &v : values)
        if (v && std::isfinite(*v))
            m = std::max(m, std::fabs(*v));
    return m;
}

// Table cells are right-aligned numbers unless marked as text. Their end
// tags, which HTML leaves optional, are left out: a page of 100 records
// holds a great many of them.

/// The cell of a value that does not exist.
const std::string NoneCell = "<td class=\"none\">\u2013";

/// A column of numbers printed alike: the same decimals in every row.
std::vector<std::string> numberCells(const std::vector<std::optional<double>> &values)
{
    const NumberFormat format = report::columnFormat(largest(values));
    std::vector<std::string> cells;
    for (const auto &v : values)
        cells.push_back(v ? "<td>" + formatNumber(*v, format) : NoneCell);
    return cells;
}

std::string sectionId(std::size_t index)
{
    return "record-" + std::to_string(index + 1);
}

/// The settings a record's section shows: those it was read with.
const ReportSettings &settingsOf(const ReportRecord &r, const ReportSettings &call)
{
    return r.readWith ? *r.readWith : call;
}

/// What the call's own sections show of a record: all the page keeps of it
/// once its section is drawn. A section of the call that needs more of each
/// record (its envelope, say) adds it here and in listing().
struct Listed {
    std::string name;
    SummaryRow summary;
    std::vector<std::string> errors;
    bool loaded = false;  ///< it has a section
    std::string xUnit;    ///< the units it was read with
    std::string yUnit;
    std::size_t openCycles = 0;
    report::ComparisonEntry compared; ///< what the comparison draws of it
};

Listed listing(const ReportRecord &r, const ReportSettings &call)
{
    const ReportSettings &s = settingsOf(r, call);
    Listed l{r.name, r.summary, r.errors, r.state != nullptr, s.xUnit, s.yUnit, 0, {}};
    for (const CycleMetrics &c : r.metrics.cycles)
        l.openCycles += c.closed ? 0 : 1;
    if (!r.summary.skipped)
        l.compared = report::comparisonEntry(r, s);
    return l;
}

/// The names the page gives the records: the shortest ending of each
/// record's path that tells it from the others.
std::vector<std::string> recordNames(const std::vector<Listed> &records)
{
    std::vector<std::string> paths;
    for (const Listed &r : records)
        paths.push_back(r.summary.record.empty() ? r.name : r.summary.record);
    return report::distinguishingNames(paths);
}

std::string energyUnit(const ReportSettings &s)
{
    return columnUnitText(ColumnUnit::Energy, s.xUnit, s.yUnit);
}

// ---- Style

/// Rules of the page's style sheet: selectors (a list with commas) and the
/// declarations they get.
struct Rule {
    std::string selectors;
    std::string declarations;
};

/// The rules, in order, each block under its at-rule (none for the top level,
/// "@page" for a rule of its own).
std::vector<std::pair<std::string, std::vector<Rule>>> styleRules()
{
    using namespace report::colour;
    std::vector<Rule> keys = {
        {".key", "white-space:nowrap;margin-right:.9em"},
        {".key::before", "content:'';display:inline-block;width:0;height:0;margin-right:.35em;vertical-align:middle"},
    };
    auto dot = [&](const char *name, const char *colour) {
        keys.push_back({std::string(".key.") + name + "::before",
                        std::string("border:.32em solid ") + colour + ";border-radius:50%"});
    };
    auto line = [&](const char *name, const char *colour, const char *style) {
        keys.push_back({std::string(".key.") + name + "::before",
                        std::string("width:1.4em;border-top:2px ") + style + " " + colour});
    };
    auto box = [&](const char *name, const char *colour) {
        keys.push_back({std::string(".key.") + name + "::before", std::string("border:.4em solid ") + colour});
    };
    dot("end", EndStep);
    dot("peak1", PeakStep1);
    dot("peak2", PeakStep2);
    line("path", Path, "solid");
    line("envelope", Envelope, "solid");
    line("eeep", Eeep, "dashed");
    line("cumulative", Cumulative, "solid");
    line("series", Series, "solid");
    box("bars", Bars);
    box("primary", Primary);
    box("repeat", Repeat);
    box("trailing", Trailing);
    box("nolevel", NoLevel);
    line("limit", "#999999", "dashed");
    line("open", Path, "dotted");

    std::vector<Rule> top = {
        {"*", "box-sizing:border-box"},
        {"html", "-webkit-text-size-adjust:100%;print-color-adjust:exact;-webkit-print-color-adjust:exact"},
        {"body", "margin:0 auto;max-width:1280px;padding:0 16px 32px;color:#222;background:#fff;"
                 "font:15px/1.45 system-ui,-apple-system,'Segoe UI',Roboto,'Noto Sans','DejaVu Sans',sans-serif"},
        {"h1", "font-size:1.6em;margin:.8em 0 .2em"},
        {"h2", "font-size:1.3em;margin:1.6em 0 .2em;border-bottom:2px solid #ccc;padding-bottom:.15em"},
        {"h3", "font-size:1.05em;margin:1em 0 .3em"},
        {".meta,.location", "color:#555;margin:.2em 0;overflow-wrap:anywhere"},
        {".location", "font-family:ui-monospace,'DejaVu Sans Mono',monospace;font-size:.9em"},
        {".scroll", "overflow-x:auto;max-width:100%"},
        {"table", "border-collapse:collapse;font-size:.9em"},
        {"th,td", "padding:.2em .55em;border-bottom:1px solid #e3e3e3;vertical-align:top"},
        {"th", "text-align:left;background:#f4f4f4;font-weight:600"},
        {"thead th", "vertical-align:bottom"},
        {"td,th.num", "text-align:right;font-variant-numeric:tabular-nums;white-space:nowrap"},
        {"td.text", "text-align:left;white-space:normal"},
        {"td.none", "color:#999"},
        {".unit", "font-weight:400;color:#555"},
        {"tr.failed td", "background:#fff3f3"},
        {".errline", "color:#a40000;font-size:.92em;white-space:normal"},
        {"ul.messages", "margin:.4em 0;padding-left:1.2em"},
        {"li.error", "color:#a40000"},
        {"li.warning", "color:#8a5a00"},
        {"tr.open td", "color:#666;font-style:italic"},
        {".tag", "font-size:.8em;font-style:normal;color:#8a5a00;margin-left:.3em"},
        {".top", "display:grid;grid-template-columns:minmax(0,11fr) minmax(0,9fr);gap:20px;align-items:start"},
        {".cyclecharts", "display:grid;grid-template-columns:repeat(3,minmax(0,1fr));gap:14px;margin-top:10px"},
        {"figure", "margin:0;break-inside:avoid"},
        {"svg.chart", "display:block;width:100%;height:auto"},
        {"figcaption", "font-size:.85em;color:#444;margin-top:.2em"},
    };
    top.insert(top.end(), keys.begin(), keys.end());
    const std::vector<Rule> rest = {
        {"td.pass", "background:#e3f4e1;color:#1b5e20;font-weight:600"},
        {"td.fail", "background:#fde2e1;color:#a40000;font-weight:600"},
        {"dl.figures", "display:grid;grid-template-columns:max-content 1fr;gap:.1em 1em;margin:.3em 0"},
        {"dl.figures dt", "color:#555"},
        {"dl.figures dd", "margin:0;font-variant-numeric:tabular-nums"},
        {"p.empty", "color:#666;font-style:italic"},
        {".key.rec::before", "width:1.4em;border-top:2px solid var(--c)"},
        {"p.legend", "margin:.3em 0;line-height:1.7"},
        {"p.note", "background:#fff6e0;border-left:3px solid #e0a000;padding:.3em .6em"},
        {".comparecharts", "display:grid;grid-template-columns:repeat(2,minmax(0,1fr));gap:14px;margin:10px 0"},
        {"td.below", "background:#fde2e1;color:#a40000;font-weight:600"},
    };
    top.insert(top.end(), rest.begin(), rest.end());
    return {
        {"", top},
        {"@media screen and (max-width:900px)",
         {{".top,.cyclecharts,.comparecharts", "grid-template-columns:minmax(0,1fr)"}, {"body", "padding:0 10px 24px;font-size:14px"}}},
        {"@page", {{"", "size:A4;margin:12mm"}}},
        {"@media print",
         {{"body", "max-width:none;padding:0;font-size:9pt"},
          {"section.record", "break-before:page"},
          {".scroll", "overflow:visible"},
          {"a", "color:inherit;text-decoration:none"},
          {"h2", "margin-top:0"},
          {".top", "gap:10px"},
          {"table", "font-size:.85em"},
          {"thead", "display:table-header-group"},
          {"tr", "break-inside:avoid"}}},
    };
}

/// The style sheet of the page; with a scope (".kov-report"), the same
/// rules for a fragment inside another page: each selector within the scope,
/// html and body the scope itself, and no page rule.
std::string styleSheet(const std::string &scope = {})
{
    std::string css;
    for (const auto &[at, rules] : styleRules()) {
        if (at == "@page") {
            if (scope.empty())
                css += "@page{" + rules.front().declarations + "}";
            continue;
        }
        if (!at.empty())
            css += at + "{";
        for (const Rule &r : rules) {
            std::string selectors;
            for (std::size_t from = 0; from <= r.selectors.size();) {
                const std::size_t to = std::min(r.selectors.find(',', from), r.selectors.size());
                const std::string one = r.selectors.substr(from, to - from);
                selectors += (selectors.empty() ? "" : ",") +
                             (scope.empty() ? one : one == "html" || one == "body" ? scope : scope + " " + one);
                from = to + 1;
            }
            css += selectors + "{" + r.declarations + "}";
        }
        if (!at.empty())
            css += "}";
    }
    return css;
}

// ---- The call's sections

/// What every section of the call draws from: the call's settings, and each
/// record's listing and name on the page.
struct CallView {
    const ReportSettings &settings;
    const std::vector<Listed> &records;
    const std::vector<std::string> &names;
    const std::string &referenceGroup;
    /// The folder of the records' pages as the page links to it, URL
    /// encoded; empty when the sections are on the page.
    const std::string &pagesFolder;
};

/// Where a record's section is, for a link to it: the index counts the
/// records that have one.
std::string sectionHref(std::size_t section)
{
    return "#" + sectionId(section);
}

/// The summary table's columns of numbers, each printed alike, with the
/// unit of the records' quantity.
struct SummaryColumn {
    const char *head;
    ColumnUnit unit;
    std::optional<double> (*value)(const SummaryRow &);
};

template <typename T>
std::optional<double> asDouble(const std::optional<T> &v)
{
    return v ? std::optional<double>(*v) : std::nullopt;
}

const SummaryColumn SummaryColumns[] = {
    {"Total energy", ColumnUnit::Energy, [](const SummaryRow &r) { return asDouble(r.totalEnergy); }},
    {"Mean damping", ColumnUnit::None, [](const SummaryRow &r) { return r.meanDamping; }},
    {"Peak load +", ColumnUnit::Y, [](const SummaryRow &r) { return asDouble(r.peakLoadPos); }},
    {"Peak load \u2212", ColumnUnit::Y, [](const SummaryRow &r) { return asDouble(r.peakLoadNeg); }},
    {"Ductility +", ColumnUnit::None, [](const SummaryRow &r) { return r.ductilityPos; }},
    {"Ductility \u2212", ColumnUnit::None, [](const SummaryRow &r) { return r.ductilityNeg; }},
};

/// The summary: a row per record. Each number is in its record's own units:
/// in the column's head when the records with a value there share them,
/// else beside every value.
std::string summaryTable(const CallView &call)
{
    const std::vector<Listed> &records = call.records;
    struct Column {
        std::string head;
        std::vector<std::string> cells;
    };
    std::vector<Column> columns;
    for (const SummaryColumn &c : SummaryColumns) {
        std::vector<std::optional<double>> values;
        std::vector<std::string> units;
        std::optional<std::string> shared;
        bool mixed = false;
        for (const Listed &r : records) {
            values.push_back(c.value(r.summary));
            units.push_back(columnUnitText(c.unit, r.xUnit, r.yUnit));
            if (values.back()) {
                mixed = mixed || (shared && *shared != units.back());
                shared = units.back();
            }
        }
        Column column{withUnit(c.head, mixed ? std::string()
                                             : shared.value_or(columnUnitText(c.unit, call.settings.xUnit,
                                                                              call.settings.yUnit))),
                      numberCells(values)};
        for (std::size_t i = 0; mixed && i < records.size(); ++i)
            if (values[i] && !units[i].empty())
                column.cells[i] += " <span class=\"unit\">" + esc(units[i]) + "</span>";
        columns.push_back(std::move(column));
    }
    std::vector<std::optional<double>> betaMin;
    for (const Listed &r : records)
        betaMin.push_back(r.summary.betaMin);
    const std::vector<std::string> betaCells = numberCells(betaMin);

    std::string html = "<div class=\"scroll\"><table class=\"summary\"><thead><tr><th>Record</th><th>Status</th>"
                       "<th class=\"num\">Steps</th><th class=\"num\">Cycles</th>";
    for (const Column &c : columns)
        html += "<th class=\"num\">" + c.head + "</th>";
    html += "<th class=\"num\">Levels</th><th class=\"num\">\u03b2 min</th><th>Acceptance</th></tr></thead><tbody>";
    std::size_t section = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Listed &r = records[i];
        const bool failed = r.summary.errorNumber != 0;
        html += failed ? "<tr class=\"failed\">" : "<tr>";
        const std::string name = esc(call.names[i]);
        const std::string href = call.pagesFolder.empty()
                                     ? sectionHref(section)
                                     : call.pagesFolder + "/record-" + std::to_string(i + 1) + ".html";
        section += r.loaded ? 1 : 0;
        html += "<td class=\"text\">" + (r.loaded ? "<a href=\"" + href + "\">" + name + "</a>" : name);
        html += "<td class=\"text\">" + statusText(r.summary);
        for (const std::string &e : r.errors)
            html += "<div class=\"errline\">" + esc(e) + "</div>";
        auto whole = [](const std::optional<int> &v) {
            return v ? "<td>" + std::to_string(*v) : NoneCell;
        };
        html += whole(r.summary.rows) + whole(r.summary.cycles);
        if (r.openCycles > 0)
            html += "<span class=\"tag\">" + std::to_string(r.openCycles) + " open</span>";
        for (const Column &c : columns)
            html += c.cells[i];
        const std::string &a = r.summary.acceptance;
        html += whole(r.summary.levels) + betaCells[i] +
                (a.empty() ? NoneCell
                           : "<td class=\"" + (a == "pass" ? "pass" : a == "fail" ? "fail" : std::string("text")) +
                                 "\">" + a);
        html += "</tr>";
    }
    return html + "</tbody></table></div>";
}

/// A section of the whole call, before the records' sections: its id, its
/// heading and its body.
struct CallSection {
    const char *id;
    const char *title;
    std::string (*body)(const CallView &);
};

/// The call's sections in page order. A section that sets the records side
/// by side is one more entry (what it needs of each record goes into Listed).
std::string comparison(const CallView &call)
{
    std::vector<report::ComparisonEntry> entries;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < call.records.size(); ++i)
        if (!call.records[i].summary.skipped) {
            entries.push_back(call.records[i].compared);
            names.push_back(call.names[i]);
        }
    return report::comparisonSection(entries, names, call.referenceGroup);
}

const CallSection CallSections[] = {
    {"summary", "Summary", summaryTable},
    {"comparison", "Comparison", comparison},
};

// ---- A record's section

std::string legend(const std::vector<std::pair<const char *, std::string>> &keys)
{
    std::string html;
    for (const auto &[kind, text] : keys)
        html += std::string("<span class=\"key ") + kind + "\">" + text + "</span> ";
    return html;
}

std::string figures(const ReportRecord &r, const ReportSettings &s)
{
    const RecordMetrics &m = r.metrics;
    auto row = [](const std::string &term, const std::string &value) {
        return "<dt>" + term + "</dt><dd>" + value + "</dd>";
    };
    std::string html = "<dl class=\"figures\">";
    html += row("Steps", std::to_string(static_cast<int>(r.state->RowCount)));
    const int noise = r.summary.noiseCycles.value_or(0);
    std::string open;
    for (const CycleMetrics &c : m.cycles)
        if (!c.closed)
            open += (open.empty() ? "cycle " : ", ") + std::to_string(c.cycle);
    html += row("Cycles", std::to_string(m.cycles.size()) + (r.truncated ? " (the first 100; the record goes on)" : "") +
                              (noise > 0 ? " (" + std::to_string(noise) + " look like noise)" : "") +
                              (open.empty() ? "" : " (" + open + " open: no upward zero crossing ends it)"));
    if (!m.cycles.empty()) {
        const float total = m.cycles.back().totalEnergy;
        html += row(withUnit("Total energy", energyUnit(s)),
                    formatNumber(total, report::columnFormat(std::fabs(total))));
    }
    if (m.meanDamping)
        html += row("Mean damping", formatNumber(*m.meanDamping, report::columnFormat(std::fabs(*m.meanDamping))));
    return html + "</dl>";
}

std::string envelopeTable(const RecordMetrics &m, const ReportSettings &s)
{
    struct Row {
        std::string head;
        std::function<std::optional<double>(const EeepCurve &)> value;
    };
    const std::string stiffness = columnUnitText(ColumnUnit::Stiffness, s.xUnit, s.yUnit);
    const std::vector<Row> rows = {
        {withUnit("Peak load", s.yUnit), [](const EeepCurve &c) { return double(c.peakLoad); }},
        {withUnit("at displacement", s.xUnit), [](const EeepCurve &c) { return double(c.peakDisp); }},
        {withUnit("Elastic stiffness", stiffness), [](const EeepCurve &c) { return c.elasticStiffness; }},
        {withUnit("Yield load", s.yUnit), [](const EeepCurve &c) { return c.yieldLoad; }},
        {withUnit("Yield displacement", s.xUnit), [](const EeepCurve &c) { return c.yieldDisp; }},
        {withUnit("Ultimate displacement", s.xUnit), [](const EeepCurve &c) { return c.ultimateDisp; }},
        {"Ductility", [](const EeepCurve &c) { return c.ductility; }},
    };
    const EnvelopeSide *sides[] = {&m.positive, &m.negative, &m.average};
    std::string html = "<table class=\"envelope\"><thead><tr><th></th><th class=\"num\">Positive</th>"
                       "<th class=\"num\">Negative</th><th class=\"num\">Average</th></tr></thead><tbody>";
    html += "<tr><th>Envelope points</th>";
    for (const EnvelopeSide *side : sides)
        html += "<td>" + std::to_string(side->points.size() - (side->points.empty() ? 0 : 1));
    html += "</tr>";
    for (const Row &row : rows) {
        std::vector<std::optional<double>> values;
        for (const EnvelopeSide *side : sides)
            values.push_back(side->eeep ? row.value(*side->eeep) : std::nullopt);
        html += "<tr><th>" + row.head + "</th>";
        for (const std::string &cell : numberCells(values))
            html += cell;
        html += "</tr>";
    }
    auto yesNo = [&](const char *head, bool EeepCurve::*member) {
        std::string row = std::string("<tr><th>") + head + "</th>";
        for (const EnvelopeSide *side : sides)
            row += side->eeep ? std::string("<td>") + ((*side->eeep).*member ? "yes" : "no") : NoneCell;
        return row + "</tr>";
    };
    html += yesNo("Load fell below 0.8 peak", &EeepCurve::failureReached);
    html += yesNo("Yield load taken as 0.85 peak", &EeepCurve::yieldFallback);
    return html + "</tbody></table>";
}

/// An offset as the settings list shows it; none when none was given.
std::optional<std::string> offsetText(const ColumnOffset &offset, const std::string &unit)
{
    if (offset.kind == ColumnOffset::Kind::None)
        return std::nullopt;
    if (offset.kind == ColumnOffset::Kind::FirstRow)
        return std::string("the first analysed row's");
    return shortestText(offset.value) + " " + esc(unit);
}

/// A row of a section's settings list: its term, and its value as the page
/// shows it (escaped), none where the setting does not apply to the call.
struct SettingRow {
    const char *term;
    std::optional<std::string> (*value)(const ReportSettings &);
};

/// The settings rows in order; a new setting is one more entry.
const SettingRow SettingRows[] = {
    {"X column", [](const ReportSettings &s) -> std::optional<std::string> { return std::to_string(s.xColumn); }},
    {"Y column", [](const ReportSettings &s) -> std::optional<std::string> { return std::to_string(s.yColumn); }},
    {"Skip lines", [](const ReportSettings &s) -> std::optional<std::string> { return std::to_string(s.skipLines); }},
    {"X coefficient", [](const ReportSettings &s) -> std::optional<std::string> { return shortestText(s.xCoef); }},
    {"Y coefficient", [](const ReportSettings &s) -> std::optional<std::string> { return shortestText(s.yCoef); }},
    {"X unit", [](const ReportSettings &s) -> std::optional<std::string> { return esc(s.xUnit); }},
    {"Y unit", [](const ReportSettings &s) -> std::optional<std::string> { return esc(s.yUnit); }},
    {"Level tolerance",
     [](const ReportSettings &s) -> std::optional<std::string> { return shortestText(s.levelTolerance); }},
    {"Height",
     [](const ReportSettings &s) -> std::optional<std::string> {
         return s.height ? shortestText(*s.height) + " " + esc(s.xUnit) : "none (no drift, no acceptance)";
     }},
    {"Acceptance drift",
     [](const ReportSettings &s) -> std::optional<std::string> { return shortestText(s.acceptanceDrift); }},
    {"Yield displacement",
     [](const ReportSettings &s) -> std::optional<std::string> {
         return s.yieldDisp ? shortestText(*s.yieldDisp) + " " + esc(s.xUnit) : "none";
     }},
    {"Peak rule",
     [](const ReportSettings &s) -> std::optional<std::string> {
         return s.peakRule == PeakRule::Halves ? "halves (peak step 2 after peak step 1)" : "window";
     }},
    {"Envelope",
     [](const ReportSettings &s) -> std::optional<std::string> {
         return s.envelope == EnvelopeRule::PeakLoad ? "peak load (ASTM E2126)" : "load at the peak displacement";
     }},
    {"Rows",
     [](const ReportSettings &s) -> std::optional<std::string> {
         if (!s.firstRow && !s.lastRow)
             return std::nullopt;
         return (s.firstRow ? std::to_string(*s.firstRow) : std::string("1")) + " to " +
                (s.lastRow ? std::to_string(*s.lastRow) : std::string("the last"));
     }},
    {"X offset",
     [](const ReportSettings &s) -> std::optional<std::string> { return offsetText(s.xOffset, s.xUnit); }},
    {"Y offset",
     [](const ReportSettings &s) -> std::optional<std::string> { return offsetText(s.yOffset, s.yUnit); }},
    {"Steps file",
     [](const ReportSettings &s) -> std::optional<std::string> {
         return s.stepsFile.empty() ? std::nullopt : std::optional(esc(s.stepsFile));
     }},
};

std::string settingsList(const ReportSettings &s)
{
    std::string html = "<dl class=\"figures settings\">";
    for (const SettingRow &row : SettingRows)
        if (const auto value = row.value(s))
            html += std::string("<dt>") + row.term + "</dt><dd>" + *value + "</dd>";
    return html + "</dl>";
}

std::string cycleTable(const RecordMetrics &m, const ReportSettings &s)
{
    const auto &columns = cycleColumns();
    std::string html = "<div class=\"scroll\"><table class=\"cycles\"><thead><tr>";
    for (const CycleColumn &c : columns) {
        const std::string unit = columnUnitText(c.unit, s.xUnit, s.yUnit);
        // The names may break after an underscore, so the table stays narrow.
        std::string name;
        for (const char *ch = c.name; *ch; ++ch)
            name += *ch == '_' ? std::string("_<wbr>") : std::string(1, *ch);
        html += "<th class=\"num\">" + name + (unit.empty() ? "" : "<br><span class=\"unit\">" + esc(unit) + "</span>") + "</th>";
    }
    html += "</tr></thead><tbody>";
    // Each column is printed in the format of its largest value.
    std::vector<std::vector<std::string>> cells;
    for (const CycleColumn &c : columns) {
        std::vector<std::optional<double>> values;
        std::vector<std::string> texts; // whole numbers and words, as they are
        bool plain = false;
        for (const CycleMetrics &row : m.cycles) {
            const CycleCell cell = c.value(row);
            std::visit(
                [&](const auto &v) {
                    using T = std::decay_t<decltype(v)>;
                    if constexpr (std::is_same_v<T, std::monostate>) {
                        values.emplace_back();
                        texts.push_back(NoneCell);
                    } else if constexpr (std::is_same_v<T, const char *>) {
                        plain = true;
                        values.emplace_back();
                        texts.push_back(std::string("<td class=\"text\">") + v);
                    } else if constexpr (std::is_same_v<T, bool>) {
                        plain = true;
                        values.emplace_back();
                        texts.push_back(std::string("<td class=\"text\">") + (v ? "yes" : "no"));
                    } else if constexpr (std::is_same_v<T, int>) {
                        plain = true;
                        values.emplace_back(v);
                        texts.push_back("<td>" + std::to_string(v));
                    } else {
                        values.emplace_back(static_cast<double>(v));
                        texts.push_back({});
                    }
                },
                cell);
        }
        if (plain) {
            cells.push_back(std::move(texts));
        } else {
            cells.push_back(numberCells(values));
        }
    }
    // An open cycle's row is set apart, its first cell marked.
    for (std::size_t i = 0; i < m.cycles.size(); ++i) {
        const bool open = !m.cycles[i].closed;
        html += open ? "<tr class=\"open\">" : "<tr>";
        for (std::size_t k = 0; k < cells.size(); ++k)
            html += cells[k][i] + (open && k == 0 ? "<span class=\"tag\">open</span>" : "");
        html += "</tr>";
    }
    return html + "</tbody></table></div>";
}

/// The loads of the repeats, one after the other: "20.1, 18.3, 17.9".
std::string loadList(const std::vector<std::optional<float>> &loads)
{
    std::vector<std::optional<double>> values;
    for (const auto &f : loads)
        values.push_back(f ? std::optional<double>(*f) : std::nullopt);
    const NumberFormat format = report::columnFormat(largest(values));
    std::string text;
    for (const auto &v : values)
        text += (text.empty() ? "" : ", ") + (v ? formatNumber(*v, format) : std::string("\u2013"));
    return text;
}

/// The levels of the loading protocol with their strength degradation.
std::string levelTable(const RecordMetrics &m, const ReportSettings &s)
{
    struct Column {
        std::string head;
        std::function<std::optional<double>(const LoadLevel &)> value;
    };
    const std::vector<Column> columns = {
        {withUnit("Amplitude", s.xUnit), [](const LoadLevel &l) { return static_cast<double>(l.amplitude); }},
        {"Drift", [](const LoadLevel &l) { return l.drift; }},
        {"Ratio", [](const LoadLevel &l) { return l.ratio; }},
        {"Loss +", [](const LoadLevel &l) { return l.lossPos; }},
        {"Loss \u2212", [](const LoadLevel &l) { return l.lossNeg; }},
        {"Loss 1\u21923 +", [](const LoadLevel &l) { return l.loss3Pos; }},
        {"Loss 1\u21923 \u2212", [](const LoadLevel &l) { return l.loss3Neg; }},
    };
    std::string html = "<div class=\"scroll\"><table class=\"levels\"><thead><tr><th class=\"num\">Level</th>"
                       "<th class=\"num\">First cycle</th><th class=\"num\">Cycles</th><th class=\"num\">Repeats</th>"
                       "<th class=\"num\">Trailing</th>";
    for (const Column &c : columns)
        html += "<th class=\"num\">" + c.head + "</th>";
    html += "<th>" + withUnit("Peak load of each repeat +", s.yUnit) + "</th><th>" +
            withUnit("\u2212", s.yUnit) + "</th></tr></thead><tbody>";
    std::vector<std::vector<std::string>> cells;
    for (const Column &c : columns) {
        std::vector<std::optional<double>> values;
        for (const LoadLevel &l : m.levels)
            values.push_back(c.value(l));
        cells.push_back(numberCells(values));
    }
    for (std::size_t i = 0; i < m.levels.size(); ++i) {
        const LoadLevel &l = m.levels[i];
        html += "<tr><td>" + std::to_string(l.level) + "<td>" + std::to_string(l.firstCycle) + "<td>" +
                std::to_string(l.cycles) + "<td>" + std::to_string(l.repeats) + "<td>" + std::to_string(l.trailing);
        for (const auto &column : cells)
            html += column[i];
        html += "<td class=\"text\">" + loadList(l.strengthPos) + "<td class=\"text\">" + loadList(l.strengthNeg) +
                "</tr>";
    }
    return html + "</tbody></table></div>";
}

/// The acceptance checks, each value beside its limit, pass and fail
/// coloured.
std::string acceptanceTable(const Acceptance &a, const ReportSettings &s)
{
    auto verdict = [](const std::optional<bool> &pass) {
        return pass ? (*pass ? std::string("<td class=\"pass\">pass") : std::string("<td class=\"fail\">fail"))
                    : NoneCell;
    };
    std::string html = "<p>At the third repeat of the first level whose drift reaches " +
                       shortestText(a.driftLimit) + ": ";
    if (!a.level)
        html += "no level reaches it";
    else
        html += "level " + std::to_string(*a.level) +
                (a.cycle ? ", cycle " + std::to_string(*a.cycle) : std::string(", which has fewer than three repeats"));
    html += ".</p><div class=\"scroll\"><table class=\"acceptance\"><thead><tr><th>Check</th>"
            "<th class=\"num\">Value</th><th class=\"num\">Limit</th><th>Result</th></tr></thead><tbody>";
    const std::string stiffness = columnUnitText(ColumnUnit::Stiffness, s.xUnit, s.yUnit);
    const std::pair<std::string, const AcceptanceCheck *> rows[] = {
        {withUnit("Peak load + \u2265 0.75 \u00d7 largest", s.yUnit), &a.strengthPos},
        {withUnit("Peak load \u2212 \u2264 0.75 \u00d7 largest", s.yUnit), &a.strengthNeg},
        {"Energy dissipation ratio \u2265 1/8", &a.beta},
        {withUnit("Secant stiffness at \u00b1A/10 \u2265 0.05 K+", stiffness), &a.stiffness},
    };
    for (const auto &[head, check] : rows) {
        const auto cells = numberCells({check->value, check->limit});
        html += "<tr><th>" + head + "</th>" + cells[0] + cells[1] + verdict(check->pass) + "</tr>";
    }
    html += "<tr><th>Verdict</th><td><td>" +
            (a.pass ? verdict(a.pass) : std::string("<td class=\"text\">not reached")) + "</tr>";
    return html + "</tbody></table></div>";
}

bool anyOpen(const RecordMetrics &m)
{
    return std::any_of(m.cycles.begin(), m.cycles.end(), [](const CycleMetrics &c) { return !c.closed; });
}

std::string cycleCharts(const RecordMetrics &m, const ReportSettings &s)
{
    if (m.cycles.empty())
        return "<p class=\"empty\">No cycle was analysed: the record has no upward zero crossing of the load.</p>";
    // Where a cycle is open, every chart's key says how it is drawn.
    using Keys = std::vector<std::pair<const char *, std::string>>;
    auto keys = [&](Keys k) {
        if (anyOpen(m))
            k.emplace_back("open", "open cycle (hollow, dashed; not in the scale)");
        return legend(k);
    };
    std::string html = "<div class=\"cyclecharts\">";
    html += "<figure>" + report::protocolChart(m, s.xUnit) + "<figcaption>" +
            keys({{"primary", "primary"}, {"repeat", "repeat"}, {"trailing", "trailing"}, {"nolevel", "no level"},
                  {"limit", "level starts"}}) +
            "</figcaption></figure>";
    html += "<figure>" + report::betaChart(m) + "<figcaption>" +
            keys({{"series", "relative energy dissipation ratio"}, {"limit", "1/8"}}) + "</figcaption></figure>";
    html += "<figure>" + report::energyChart(m, energyUnit(s)) + "<figcaption>" +
            keys({{"bars", "energy per cycle (left)"}, {"cumulative", "cumulative energy (right)"}}) +
            "</figcaption></figure>";
    html += "<figure>" + report::dampingChart(m) + "<figcaption>" + keys({{"series", "equivalent damping factor"}}) +
            "</figcaption></figure>";
    html += "<figure>";
    if (const auto ref = report::stiffnessReference(m))
        html += report::stiffnessChart(m, *ref) + "<figcaption>" +
                keys({{"series", "secant stiffness / that of cycle " + std::to_string(m.cycles[*ref].cycle)}}) +
                "</figcaption>";
    else
        html += "<p class=\"empty\">No cycle has a secant stiffness (a peak step is 0, or both peaks have the "
                "same X).</p>";
    return html + "</figure></div>";
}

// A section's heading names the record as the page does, which only the
// whole call's paths tell; so a section is drawn from just after its name
// (sectionRest), and its start and the name are put before it when the page
// is put together.

/// The start of a section up to the record's name.
std::string sectionStart(std::size_t section)
{
    return "<section class=\"record\" id=\"" + sectionId(section) + "\"><h2>" + std::to_string(section + 1) + ". ";
}

std::vector<std::pair<const char *, std::string>> loopKeys(const RecordMetrics &m)
{
    std::vector<std::pair<const char *, std::string>> keys = {{"path", "path"},
                                                              {"end", "cycle end step"},
                                                              {"peak1", "peak step 1"},
                                                              {"peak2", "peak step 2"},
                                                              {"envelope", "envelope (points ringed)"},
                                                              {"eeep", "EEEP curve"}};
    if (anyOpen(m))
        keys.emplace_back("open", "open cycle (its last step hollow)");
    return keys;
}

/// The rest of a section after the record's name, and the line's end.
std::string sectionRest(const ReportRecord &r, const ReportSettings &s)
{
    std::string html = "</h2><p class=\"location\">" + esc(r.summary.record) + "</p>";
    if (!r.summary.sha256.empty())
        html += "<p class=\"location\">SHA-256 " + esc(r.summary.sha256) + "</p>";
    if (!r.errors.empty() || !r.warnings.empty()) {
        html += "<ul class=\"messages\">";
        for (const std::string &e : r.errors)
            html += "<li class=\"error\">" + esc(e) + "</li>";
        for (const std::string &w : r.warnings)
            html += "<li class=\"warning\">" + esc(w) + "</li>";
        html += "</ul>";
    }
    html += "<div class=\"top\"><figure class=\"loop\">" +
            report::loopChart(*r.state, r.metrics, s.xUnit, s.yUnit) + "<figcaption>" +
            legend(loopKeys(r.metrics)) +
            "</figcaption></figure><div class=\"facts\">" + figures(r, s) +
            "<h3>Envelope and EEEP curve</h3><div class=\"scroll\">" + envelopeTable(r.metrics, s) +
            "</div><h3>Settings</h3>" + settingsList(s) + "</div></div>";
    html += cycleCharts(r.metrics, s);
    if (!r.metrics.levels.empty())
        html += "<h3>Loading protocol and strength degradation</h3>" + levelTable(r.metrics, s);
    if (r.metrics.acceptance)
        html += "<h3>Acceptance</h3>" + acceptanceTable(*r.metrics.acceptance, s);
    if (!r.metrics.cycles.empty())
        html += "<h3>Cycles</h3>" + cycleTable(r.metrics, s);
    return html + "</section>\n";
}

std::string callSections(const CallView &call);

/// The page up to the records' sections: the head and the call's sections.
std::string pageTop(const ReportSettings &settings, const std::vector<Listed> &records,
                    const std::vector<std::string> &names, const std::string &generated, const std::string &program,
                    const std::string &referenceGroup, const std::string &pagesFolder = {})
{
    const CallView call{settings, records, names, referenceGroup, pagesFolder};
    const std::size_t n = records.size();
    std::size_t notLoaded = 0;
    for (const Listed &r : records)
        if (!r.loaded && !r.summary.skipped)
            ++notLoaded;
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
           "<title>kov report</title><style>" +
           styleSheet() + "</style></head><body><header><h1>kov report</h1><p class=\"meta\">" + std::to_string(n) +
           (n == 1 ? " record" : " records") +
           (notLoaded ? " (" + std::to_string(notLoaded) + " not loaded)" : std::string()) + ", written " +
           esc(generated) + " by " + esc(program) + "</p></header>\n" + callSections(call);
}

const std::string PageEnd = "</body></html>\n";

std::string callSections(const CallView &call)
{
    std::string html;
    for (const CallSection &section : CallSections)
        if (const std::string body = section.body(call); !body.empty())
            html += std::string("<section id=\"") + section.id + "\"><h2>" + section.title + "</h2>" + body +
                    "</section>\n";
    return html;
}

/// The failure of writing the report, as a line: "Cannot write r.html: Disk full (61)".
std::string failureText(const std::string &path)
{
    try {
        throw;
    } catch (const Failure &f) {
        return failureLine(f);
    } catch (const std::exception &e) {
        return "Cannot write " + path + ": " + e.what();
    }
}

} // namespace

std::string reportHtml(const ReportRequest &request)
{
    std::vector<Listed> records;
    std::vector<std::string> sections;
    for (const ReportRecord &r : request.records) {
        records.push_back(listing(r, request.settings));
        if (r.state)
            sections.push_back(sectionRest(r, settingsOf(r, request.settings)));
    }
    const std::vector<std::string> names = recordNames(records);
    std::string html =
        pageTop(request.settings, records, names, request.generated, request.program, request.referenceGroup);
    std::size_t section = 0;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].loaded) {
            html += sectionStart(section) + esc(names[i]) + sections[section];
            ++section;
        }
    return html + PageEnd;
}

std::string recordPagesFolder(const std::string &reportPath)
{
    fs::path p(reportPath);
    return (p.parent_path() / (p.stem().string() + "-records")).string();
}

std::string recordPagePath(const std::string &reportPath, std::size_t index)
{
    return (fs::path(recordPagesFolder(reportPath)) / ("record-" + std::to_string(index + 1) + ".html")).string();
}

std::string recordSectionHtml(const ReportRecord &record, const ReportSettings &settings)
{
    const std::string path = record.summary.record.empty() ? record.name : record.summary.record;
    const std::string name = esc(report::distinguishingNames({path}).front());
    std::string html = "<div class=\"kov-report\"><style>" + styleSheet(".kov-report") + "</style>";
    if (record.state) {
        html += "<section class=\"record\"><h2>" + name + sectionRest(record, settingsOf(record, settings));
    } else {
        html += "<section class=\"record\"><h2>" + name + "</h2><p class=\"location\">" + esc(path) +
                "</p><ul class=\"messages\">";
        for (const std::string &e : record.errors)
            html += "<li class=\"error\">" + esc(e) + "</li>";
        html += "</ul></section>";
    }
    return html + "</div>";
}

struct ReportWriter::Page {
    std::string path;
    ReportSettings settings;
    std::string referenceGroup;
    bool recordPages = false;
    std::vector<Listed> records;
    int sections = -1;                     ///< the scratch file of the sections drawn
    std::vector<std::uint64_t> sizes;      ///< the bytes of each section in it
    std::string error;                     ///< the first failure
};

namespace {

/// A path component as a link names it: bytes outside A-Z a-z 0-9 - . _ ~
/// percent encoded.
std::string urlEncoded(const std::string &name)
{
    std::string out;
    for (const char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            static const char hex[] = "0123456789ABCDEF";
            out += {'%', hex[c >> 4], hex[c & 15]};
        }
    }
    return out;
}

/// Each loaded record's section as a page of its own in the records'
/// folder (made when missing), a link back to the call's page above it.
/// The pieces of the call the record pages are made of.
struct PagesOf {
    const std::string &path;
    const std::vector<Listed> &records;
    int sections;
    const std::vector<std::uint64_t> &sizes;
};

void writeRecordPages(const PagesOf &p, const std::vector<std::string> &names)
{
    const std::string folder = recordPagesFolder(p.path);
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
        failWrite(errorNumberOfErrno(errno, err::PathAccess), folder);
    const std::string back = "../" + urlEncoded(fs::path(p.path).filename().string());
    std::uint64_t offset = 0;
    std::size_t section = 0;
    for (std::size_t i = 0; i < p.records.size(); ++i) {
        if (!p.records[i].loaded)
            continue;
        AtomicFile page(recordPagePath(p.path, i));
        page.write("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                   "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\"><title>" +
                   esc(names[i]) + " \u2013 kov report</title><style>" + styleSheet() +
                   "</style></head><body><p class=\"meta\"><a href=\"" + back + "#summary\">\u2190 kov report of " +
                   std::to_string(p.records.size()) + " records</a></p>\n" + sectionStart(section) + esc(names[i]));
        page.copyFrom(p.sections, offset, p.sizes[section]);
        offset += p.sizes[section];
        ++section;
        page.write(PageEnd);
        page.commit();
    }
}

/// The folder for the report's scratch file: the report's own (the page is
/// copied from it on the same disk), else $TMPDIR or /tmp.
int openSections(const std::string &path)
{
    std::string folder = std::filesystem::path(path).parent_path().string();
    const char *tmp = std::getenv("TMPDIR");
    int fd = -1;
    for (const std::string &f : {folder.empty() ? std::string(".") : folder,
                                 std::string(tmp && *tmp ? tmp : "/tmp"), std::string("/tmp")})
        if ((fd = openScratchFile(f)) >= 0)
            break;
    if (fd < 0)
        failWrite(errorNumberOfErrno(errno, err::PathAccess), path);
    return fd;
}

} // namespace

ReportWriter::ReportWriter(const std::string &path, const ReportSettings &settings, const std::string &referenceGroup,
                           bool recordPages)
    : m_page(std::make_unique<Page>())
{
    m_page->path = path;
    m_page->settings = settings;
    m_page->referenceGroup = referenceGroup;
    m_page->recordPages = recordPages;
    try {
        m_page->sections = openSections(path);
    } catch (...) {
        m_page->error = failureText(path);
    }
}

ReportWriter::~ReportWriter()
{
    if (m_page->sections >= 0)
        ::close(m_page->sections);
}

void ReportWriter::add(const ReportRecord &record)
{
    Page &p = *m_page;
    if (!p.error.empty())
        return;
    try {
        p.records.push_back(listing(record, p.settings));
        if (!record.state)
            return;
        const std::string html = sectionRest(record, settingsOf(record, p.settings));
        std::size_t done = 0;
        while (done < html.size()) {
            const ssize_t n = ::write(p.sections, html.data() + done, html.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                failWrite(errorNumberOfErrno(errno, err::DeviceIO), p.path);
            done += static_cast<std::size_t>(n);
        }
        p.sizes.push_back(html.size());
    } catch (...) {
        p.error = failureText(p.path);
    }
}

bool ReportWriter::finish(const std::string &generated, const std::string &program, std::string &error)
{
    Page &p = *m_page;
    if (p.error.empty()) {
        try {
            const std::vector<std::string> names = recordNames(p.records);
            const bool pages = p.recordPages && p.records.size() > report::ManyRecords;
            if (pages)
                writeRecordPages({p.path, p.records, p.sections, p.sizes}, names);
            AtomicFile page(p.path);
            page.write(pageTop(p.settings, p.records, names, generated, program, p.referenceGroup,
                               pages ? urlEncoded(fs::path(recordPagesFolder(p.path)).filename().string()) : ""));
            std::uint64_t offset = 0;
            std::size_t section = 0;
            for (std::size_t i = 0; i < p.records.size() && !pages; ++i)
                if (p.records[i].loaded) {
                    page.write(sectionStart(section) + esc(names[i]));
                    page.copyFrom(p.sections, offset, p.sizes[section]);
                    offset += p.sizes[section];
                    ++section;
                }
            page.write(PageEnd);
            page.commit();
            return true;
        } catch (...) {
            p.error = failureText(p.path);
        }
    }
    error = p.error;
    return false;
}

} // namespace kov
