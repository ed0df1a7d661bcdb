#include "core/output/comparison.h"

#include "core/output/metricsexport.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace kov {

namespace {

template <double EeepCurve::*Member>
std::optional<double> positiveSide(const ComparedRecord &r)
{
    return r.positive ? std::optional<double>((*r.positive).*Member) : std::nullopt;
}

template <double EeepCurve::*Member>
std::optional<double> negativeSide(const ComparedRecord &r)
{
    return r.negative ? std::optional<double>((*r.negative).*Member) : std::nullopt;
}

QuantityStatistics statistics(std::vector<double> values)
{
    QuantityStatistics s;
    s.count = static_cast<int>(values.size());
    if (values.empty())
        return s;
    double sum = 0.0;
    for (const double v : values)
        sum += v;
    const double mean = sum / static_cast<double>(values.size());
    s.mean = mean;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
    if (n >= 2 && mean != 0.0) {
        double squares = 0.0;
        for (const double v : values)
            squares += (v - mean) * (v - mean);
        s.cv = std::sqrt(squares / static_cast<double>(n - 1)) / std::fabs(mean);
    }
    return s;
}

} // namespace

ComparedRecord comparedRecord(const std::string &label, const std::string &group, const RecordMetrics &metrics,
                              const std::string &xUnit, const std::string &yUnit)
{
    ComparedRecord r{label, group, false, xUnit, yUnit, metrics.positive.eeep, metrics.negative.eeep, {}, metrics.betaMin};
    for (const CycleMetrics &c : metrics.cycles)
        if (c.closed)
            r.closedEnergy = r.closedEnergy.value_or(0.0) + double(c.energy);
    return r;
}

const std::vector<ComparedQuantity> &comparedQuantities()
{
    static const std::vector<ComparedQuantity> quantities = {
        {"peak_load_pos", "Peak load +", ComparedUnit::Y, positiveSide<&EeepCurve::peakLoad>},
        {"peak_disp_pos", "Displacement at peak load +", ComparedUnit::X, positiveSide<&EeepCurve::peakDisp>},
        {"elastic_stiffness_pos", "Elastic stiffness +", ComparedUnit::Stiffness,
         positiveSide<&EeepCurve::elasticStiffness>},
        {"yield_load_pos", "Yield load +", ComparedUnit::Y, positiveSide<&EeepCurve::yieldLoad>},
        {"yield_disp_pos", "Yield displacement +", ComparedUnit::X, positiveSide<&EeepCurve::yieldDisp>},
        {"ultimate_disp_pos", "Ultimate displacement +", ComparedUnit::X, positiveSide<&EeepCurve::ultimateDisp>},
        {"ductility_pos", "Ductility +", ComparedUnit::None, positiveSide<&EeepCurve::ductility>},
        {"peak_load_neg", "Peak load \u2212", ComparedUnit::Y, negativeSide<&EeepCurve::peakLoad>},
        {"peak_disp_neg", "Displacement at peak load \u2212", ComparedUnit::X, negativeSide<&EeepCurve::peakDisp>},
        {"elastic_stiffness_neg", "Elastic stiffness \u2212", ComparedUnit::Stiffness,
         negativeSide<&EeepCurve::elasticStiffness>},
        {"yield_load_neg", "Yield load \u2212", ComparedUnit::Y, negativeSide<&EeepCurve::yieldLoad>},
        {"yield_disp_neg", "Yield displacement \u2212", ComparedUnit::X, negativeSide<&EeepCurve::yieldDisp>},
        {"ultimate_disp_neg", "Ultimate displacement \u2212", ComparedUnit::X, negativeSide<&EeepCurve::ultimateDisp>},
        {"ductility_neg", "Ductility \u2212", ComparedUnit::None, negativeSide<&EeepCurve::ductility>},
        {"closed_energy", "Energy of the closed cycles", ComparedUnit::Energy,
         [](const ComparedRecord &r) { return r.closedEnergy; }},
        {"beta_min", "\u03b2 min", ComparedUnit::None, [](const ComparedRecord &r) { return r.betaMin; }},
    };
    return quantities;
}

