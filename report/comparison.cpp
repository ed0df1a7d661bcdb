#include "report/comparison.h"

#include "report/charts.h"
#include "report/reportformat.h"
#include "report/svgwriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace kov::report {

namespace {

/// Ten colours that tell lines apart, one per group (or record).
constexpr const char *Palette[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd",
                                   "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};
constexpr std::size_t PaletteSize = std::size(Palette);

/// colour mixed towards white (t > 0) or black (t < 0) by |t|.
std::string shade(const char *colour, double t)
{
    unsigned r = 0, g = 0, b = 0;
    std::sscanf(colour + 1, "%2x%2x%2x", &r, &g, &b);
    auto mix = [&](unsigned c) {
        const double v = t >= 0 ? c + (255 - c) * t : c * (1 + t);
        return static_cast<unsigned>(std::lround(std::clamp(v, 0.0, 255.0)));
    };
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", mix(r), mix(g), mix(b));
    return text;
}

std::string esc(const std::string &text)
{
    return escapeText(text);
}

std::string withUnit(const std::string &title, const std::string &unit)
{
    return unit.empty() ? title : title + " (" + unit + ")";
}

/// The name a group is shown by.
std::string groupName(const std::string &name, std::size_t groups)
{
    return !name.empty() ? name : groups == 1 ? "All records" : "No group";
}

/// Where the records stand: which are drawn, in which colour, on what axes.
struct Layout {
    std::vector<const ComparisonEntry *> drawn;
    std::vector<std::string> colours; ///< of each drawn record
    std::vector<std::string> groups;  ///< the groups in the order they come
    bool grouped = false;             ///< some record has a group
    bool many = false;
    bool mixedUnits = false;
    bool drift = false;               ///< every drawn record has a height
    std::string xUnit, yUnit;
    double width = 1.5;
};

Layout layout(const std::vector<ComparisonEntry> &records)
{
    Layout l;
    l.many = records.size() > ManyRecords;
    l.width = l.many ? 0.6 : records.size() > 10 ? 1.0 : 1.5;
    for (const ComparisonEntry &e : records) {
        l.grouped = l.grouped || !e.figures.group.empty();
        if (std::find(l.groups.begin(), l.groups.end(), e.figures.group) == l.groups.end())
            l.groups.push_back(e.figures.group);
    }
    l.drift = true;
    for (const ComparisonEntry &e : records) {
        if (e.figures.failed)
            continue;
        if (!l.drawn.empty() && (e.figures.xUnit != l.xUnit || e.figures.yUnit != l.yUnit))
            l.mixedUnits = true;
        l.xUnit = e.figures.xUnit;
        l.yUnit = e.figures.yUnit;
        l.drift = l.drift && e.height.has_value();
        l.drawn.push_back(&e);
    }
    l.drift = l.drift && !l.drawn.empty();
    // A group's records in shades of its colour, from darker to lighter.
    std::vector<std::size_t> members(l.groups.size(), 0), seen(l.groups.size(), 0);
    auto groupOf = [&](const ComparisonEntry *e) {
        return static_cast<std::size_t>(std::find(l.groups.begin(), l.groups.end(), e->figures.group) - l.groups.begin());
    };
    for (const ComparisonEntry *e : l.drawn)
        ++members[groupOf(e)];
    for (std::size_t i = 0; i < l.drawn.size(); ++i) {
        if (!l.grouped) {
            l.colours.push_back(l.many ? std::string(colour::Series)
                                       : shade(Palette[i % PaletteSize], -0.3 * double(i / PaletteSize % 3)));
            continue;
        }
        const std::size_t g = groupOf(l.drawn[i]);
        const std::size_t n = members[g], k = seen[g]++;
        const char *base = Palette[g % PaletteSize];
        l.colours.push_back(l.many || n < 2 ? std::string(base) : shade(base, -0.35 + 0.7 * double(k) / double(n - 1)));
    }
    return l;
}

/// The legend of the charts: each record's label in its colour, or with
/// many records each group's (or their count).
std::string legend(const Layout &l, const std::vector<std::string> &labels)
{
    auto key = [](const std::string &colour, const std::string &text) {
        return "<span class=\"key rec\" style=\"--c:" + colour + "\">" + esc(text) + "</span> ";
    };
    std::string html = "<p class=\"legend\">";
    if (l.many && l.grouped) {
        for (std::size_t g = 0; g < l.groups.size(); ++g)
            html += key(Palette[g % PaletteSize], groupName(l.groups[g], l.groups.size()));
    } else if (l.many) {
        html += key(colour::Series, std::to_string(l.drawn.size()) + " records");
    } else {
        for (std::size_t i = 0; i < l.drawn.size(); ++i)
            html += key(l.colours[i], labels[i]);
    }
    return html + "</p>";
}

using Points = std::vector<EnvelopePoint>;

/// The points of a side scaled: x by sx, y by sy.
Points scaled(const Points &points, double sx, double sy)
{
    Points out;
    for (const EnvelopePoint &p : points)
        out.push_back({p.x * sx, p.y * sy});
    return out;
}

/// The factors that normalise a side: 1 / H or 1 / |yield displacement|
/// across, 1 / |peak load| up; none without an EEEP curve.
std::optional<std::pair<double, double>> normalising(const ComparisonEntry &e, const std::optional<EeepCurve> &c,
                                                     bool drift)
{
    if (!c || c->peakLoad == 0.0 || (!drift && c->yieldDisp == 0.0))
        return std::nullopt;
    return std::pair{drift ? 1.0 / *e.height : 1.0 / std::fabs(c->yieldDisp), 1.0 / std::fabs(c->peakLoad)};
}

Points eeepPoints(const EeepCurve &c)
{
    return {{0, 0}, {c.yieldDisp, c.yieldLoad}, {c.ultimateDisp, c.yieldLoad}};
}

std::string figure(const std::string &chart, const std::string &caption)
{
    return "<figure>" + chart + "<figcaption>" + caption + "</figcaption></figure>";
}

/// A cell of a number in a format fit for the magnitude.
std::string cell(const std::optional<double> &v, double magnitude, const char *cls = nullptr)
{
    if (!v)
        return "<td class=\"none\">\u2013";
    return std::string("<td") + (cls ? std::string(" class=\"") + cls + "\"" : "") + ">" +
           formatNumber(*v, columnFormat(magnitude));
}

std::string groupTables(const Comparison &c)
{
    const auto &quantities = comparedQuantities();
    const bool ratios = std::any_of(c.groups.begin(), c.groups.end(), [&](const GroupStatistics &g) {
        return !c.referenceGroup.empty() && g.name == c.referenceGroup;
    });
    std::string html;
    for (const GroupStatistics &g : c.groups) {
        const bool reference = ratios && g.name == c.referenceGroup;
        html += "<h3>" + esc(groupName(g.name, c.groups.size())) + " <span class=\"unit\">(" +
                std::to_string(g.records) + (g.records == 1 ? " record" : " records") +
                (g.failed ? ", " + std::to_string(g.failed) + " failed, left out" : std::string()) +
                (reference ? "; the reference group" : "") + ")</span></h3>";
        html += "<div class=\"scroll\"><table class=\"groupstats\"><thead><tr><th></th><th class=\"num\">Count</th>"
                "<th class=\"num\">Mean</th><th class=\"num\">Median</th><th class=\"num\">CV</th>";
        if (ratios && !reference)
            html += "<th class=\"num\">Median / " + esc(groupName(c.referenceGroup, c.groups.size())) + "</th>";
        html += "</tr></thead><tbody>";
        for (std::size_t q = 0; q < quantities.size(); ++q) {
            const QuantityStatistics &s = g.quantities[q];
            const std::string unit = comparedUnitText(quantities[q].unit, g.xUnit, g.yUnit);
            html += std::string("<tr><th>") + esc(quantities[q].title) +
                    (unit.empty() ? "" : " <span class=\"unit\">(" + esc(unit) + ")</span>") + "</th><td>" +
                    std::to_string(s.count);
            const double magnitude = std::max(std::fabs(s.mean.value_or(0.0)), std::fabs(s.median.value_or(0.0)));
            html += cell(s.mean, magnitude) + cell(s.median, magnitude) + cell(s.cv, std::fabs(s.cv.value_or(0.0)));
            if (ratios && !reference)
                html += cell(s.ratio, 1.0, s.ratio && *s.ratio < 1.0 ? "below" : nullptr);
            html += "</tr>";
        }
        html += "</tbody></table></div>";
    }
    return html;
}

} // namespace

ComparisonEntry comparisonEntry(const ReportRecord &r, const ReportSettings &s)
{
    ComparisonEntry e;
    const std::string label = r.label.empty() ? r.name : r.label;
    if (!r.state || r.summary.errorNumber != 0) {
        e.figures.label = label;
        e.figures.group = r.group;
        e.figures.failed = true;
        return e;
    }
    const RecordMetrics &m = r.metrics;
    e.figures = comparedRecord(label, r.group, m, s.xUnit, s.yUnit);
    e.positive = m.positive.points;
    e.negative = m.negative.points;
    e.height = s.height;
    const auto reference = stiffnessReference(m);
    const double k0 = reference ? *m.cycles[*reference].secantStiffness : 0.0;
    for (const LoadLevel &l : m.levels) {
        const std::size_t first = static_cast<std::size_t>(l.firstCycle - 1);
        const std::size_t last = first + static_cast<std::size_t>(std::max(l.cycles, 1)) - 1;
        if (first >= m.cycles.size())
            continue;
        const CycleMetrics &c = m.cycles[first];
        ComparisonEntry::Level level;
        level.amplitude = l.amplitude;
        level.drift = l.drift;
        level.energy = double(m.cycles[std::min(last, m.cycles.size() - 1)].totalEnergy);
        level.damping = double(c.damping);
        if (c.secantStiffness && k0 > 0.0)
            level.stiffnessRatio = *c.secantStiffness / k0;
        if (l.lossPos && l.lossNeg)
            level.strengthLoss = (*l.lossPos + *l.lossNeg) / 2.0;
        else if (l.lossPos || l.lossNeg)
            level.strengthLoss = l.lossPos ? *l.lossPos : *l.lossNeg;
        e.levels.push_back(level);
    }
    return e;
}

std::string comparisonSection(const std::vector<ComparisonEntry> &records, const std::vector<std::string> &names,
                              const std::string &referenceGroup)
{
    if (records.size() < 2)
        return {};
    const Layout l = layout(records);
    std::vector<std::string> labels;
    for (const ComparisonEntry *e : l.drawn) {
        const std::size_t i = static_cast<std::size_t>(e - records.data());
        labels.push_back(e->figures.label.empty() ? names[i] : e->figures.label);
    }
    std::string html;
    if (l.mixedUnits)
        html += "<p class=\"note\">The records are not all in the same units: their loads and displacements "
                "cannot share a chart, so only the normalised charts are drawn.</p>";
    if (l.drawn.size() < 2)
        html += "<p class=\"empty\">Fewer than two records were analysed: there is nothing to overlay.</p>";
    else {
        html += legend(l, labels) + "<div class=\"comparecharts\">";
        auto lines = [&](const std::function<std::vector<Points>(const ComparisonEntry &)> &runs) {
            std::vector<OverlayLine> out;
            for (std::size_t i = 0; i < l.drawn.size(); ++i)
                out.push_back({runs(*l.drawn[i]), l.colours[i]});
            return out;
        };
        const std::string across = l.drift ? "Drift" : "Displacement / yield displacement";
        auto normalised = [&](const ComparisonEntry &e, const Points &points, const std::optional<EeepCurve> &c) {
            const auto f = normalising(e, c, l.drift);
            return f ? scaled(points, f->first, f->second) : Points();
        };
        if (!l.mixedUnits) {
            html += figure(overlayChart(lines([](const ComparisonEntry &e) {
                                            return std::vector<Points>{e.positive, e.negative};
                                        }),
                                        withUnit("Displacement X", l.xUnit), withUnit("Load Y", l.yUnit),
                                        "Envelopes of the records", l.width),
                           "Envelopes, both sides");
            html += figure(overlayChart(lines([](const ComparisonEntry &e) {
                                            std::vector<Points> runs;
                                            for (const auto *c : {&e.figures.positive, &e.figures.negative})
                                                if (*c)
                                                    runs.push_back(eeepPoints(**c));
                                            return runs;
                                        }),
                                        withUnit("Displacement X", l.xUnit), withUnit("Load Y", l.yUnit),
                                        "EEEP curves of the records", l.width),
                           "EEEP curves, both sides");
        }
        html += figure(overlayChart(lines([&](const ComparisonEntry &e) {
                                        return std::vector<Points>{normalised(e, e.positive, e.figures.positive),
                                                                   normalised(e, e.negative, e.figures.negative)};
                                    }),
                                    across, "Load / peak load", "Normalised envelopes of the records", l.width),
                       "Envelopes normalised: each side's load over its peak load, against " +
                           std::string(l.drift ? "drift" : "its displacement over its yield displacement"));
        if (l.mixedUnits)
            html += figure(overlayChart(lines([&](const ComparisonEntry &e) {
                                            std::vector<Points> runs;
                                            for (const auto *c : {&e.figures.positive, &e.figures.negative})
                                                if (*c)
                                                    runs.push_back(normalised(e, eeepPoints(**c), *c));
                                            return runs;
                                        }),
                                        across, "Load / peak load", "Normalised EEEP curves of the records", l.width),
                           "EEEP curves normalised as the envelopes");
        // The levels across: drift, the amplitude in X units, or (in mixed
        // units) the amplitude over the positive side's yield displacement.
        const std::string levelAcross =
            l.drift ? "Drift" : l.mixedUnits ? "Amplitude / yield displacement" : withUnit("Amplitude", l.xUnit);
        auto levelChart = [&](std::optional<double> ComparisonEntry::Level::*value, const std::string &title,
                              const std::string &label, std::optional<double> limit) {
            return overlayChart(lines([&](const ComparisonEntry &e) {
                                    Points run;
                                    const double dy = e.figures.positive ? std::fabs(e.figures.positive->yieldDisp) : 0;
                                    for (const ComparisonEntry::Level &v : e.levels) {
                                        const double x = l.drift ? v.drift.value_or(double(NAN))
                                                         : l.mixedUnits ? (dy > 0 ? v.amplitude / dy : double(NAN))
                                                                        : v.amplitude;
                                        run.push_back({x, (v.*value).value_or(double(NAN))});
                                    }
                                    return std::vector<Points>{run};
                                }),
                                levelAcross, title, label, l.width, limit);
        };
        if (!l.mixedUnits)
            html += figure(levelChart(&ComparisonEntry::Level::energy,
                                      withUnit("Cumulative energy",
                                               comparedUnitText(ComparedUnit::Energy, l.xUnit, l.yUnit)),
                                      "Cumulative energy per level", std::nullopt),
                           "Cumulative energy at the end of each level");
        html += figure(levelChart(&ComparisonEntry::Level::damping, "Equivalent damping",
                                  "Equivalent damping per level", std::nullopt),
                       "Equivalent damping of each level's first cycle");
        html += figure(levelChart(&ComparisonEntry::Level::stiffnessRatio, "K / K0",
                                  "Secant stiffness per level over the first cycle's", 1.0),
                       "Secant stiffness of each level's first cycle over the first cycle's");
        html += figure(levelChart(&ComparisonEntry::Level::strengthLoss, "Strength loss",
                                  "Strength loss per level", std::nullopt),
                       "Strength loss within each level, (F1 \u2212 Flast) / F1, the mean of both sides");
        html += "</div>";
    }
    std::vector<ComparedRecord> figures;
    for (const ComparisonEntry &e : records)
        figures.push_back(e.figures);
    return html + groupTables(compareRecords(figures, referenceGroup));
}

} // namespace kov::report
