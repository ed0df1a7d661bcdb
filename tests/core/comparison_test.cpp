#include "core/output/comparison.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>

using namespace kov;

namespace {

/// A record whose positive envelope is (0, 0), (d1, p), (d2, p). Its EEEP
/// curve follows by hand: P_peak = p at d1 (the first on ties),
/// Delta_0.4 = 0.4 d1, K_e = p / d1, Delta_u = d2 (no fall below 0.8 p),
/// A = d1 p / 2 + (d2 - d1) p, so Delta_u^2 - 2 A / K_e = (d2 - d1)^2 and
/// P_yield = p, Delta_yield = d1, mu = d2 / d1.
ComparedRecord specimen(const std::string &group, double d1, double p, double d2, const std::string &xUnit = "mm")
{
    const std::vector<EnvelopePoint> points = {{0, 0}, {d1, p}, {d2, p}};
    ComparedRecord r;
    r.label = group + std::to_string(p);
    r.group = group;
    r.xUnit = xUnit;
    r.yUnit = "kN";
    r.positive = eeepCurve(points);
    return r;
}

std::size_t quantity(const std::string &name)
{
    const auto &q = comparedQuantities();
    for (std::size_t i = 0; i < q.size(); ++i)
        if (name == q[i].name)
            return i;
    ADD_FAILURE() << name;
    return 0;
}

std::vector<std::vector<std::string>> csvCells(const std::string &text)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        EXPECT_EQ(line.back(), '\r');
        line.pop_back();
        rows.emplace_back();
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');)
            rows.back().push_back(cell);
    }
    return rows;
}

} // namespace

TEST(Comparison, GroupStatisticsAndRatiosToTheReference)
{
    // ref: (d1, p, d2) = (1, 10, 4), (2, 12, 6), (1, 14, 5):
    //   peak load 10, 12, 14: mean 12, median 12, s = sqrt((4 + 0 + 4) / 2) = 2, CV 1/6;
    //   K_e 10, 6, 14: mean 10, median 10, s = sqrt((0 + 16 + 16) / 2) = 4, CV 0.4;
    //   mu 4, 3, 5: mean 4, median 4, CV 0.25; peak displacement 1, 2, 1: median 1.
    // var: (1, 15, 4), (1, 18, 6) and a failed record:
    //   peak load median 16.5 (ratio 16.5 / 12 = 1.375), K_e median 16.5
    //   (1.65), mu 4 and 6: median 5 (1.25), peak displacement 1 (1).
    ComparedRecord failed;
    failed.group = "var";
    failed.failed = true;
    const Comparison c = compareRecords({specimen("ref", 1, 10, 4), specimen("var", 1, 15, 4), failed,
                                         specimen("ref", 2, 12, 6), specimen("ref", 1, 14, 5),
                                         specimen("var", 1, 18, 6)},
                                        "ref");
    ASSERT_EQ(c.groups.size(), 2u);
    const GroupStatistics &ref = c.groups[0], &var = c.groups[1];
    EXPECT_EQ(ref.name, "ref");
    EXPECT_EQ(ref.records, 3);
    EXPECT_EQ(var.records, 3);
    EXPECT_EQ(var.failed, 1);
    const struct {
        const char *name;
        double mean, median, cv;
    } refRows[] = {{"peak_load_pos", 12, 12, 1.0 / 6}, {"elastic_stiffness_pos", 10, 10, 0.4},
                   {"ductility_pos", 4, 4, 0.25}, {"yield_load_pos", 12, 12, 1.0 / 6},
                   {"peak_disp_pos", 4.0 / 3, 1, std::sqrt(1.0 / 3) / (4.0 / 3)}};
    for (const auto &row : refRows) {
        const QuantityStatistics &s = ref.quantities[quantity(row.name)];
        EXPECT_EQ(s.count, 3) << row.name;
        EXPECT_NEAR(*s.mean, row.mean, 1e-12) << row.name;
        EXPECT_NEAR(*s.median, row.median, 1e-12) << row.name;
        EXPECT_NEAR(*s.cv, row.cv, 1e-12) << row.name;
        EXPECT_FALSE(s.ratio) << row.name;
    }
    const std::pair<const char *, double> ratios[] = {
        {"peak_load_pos", 1.375}, {"elastic_stiffness_pos", 1.65}, {"ductility_pos", 1.25}, {"peak_disp_pos", 1.0}};
    for (const auto &[name, ratio] : ratios)
        EXPECT_NEAR(*var.quantities[quantity(name)].ratio, ratio, 1e-12) << name;
    EXPECT_EQ(var.quantities[quantity("peak_load_neg")].count, 0);
    EXPECT_FALSE(var.quantities[quantity("peak_load_neg")].median);

    const auto rows = csvCells(comparisonCsv(c));
    ASSERT_EQ(rows.size(), 3u);
    const auto &head = rows[0];
    const auto column = [&](const std::string &name) {
        const auto at = std::find(head.begin(), head.end(), name);
        EXPECT_NE(at, head.end()) << name;
        return static_cast<std::size_t>(at - head.begin());
    };
    EXPECT_EQ(rows[2][column("group")], "var");
    EXPECT_EQ(rows[2][column("failed")], "1");
    EXPECT_EQ(rows[2][column("peak_load_pos_median (kN)")], "16.5");
    EXPECT_EQ(rows[2][column("elastic_stiffness_pos_mean (kN/mm)")], "16.5");
    EXPECT_EQ(rows[2][column("ductility_pos_ratio")], "1.25");
    EXPECT_EQ(rows[1][column("ductility_pos_cv")], "0.25");
}

TEST(Comparison, RecordsInOtherUnitsShareOnlyTheRatiosWithoutUnit)
{
    // One group in mm and m: its loads and displacements have no statistics,
    // its ductility does; a group in other units than the reference has no
    // ratio of a quantity with a unit.
    const Comparison c = compareRecords(
        {specimen("a", 1, 10, 4), specimen("a", 0.001, 10, 0.005, "m"), specimen("b", 1, 10, 4, "in")}, "b");
    EXPECT_TRUE(c.mixedUnits);
    EXPECT_TRUE(c.groups[0].mixedUnits);
    EXPECT_EQ(c.groups[0].quantities[quantity("peak_load_pos")].count, 0);
    EXPECT_NEAR(*c.groups[0].quantities[quantity("ductility_pos")].median, 4.5, 1e-12);
    EXPECT_NEAR(*c.groups[0].quantities[quantity("ductility_pos")].ratio, 1.125, 1e-12);
    const auto head = csvCells(comparisonCsv(c))[0];
    EXPECT_NE(std::find(head.begin(), head.end(), "peak_load_pos_median"), head.end());
}