Comparison compareRecords(const std::vector<ComparedRecord> &records, const std::string &referenceGroup)
{
    Comparison c;
    c.referenceGroup = referenceGroup;
    std::map<std::string, std::size_t> index;
    std::vector<std::vector<const ComparedRecord *>> members;
    std::optional<std::pair<std::string, std::string>> callUnits;
    for (const ComparedRecord &r : records) {
        const auto [it, isNew] = index.emplace(r.group, c.groups.size());
        if (isNew) {
            c.groups.push_back({});
            c.groups.back().name = r.group;
            members.emplace_back();
        }
        GroupStatistics &g = c.groups[it->second];
        ++g.records;
        if (r.failed) {
            ++g.failed;
            continue;
        }
        const std::pair units{r.xUnit, r.yUnit};
        if (!members[it->second].empty() && units != std::pair{g.xUnit, g.yUnit})
            g.mixedUnits = true;
        g.xUnit = r.xUnit;
        g.yUnit = r.yUnit;
        c.mixedUnits = c.mixedUnits || (callUnits && *callUnits != units);
        callUnits = units;
        members[it->second].push_back(&r);
    }
    const auto &quantities = comparedQuantities();
    for (std::size_t k = 0; k < c.groups.size(); ++k) {
        GroupStatistics &g = c.groups[k];
        if (g.mixedUnits)
            g.xUnit = g.yUnit = "";
        for (const ComparedQuantity &q : quantities) {
            std::vector<double> values;
            // Values in different units cannot be put together.
            if (!(g.mixedUnits && q.unit != ComparedUnit::None))
                for (const ComparedRecord *r : members[k])
                    if (const auto v = q.value(*r); v && std::isfinite(*v))
                        values.push_back(*v);
            g.quantities.push_back(statistics(std::move(values)));
        }
    }
    const auto reference = index.find(referenceGroup);
    if (referenceGroup.empty() || reference == index.end())
        return c;
    const GroupStatistics &ref = c.groups[reference->second];
    for (GroupStatistics &g : c.groups) {
        if (&g == &ref)
            continue;
        const bool sameUnits = !g.mixedUnits && !ref.mixedUnits && g.xUnit == ref.xUnit && g.yUnit == ref.yUnit;
        for (std::size_t q = 0; q < quantities.size(); ++q) {
            const auto &m = g.quantities[q].median;
            const auto &r = ref.quantities[q].median;
            if (m && r && *r != 0.0 && (sameUnits || quantities[q].unit == ComparedUnit::None))
                g.quantities[q].ratio = *m / *r;
        }
    }
    return c;
}

std::string comparedUnitText(ComparedUnit unit, const std::string &xUnit, const std::string &yUnit)
{
    switch (unit) {
    case ComparedUnit::None: return "";
    case ComparedUnit::X: return xUnit;
    case ComparedUnit::Y: return yUnit;
    case ComparedUnit::Stiffness: return columnUnitText(ColumnUnit::Stiffness, xUnit, yUnit);
    case ComparedUnit::Energy: return columnUnitText(ColumnUnit::Energy, xUnit, yUnit);
    }
    return "";
}

std::string comparisonCsv(const Comparison &comparison)
{
    // The units go into the heads only when every group has the same.
    bool shared = !comparison.mixedUnits;
    std::string xUnit, yUnit;
    for (const GroupStatistics &g : comparison.groups)
        if (g.records > g.failed) {
            xUnit = g.xUnit;
            yUnit = g.yUnit;
        }
    std::vector<std::string> head = {"group", "records", "failed", "x_unit", "y_unit"};
    for (const ComparedQuantity &q : comparedQuantities()) {
        const std::string unit = shared ? comparedUnitText(q.unit, xUnit, yUnit) : "";
        const std::string suffix = unit.empty() ? "" : " (" + unit + ")";
        const std::string name = q.name;
        head.insert(head.end(), {name + "_count", name + "_mean" + suffix, name + "_median" + suffix, name + "_cv",
                                 name + "_ratio"});
    }
    head.push_back("version");
    std::string text = csvRow(head);
    for (const GroupStatistics &g : comparison.groups) {
        std::vector<std::string> row = {g.name, std::to_string(g.records), std::to_string(g.failed), g.xUnit, g.yUnit};
        for (const QuantityStatistics &s : g.quantities)
            row.insert(row.end(), {std::to_string(s.count), csvValue(s.mean), csvValue(s.median), csvValue(s.cv),
                                   csvValue(s.ratio)});
        row.push_back(KOV_VERSION);
        text += csvRow(row);
    }
    return text;
}

} // namespace kov
