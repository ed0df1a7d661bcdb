// Metrics of an analysed record: the EEEP curve on hand-checkable
// envelopes, the per-cycle quantities and their null rules, and the
// envelope's choice of points.

#include "core/analysis/cycle.h"
#include "core/analysis/metrics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace kov;

namespace {

// ---- EEEP on envelopes given as points (positive values, (0, 0) first)

struct EeepCase {
    const char *name;
    std::vector<EnvelopePoint> points; // without (0, 0)
    float peakLoad, peakDisp;
    double elasticStiffness, yieldLoad, ultimateDisp;
    bool failureReached;
    double ductility;
};

void PrintTo(const EeepCase &k, std::ostream *os)
{
    *os << k.name;
}

class Eeep : public ::testing::TestWithParam<EeepCase> {};

TEST_P(Eeep, MatchesTheHandComputation)
{
    const EeepCase &k = GetParam();
    std::vector<EnvelopePoint> points{{0, 0}};
    points.insert(points.end(), k.points.begin(), k.points.end());
    const auto c = eeepCurve(points);
    ASSERT_TRUE(c);
    auto near = [](double got, double want) { EXPECT_NEAR(got, want, 1e-12 * std::fabs(want)) << want; };
    EXPECT_EQ(c->peakLoad, k.peakLoad);
    EXPECT_EQ(c->peakDisp, k.peakDisp);
    near(c->elasticStiffness, k.elasticStiffness);
    near(c->yieldLoad, k.yieldLoad);
    near(c->yieldDisp, k.yieldLoad / k.elasticStiffness);
    near(c->ultimateDisp, k.ultimateDisp);
    EXPECT_EQ(c->failureReached, k.failureReached);
    near(c->ductility, k.ductility);
}

// Fallen below 0.8 P_peak: 0.4 * 12 = 4.8 at X 0.48, K_e 10; the drop to 8
// crosses 9.6 at X 2.6; A = 5 + 11 + 0.6 * 21.6 / 2 = 22.48.
const double fallYield = (2.6 - std::sqrt(2.6 * 2.6 - 2 * 22.48 / 10)) * 10;
// Ties: the first of two peaks of 10 counts; 8 is crossed at X 1 + 2/3,
// A = 5 + (2/3) * 18 / 2 = 11.
const double tieUltimate = 1 + 2.0 / 3;
const double tieYield = (tieUltimate - std::sqrt(tieUltimate * tieUltimate - 2 * 11.0 / 10)) * 10;

INSTANTIATE_TEST_SUITE_P(Cases, Eeep, ::testing::Values(
    // Elastic-perfectly plastic: A = 5 + 10 + 10, root 9 - 5 = 4.
    EeepCase{"ElasticPerfectlyPlastic", {{1, 10}, {2, 10}, {3, 10}}, 10, 1, 10, 10, 3, false, 3},
    // Linear: A = 20 equals the elastic triangle, root 0, so mu = 1.
    EeepCase{"Linear", {{1, 10}, {2, 20}}, 20, 2, 10, 20, 2, false, 1},
    EeepCase{"FallsBelowEightyPercent", {{1, 10}, {2, 12}, {3, 8}}, 12, 2, 10, fallYield, 2.6, true,
             2.6 / (fallYield / 10)},
    // Stiffening: 0.4 * 10 = 4 at X 1.25, K_e 3.2; A = 7 > K_e * 2 * 2 / 2,
    // so no EEEP curve of equal area exists: P_yield = 0.85 * 10.
    EeepCase{"FallbackToEightyFivePercent", {{1, 2}, {2, 10}}, 10, 2, 3.2, 8.5, 2, false, 2 / (8.5 / 3.2)},
    EeepCase{"FirstOfTiedPeaks", {{1, 10}, {2, 7}, {3, 10}}, 10, 1, 10, tieYield, tieUltimate, true,
             tieUltimate / (tieYield / 10)}),
    [](const auto &c) { return std::string(c.param.name); });

TEST(EeepCurve, NeedsAPointBesidesTheOrigin)
{
    EXPECT_FALSE(eeepCurve(std::vector<EnvelopePoint>{}));
    EXPECT_FALSE(eeepCurve(std::vector<EnvelopePoint>{{0, 0}}));
}

// ---- Metrics of a state left by the cycle computation

struct CycleSteps {
    int end, peak1, peak2;
};

/// A state holding points as steps 1..n, whose cycles 1.. end at the given
/// steps with the given peaks, each computed as the cycle view computes it.
SharedState analysed(const std::vector<LoadPoint> &points, const std::vector<CycleSteps> &cycles, int start = 1)
{
    SharedState s;
    for (std::size_t i = 0; i < points.size(); ++i) {
        s.XData(static_cast<long long>(i) + 1) = points[i].x;
        s.YData(static_cast<long long>(i) + 1) = points[i].y;
    }
    s.RowCount = static_cast<float>(points.size());
    s.CycleEndStep(0) = static_cast<std::int16_t>(start);
    for (const CycleSteps &c : cycles) {
        ++s.CycleNo;
        s.CycleEndStep(s.CycleNo) = static_cast<std::int16_t>(c.end);
        s.PeakStep(0, s.CycleNo) = static_cast<std::int16_t>(c.peak1);
        s.PeakStep(1, s.CycleNo) = static_cast<std::int16_t>(c.peak2);
        runCycleComputation(s);
    }
    return s;
}

TEST(CycleMetrics, OneLoopWithItsResidualDisplacements)
{
    // Up to (2, 4), unloading through zero load between X 1.5 and 1, down to
    // (-2, -4), reloading through zero between X -1 and -0.5.
    const SharedState s = analysed(
        {{0, -1}, {1, 2}, {2, 4}, {1.5f, 1}, {1, -2}, {-2, -4}, {-1, -1}, {-0.5f, 2}}, {{8, 3, 6}});
    const RecordMetrics m = computeMetrics(s);
    ASSERT_EQ(m.cycles.size(), 1u);
    const CycleMetrics &c = m.cycles[0];
    EXPECT_EQ(c.startStep, 1);
    EXPECT_EQ(c.endStep, 8);
    EXPECT_EQ(c.peak1.x, 2.0f);
    EXPECT_EQ(c.peak2.y, -4.0f);
    EXPECT_EQ(c.energy, s.CycleEnergy(1));
    EXPECT_EQ(c.strainEnergy, 8.0f); // (-4)(-2)/2 + 2 * 4 / 2
    EXPECT_EQ(c.strainEnergy, s.CycleStrainEnergy(1));
    EXPECT_EQ(c.damping, s.ResultDamping(1));
    EXPECT_EQ(c.maxLoad, 4.0f); // steps 2..8: step 1's -1 is the start, not examined
    EXPECT_EQ(c.minLoad, -4.0f);
    EXPECT_EQ(c.secantStiffness, 2.0);
    EXPECT_EQ(c.residualPos, 1.5 + (1 - 1.5) * 1.0 / 3.0);
    EXPECT_EQ(c.residualNeg, -1 + (-0.5 - -1) * -1.0 / -3.0);
    EXPECT_EQ(m.meanDamping, static_cast<double>(c.damping));
}

TEST(CycleMetrics, ValuesThatDoNotExistAreNull)
{
    // Cycle 1 never unloads and has no second peak; cycle 2 ends where it
    // starts; cycle 3 has both peaks at the same X.
    const SharedState s = analysed({{1, 1}, {2, 2}, {3, 3}, {3, -1}}, {{3, 3, 0}, {3, 3, 3}, {4, 3, 4}});
    const RecordMetrics m = computeMetrics(s);
    ASSERT_EQ(m.cycles.size(), 3u);
    EXPECT_FALSE(m.cycles[0].secantStiffness);
    EXPECT_FALSE(m.cycles[0].residualPos);
    EXPECT_FALSE(m.cycles[0].residualNeg);
    EXPECT_TRUE(m.cycles[0].maxLoad);
    EXPECT_FALSE(m.cycles[1].maxLoad);
    EXPECT_FALSE(m.cycles[1].minLoad);
    EXPECT_FALSE(m.cycles[2].secantStiffness);
    EXPECT_EQ(m.cycles[2].residualPos, 3.0); // 3 + 0 * 3 / 4
    EXPECT_FALSE(m.negative.eeep);           // no cycle went to negative X
    EXPECT_EQ(m.negative.points.size(), 1u);
    EXPECT_EQ(m.negative.points[0].x, 0.0f);
}

// ---- Envelope points from the cycles' peaks

struct EnvelopeCase {
    const char *name;
    double tolerance;
    std::vector<LoadPoint> peaks; // peak 1 of each cycle; peak 2 is its mirror
    std::vector<float> expectedX; // envelope X after (0, 0)
};

void PrintTo(const EnvelopeCase &k, std::ostream *os)
{
    *os << k.name;
}

class Envelope : public ::testing::TestWithParam<EnvelopeCase> {};

TEST_P(Envelope, TakesTheFirstCycleOfEachNewLevel)
{
    const EnvelopeCase &k = GetParam();
    std::vector<LoadPoint> points;
    std::vector<CycleSteps> cycles;
    for (const LoadPoint &p : k.peaks) {
        points.push_back(p);
        points.push_back({-p.x, -p.y});
        const int step = static_cast<int>(points.size());
        cycles.push_back({step, step - 1, step});
    }
    const RecordMetrics m = computeMetrics(analysed(points, cycles, 0), k.tolerance);
    for (const auto *side : {&m.positive, &m.negative}) {
        const float sign = side == &m.positive ? 1.0f : -1.0f;
        std::vector<float> xs;
        for (std::size_t i = 1; i < side->points.size(); ++i)
            xs.push_back(sign * static_cast<float>(side->points[i].x));
        EXPECT_EQ(xs, k.expectedX);
        EXPECT_EQ(side->points[0].x, 0.0f);
    }
    // The negative side is the mirror of the positive one.
    ASSERT_EQ(m.positive.eeep.has_value(), m.negative.eeep.has_value());
    if (m.positive.eeep) {
        EXPECT_EQ(m.negative.eeep->peakLoad, -m.positive.eeep->peakLoad);
        EXPECT_EQ(m.negative.eeep->yieldDisp, -m.positive.eeep->yieldDisp);
        EXPECT_EQ(m.negative.eeep->ultimateDisp, -m.positive.eeep->ultimateDisp);
        EXPECT_EQ(m.negative.eeep->elasticStiffness, m.positive.eeep->elasticStiffness);
        EXPECT_EQ(m.negative.eeep->ductility, m.positive.eeep->ductility);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Envelope, ::testing::Values(
    EnvelopeCase{"RepeatedLevelsCountOnce", 0.05, {{1, 5}, {1, 4}, {2, 8}, {2, 7}, {3, 9}}, {1, 2, 3}},
    // 1.06 is not beyond 1.05 * 1.04: a peak that does not join still raises the reach.
    EnvelopeCase{"WithinTheToleranceIsTheSameLevel", 0.05, {{1, 5}, {1.04f, 6}, {1.06f, 7}, {1.12f, 8}}, {1, 1.12f}},
    EnvelopeCase{"ZeroToleranceTakesEveryGrowth", 0, {{1, 5}, {1.04f, 6}, {1.04f, 6}}, {1, 1.04f}},
    EnvelopeCase{"FullToleranceNeedsTwiceTheReach", 1, {{1, 5}, {2, 6}, {4.5f, 7}}, {1, 4.5f}},
    EnvelopeCase{"SmallerPeaksRaiseNothing", 0.05, {{2, 5}, {1, 9}, {2.05f, 6}}, {2}},
    // A peak with a load against its displacement does not join, but its X
    // still sets the reach.
    EnvelopeCase{"LoadAgainstDisplacementOnlyReaches", 0.05, {{2, -1}, {2.05f, 6}, {3, 7}}, {3}},
    EnvelopeCase{"NoPeakNoPoint", 0.05, {{0, 0}}, {}}),
    [](const auto &c) { return std::string(c.param.name); });


// A cycle whose peak loads (8, 12) and (-7, -11) come before its peak
// displacements (10, 9) and (-9, -8): each rule takes its own points, for
// the sides and for the average envelope.
struct EnvelopeRuleCase {
    EnvelopeRule rule;
    EnvelopePoint positive, negative;
};

class EnvelopeRules : public ::testing::TestWithParam<EnvelopeRuleCase> {};

TEST_P(EnvelopeRules, TakeTheirOwnPointOfAPrimaryCycle)
{
    const EnvelopeRuleCase &k = GetParam();
    MetricSettings settings;
    settings.envelope = k.rule;
    const RecordMetrics m = computeMetrics(
        analysed({{0, -1}, {8, 12}, {10, 9}, {0, -3}, {-7, -11}, {-9, -8}, {0, 1}}, {{7, 3, 6}}), settings);
    ASSERT_EQ(m.positive.points.size(), 2u);
    ASSERT_EQ(m.negative.points.size(), 2u);
    EXPECT_EQ(m.positive.points[1].x, k.positive.x);
    EXPECT_EQ(m.positive.points[1].y, k.positive.y);
    EXPECT_EQ(m.negative.points[1].x, k.negative.x);
    EXPECT_EQ(m.negative.points[1].y, k.negative.y);
    ASSERT_EQ(m.average.points.size(), 2u);
    EXPECT_EQ(m.average.points[1].x, (k.positive.x - k.negative.x) / 2.0);
    EXPECT_EQ(m.average.points[1].y, (k.positive.y - k.negative.y) / 2.0);
    EXPECT_EQ(m.positive.eeep->peakLoad, k.positive.y);
}

INSTANTIATE_TEST_SUITE_P(Cases, EnvelopeRules, ::testing::Values(
    EnvelopeRuleCase{EnvelopeRule::PeakLoad, {8, 12}, {-7, -11}},
    EnvelopeRuleCase{EnvelopeRule::PeakDisplacement, {10, 9}, {-9, -8}}));

// An open last cycle keeps its own values but takes no level, no beta and no
// part in the statistics of the cycles; its peak still joins the envelope.
TEST(CycleMetrics, AnOpenCycleTakesNoStatistic)
{
    const SharedState s = analysed({{0, -1}, {2, 4}, {-2, -4}, {0, 1}, {4, 6}, {-1, -2}},
                                   {{4, 2, 3}, {6, 5, 6}});
    const RecordMetrics m = computeMetrics(s, MetricSettings{}, {CourseCycle{}, CourseCycle{false, {}}});
    ASSERT_EQ(m.cycles.size(), 2u);
    EXPECT_TRUE(m.cycles[0].closed);
    EXPECT_FALSE(m.cycles[1].closed);
    EXPECT_EQ(m.meanDamping, static_cast<double>(m.cycles[0].damping));
    EXPECT_EQ(m.levels.size(), 1u);
    EXPECT_FALSE(m.cycles[1].level);
    EXPECT_EQ(m.cycles[1].role, CycleRole::None);
    EXPECT_FALSE(m.cycles[1].beta);
    EXPECT_EQ(m.cycles[1].totalEnergy, s.TotalEnergy(2));
    EXPECT_EQ(m.positive.points.back().x, 4.0); // the final push is an envelope point
}

// ---- Loading protocol, strength degradation, beta, drift, acceptance,
// average envelope and inelastic deformation on hand-checked records

/// One cycle as the path (0, 0) -> peak 1 (x1, y1) -> (r1, 0) -> peak 2
/// (x2, y2) -> (r2, 0) -> (0, 0). Its energy by the trapezoid rule is
/// r1 * y1 / 2 + (r2 - r1) * y2 / 2. noPeak2 sets peak step 2 to 0.
struct PathCycle {
    float x1, y1, r1, x2, y2, r2;
    bool noPeak2 = false;
};

using Value = std::optional<double> (*)(const RecordMetrics &);

struct ProtocolCase {
    const char *name;
    std::vector<PathCycle> cycles;
    MetricSettings settings;
    const char *roles; ///< per cycle: P primary, R repeat, T trailing, - none
    std::vector<std::pair<Value, std::optional<double>>> values;
};

void PrintTo(const ProtocolCase &k, std::ostream *os)
{
    *os << k.name;
}

class Protocol : public ::testing::TestWithParam<ProtocolCase> {};

TEST_P(Protocol, MatchesTheHandComputation)
{
    const ProtocolCase &k = GetParam();
    std::vector<LoadPoint> points{{0, 0}};
    std::vector<CycleSteps> steps;
    for (const PathCycle &c : k.cycles) {
        const int base = static_cast<int>(points.size());
        points.insert(points.end(), {{c.x1, c.y1}, {c.r1, 0}, {c.x2, c.y2}, {c.r2, 0}, {0, 0}});
        steps.push_back({base + 5, base + 1, c.noPeak2 ? 0 : base + 3});
    }
    const RecordMetrics m = computeMetrics(analysed(points, steps), k.settings);
    std::string roles;
    for (const CycleMetrics &c : m.cycles)
        roles += "-PRT"[static_cast<int>(c.role)];
    EXPECT_EQ(roles, k.roles);
    for (std::size_t i = 0; i < k.values.size(); ++i) {
        const auto got = k.values[i].first(m);
        const auto want = k.values[i].second;
        ASSERT_EQ(got.has_value(), want.has_value()) << "value " << i;
        if (want) {
            EXPECT_NEAR(*got, *want, 1e-12 * std::max(1.0, std::fabs(*want))) << "value " << i;
        }
    }
}

MetricSettings settings(double t, std::optional<double> h = {}, std::optional<double> yield = {})
{
    MetricSettings s;
    s.levelTolerance = t;
    s.height = h;
    s.yieldDisp = yield;
    return s;
}

std::optional<double> flag(const std::optional<bool> &b)
{
    return b ? std::optional(*b ? 1.0 : 0.0) : std::nullopt;
}

// Three cycles at amplitude 1 (loads 10) and three at 2 with loads falling
// 20, 17, 16 on both sides: r = +-0.5 and +-1.
const std::vector<PathCycle> threePerLevel = {
    {1, 10, 0.5f, -1, -10, -0.5f}, {1, 10, 0.5f, -1, -10, -0.5f}, {1, 10, 0.5f, -1, -10, -0.5f},
    {2, 20, 1, -2, -20, -1},       {2, 17, 1, -2, -17, -1},       {2, 16, 1, -2, -16, -1}};

INSTANTIATE_TEST_SUITE_P(Cases, Protocol, ::testing::Values(
    // CUREE-like: amplitudes 1, 1 | 2, 1.5, 1.5 | 3, 2.25, 2.25. 1.5 < 0.95 * 2
    // is trailing; 3 > 1.05 * 2 starts level 3. Ratios 2 / 1 and 3 / 2. H = 50:
    // level 2's drift 2 / 50 = 0.04 reaches 0.035 first, but it has one
    // repeat, so acceptance is not reached there.
    ProtocolCase{"CureeLikeWithTrailingCycles",
                 {{1, 5, 0.5f, -1, -5, -0.5f}, {1, 5, 0.5f, -1, -5, -0.5f}, {2, 8, 1, -2, -8, -1},
                  {1.5f, 7, 1, -1.5f, -7, -1}, {1.5f, 7, 1, -1.5f, -7, -1}, {3, 9, 2, -3, -9, -2},
                  {2.25f, 8, 1, -2.25f, -8, -1}, {2.25f, 8, 1, -2.25f, -8, -1}},
                 settings(0.05, 50), "PRPTTPTT",
                 {{[](const RecordMetrics &m) { return std::optional<double>(m.levels.size()); }, 3},
                  {[](const RecordMetrics &m) { return std::optional<double>(m.levels[1].trailing); }, 2},
                  {[](const RecordMetrics &m) { return std::optional<double>(m.levels[0].repeats); }, 2},
                  {[](const RecordMetrics &m) { return m.levels[0].ratio; }, std::nullopt},
                  {[](const RecordMetrics &m) { return m.levels[2].ratio; }, 1.5},
                  {[](const RecordMetrics &m) { return m.levels[2].drift; }, 0.06},
                  {[](const RecordMetrics &m) { return m.cycles[3].driftNeg; }, -0.03},
                  {[](const RecordMetrics &m) { return std::optional<double>(*m.acceptance->level); }, 2},
                  {[](const RecordMetrics &m) { return flag(m.acceptance->pass); }, std::nullopt},
                  // Level 1's two repeats: loss (5 - 5) / 5.
                  {[](const RecordMetrics &m) { return m.levels[0].lossPos; }, 0},
                  {[](const RecordMetrics &m) { return m.levels[0].loss3Pos; }, std::nullopt}}},
    // Levels of three: loss (20 - 16) / 20 = 0.2 on both sides (the negative
    // loads give (-20 + 16) / -20). Acceptance at cycle 6 (2 / 50 >= 0.035):
    // 16 >= 0.75 * 20 and -16 <= -15; K+ = K- = 10 (cycle 1), width
    // (2 - 1.6) - (-2 + 1.6) = 0.8, beta = (16 / 2 + 2 * 16 / 2) / (32 * 0.8)
    // = 0.9375; from peak 1 to peak 2 the path runs (2, 16) (1, 0) (-2, -16),
    // Y(+0.2) = -16 * 0.8 / 3, Y(-0.2) = -16 * 1.2 / 3, (Y+ - Y-) / 0.4 = 16 / 3
    // >= 0.05 * 10. Cycles 1 and 4 are elastic (width 0): no beta; cycle 5:
    // width 0.3 + 0.3, beta = (17 / 2 + 17) / (34 * 0.6) = 1.25. D = 0.5:
    // (2 * 0.5 + 2 * 0.5) / 0.5 = 4 at amplitude 1, 12 at 2.
    ProtocolCase{"ThreeCyclesPerLevelWithStrengthLoss", threePerLevel, settings(0.05, 50, 0.5), "PRRPRR",
                 {{[](const RecordMetrics &m) { return m.levels[1].lossPos; }, 0.2},
                  {[](const RecordMetrics &m) { return m.levels[1].lossNeg; }, 0.2},
                  {[](const RecordMetrics &m) { return m.levels[1].loss3Neg; }, 0.2},
                  {[](const RecordMetrics &m) { return m.levels[0].loss3Pos; }, 0},
                  {[](const RecordMetrics &m) { return m.cycles[0].beta; }, std::nullopt},
                  {[](const RecordMetrics &m) { return m.cycles[5].beta; }, 0.9375},
                  {[](const RecordMetrics &m) { return m.cycles[3].beta; }, std::nullopt},
                  {[](const RecordMetrics &m) { return m.cycles[4].beta; }, 1.25},
                  {[](const RecordMetrics &m) { return m.betaMin; }, 0.9375},
                  {[](const RecordMetrics &m) { return std::optional<double>(*m.acceptance->cycle); }, 6},
                  {[](const RecordMetrics &m) { return m.acceptance->strengthPos.limit; }, 15},
                  {[](const RecordMetrics &m) { return m.acceptance->strengthNeg.value; }, -16},
                  {[](const RecordMetrics &m) { return m.acceptance->stiffness.value; }, 16.0 / 3},
                  {[](const RecordMetrics &m) { return m.acceptance->stiffness.limit; }, 0.5},
                  {[](const RecordMetrics &m) { return flag(m.acceptance->pass); }, 1},
                  {[](const RecordMetrics &m) { return m.cycles[0].inelasticDeformation; }, 4},
                  {[](const RecordMetrics &m) { return m.cycles[5].cumulativeInelasticDeformation; }, 48}}},
    // The same record with H = 100: level 2's drift 2 / 100 = 0.02 never
    // reaches 0.035; the limits are still those of the record.
    ProtocolCase{"NeverReachesTheAcceptanceDrift", threePerLevel, settings(0.05, 100), "PRRPRR",
                 {{[](const RecordMetrics &m) { return std::optional<double>(m.acceptance->level.has_value()); }, 0},
                  {[](const RecordMetrics &m) { return flag(m.acceptance->pass); }, std::nullopt},
                  {[](const RecordMetrics &m) { return m.acceptance->strengthPos.limit; }, 15},
                  {[](const RecordMetrics &m) { return m.levels[1].drift; }, 0.02},
                  {[](const RecordMetrics &m) { return m.cycles[0].inelasticDeformation; }, std::nullopt}}},
    // Asymmetric: K+ = 8 / 1, K- = -3 / -0.5 = 6 (cycle 1). Cycle 2: width
    // (2 - 1.5) - (-1 + 5 / 6) = 2 / 3, energy 1 * 12 / 2 + (-0.5 - 1) * -5 / 2
    // = 9.75, beta = 9.75 / (17 * 2 / 3) = 29.25 / 34. Average envelope:
    // ((1 + 0.5) / 2, (8 + 3) / 2) = (0.75, 5.5), then (1.5, 8.5).
    ProtocolCase{"AsymmetricLoop", {{1, 8, 0.5f, -0.5f, -3, -0.25f}, {2, 12, 1, -1, -5, -0.5f}}, settings(0.05), "PP",
                 {{[](const RecordMetrics &m) { return m.cycles[1].beta; }, 29.25 / 34},
                  {[](const RecordMetrics &m) { return std::optional(m.average.points[1].x); }, 0.75},
                  {[](const RecordMetrics &m) { return std::optional(m.average.points[2].y); }, 8.5},
                  {[](const RecordMetrics &m) { return flag(m.average.eeep->yieldFallback); }, 0},
                  {[](const RecordMetrics &m) { return m.levels[1].amplitude == 2 ? m.levels[1].ratio : std::nullopt; }, 2},
                  {[](const RecordMetrics &m) { return m.cycles[1].driftPos; }, std::nullopt}}},
    // No second peak: amplitudes are X(p1) alone, 1, 1, 2; no K-, so no
    // beta; no average point; x_neg none; D = 0.5: 2 * (2 - 0.5) / 0.5 = 6.
    ProtocolCase{"ASideWithoutPeaks",
                 {{1, 5, 0.5f, 0, 0, 0, true}, {1, 5, 0.5f, 0, 0, 0, true}, {2, 8, 1, 0, 0, 0, true}},
                 settings(0.05, {}, 0.5), "PRP",
                 {{[](const RecordMetrics &m) { return m.cycles[2].beta; }, std::nullopt},
                  {[](const RecordMetrics &m) { return std::optional<double>(m.average.points.size()); }, 1},
                  {[](const RecordMetrics &m) { return std::optional<double>(m.average.eeep.has_value()); }, 0},
                  {[](const RecordMetrics &m) { return m.levels[1].xNeg ? std::optional(1.0) : std::nullopt; }, std::nullopt},
                  {[](const RecordMetrics &m) { return m.cycles[2].inelasticDeformation; }, 6},
                  {[](const RecordMetrics &m) { return m.cycles[2].cumulativeInelasticDeformation; }, 10}}}),
    [](const auto &c) { return std::string(c.param.name); });

} // namespace
