#pragma once

#include "core/analysis/course.h"
#include "core/state/sharedstate.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kov {

// Quantities beyond energy and damping, computed from the state that the
// automatic course leaves: per-cycle stiffness, strength and residual
// displacement, and for each side of the loop the envelope curve with its
// equivalent energy elastic-plastic (EEEP) curve and ductility.
//
// Every value is either a float of the state (a stored X, Y or result) or a
// double derived from such floats, computed in double in the grouping its
// comment gives. std::nullopt stands for a value that does not exist.

/// The level tolerance of the envelope and the loading protocol when none
/// is given.
inline constexpr double DefaultLevelTolerance = 0.05;

/// The drift at which acceptance is judged when none is given.
inline constexpr double DefaultAcceptanceDrift = 0.035;

/// Which point of a primary cycle an envelope takes.
enum class EnvelopeRule {
    /// ASTM E2126: the cycle's peak load and the displacement at it.
    PeakLoad,
    /// The load at the cycle's peak displacement (its peak step).
    PeakDisplacement,
};

/// "peak-load", "peak-displacement".
const char *envelopeRuleName(EnvelopeRule rule);

/// What the metrics depend on besides the state.
struct MetricSettings {
    EnvelopeRule envelope = EnvelopeRule::PeakLoad;
    /// t: how far a peak must go beyond the farthest before it to start a
    /// new level, 0..1.
    double levelTolerance = DefaultLevelTolerance;
    /// H, the lever arm or story height (X units, positive): drift = X / H.
    /// Without it there is no drift and no acceptance.
    std::optional<double> height;
    /// The drift at which acceptance is judged (positive).
    double acceptanceDrift = DefaultAcceptanceDrift;
    /// D, the yield displacement (X units, positive) of the cumulative
    /// inelastic deformation; without it there is none.
    std::optional<double> yieldDisp;
};

/// A point (X, Y) of the record, as stored.
struct LoadPoint {
    float x = 0.0f;
    float y = 0.0f;
};

/// A point of an envelope: stored values for the positive and negative
/// sides, derived ones for the average envelope.
struct EnvelopePoint {
    double x = 0.0;
    double y = 0.0;
};

/// A peak step of a cycle and its stored point (step 0 is the point (0, 0)).
struct CyclePeak {
    int step = 0;
    float x = 0.0f;
    float y = 0.0f;
};

/// The part a cycle plays in its level.
enum class CycleRole { None, Primary, Repeat, Trailing };

/// "primary", "repeat", "trailing"; nullptr for None.
const char *roleName(CycleRole role);

/// One analysed cycle n, running from step s = CycleEndStep(n-1) to
/// e = CycleEndStep(n) with peak steps p1 and p2.
struct CycleMetrics {
    int cycle = 0;
    int startStep = 0; ///< s
    int endStep = 0;   ///< e
    CyclePeak peak1;
    CyclePeak peak2;
    float energy = 0.0f;       ///< CycleEnergy(n)
    float totalEnergy = 0.0f;  ///< TotalEnergy(n)
    float strainEnergy = 0.0f; ///< CycleStrainEnergy(n)
    float damping = 0.0f;      ///< ResultDamping(n)
    /// Largest and smallest Y over steps s+1..e; none when e <= s.
    std::optional<float> maxLoad;
    std::optional<float> minLoad;
    /// The steps of maxLoad and minLoad (the first of equal loads) and their
    /// points, where maxLoad > 0 and minLoad < 0: a primary cycle's envelope
    /// points under EnvelopeRule::PeakLoad.
    std::optional<CyclePeak> peakLoadPos;
    std::optional<CyclePeak> peakLoadNeg;
    /// (Y(p1) - Y(p2)) / (X(p1) - X(p2)); none when a peak step is 0 or
    /// both peaks have the same X.
    std::optional<double> secantStiffness;
    /// X at zero load on unloading from the positive peak: the first step k
    /// in max(s, p1)+1..e with Y(k-1) > 0 >= Y(k), linearly interpolated
    /// X(k-1) + (X(k) - X(k-1)) * Y(k-1) / (Y(k-1) - Y(k)).
    std::optional<double> residualPos;
    /// The same from the negative peak: k in max(s, p2)+1..e with
    /// Y(k-1) < 0 <= Y(k).
    std::optional<double> residualNeg;

    /// Loading protocol. amplitude a_n = max(X(p1), -X(p2)) over the peaks
    /// whose step is not 0 (a stored X or its negation); 0 when neither is.
    float amplitude = 0.0f;
    /// The level the cycle belongs to (1..), none before the first level.
    std::optional<int> level;
    CycleRole role = CycleRole::None;
    /// Relative energy dissipation ratio: the energy over the parallelogram
    /// through both peaks with the initial stiffnesses K+ and K-;
    /// E / ((Y(p1) - Y(p2)) * ((X(p1) - Y(p1) / K+) - (X(p2) - Y(p2) / K-))).
    /// None for a missing peak, without K+ and K-, for an elastic cycle (the
    /// parallelogram's width at zero load below 0.1 * (X(p1) - X(p2))), and
    /// where the width or the quotient is not finite.
    std::optional<double> beta;
    /// X(p1) / H and X(p2) / H; none without H or for a missing peak.
    std::optional<double> driftPos;
    std::optional<double> driftNeg;
    /// (2 max(0, X(p1) - D) + 2 max(0, -X(p2) - D)) / D, a missing peak's
    /// term 0, and its running sum over the cycles; none without D.
    std::optional<double> inelasticDeformation;
    std::optional<double> cumulativeInelasticDeformation;

    /// The cycle ended at an upward zero crossing of the load; false for one
    /// that ended at the last data row without one (the open tail of a
    /// record). An open cycle's energy counts in the total and its peaks
    /// may join the envelope, but it takes no level or role, has no beta,
    /// and no statistic of the cycles (mean damping, beta_min, initial
    /// stiffness, acceptance) or chart scale takes it.
    bool closed = true;
    /// The steps a correction changed ("end_step", "peak1_step", "peak2_step").
    std::vector<std::string> corrected;
};

/// A displacement level of the loading protocol: its first cycle and every
/// later one up to the next level's first.
struct LoadLevel {
    int level = 0;
    int firstCycle = 0;
    float amplitude = 0.0f;       ///< A, the first cycle's amplitude
    std::optional<float> xPos;    ///< the first cycle's X(p1); none without peak 1
    std::optional<float> xNeg;    ///< its X(p2); none without peak 2
    int cycles = 0;
    int repeats = 0;              ///< the primary and the repeats
    int trailing = 0;
    std::optional<double> ratio;  ///< A / A of the previous level; none for level 1
    std::optional<double> drift;  ///< A / H; none without H
    /// max_load and min_load of each repeat, the primary first.
    std::vector<std::optional<float>> strengthPos;
    std::vector<std::optional<float>> strengthNeg;
    /// (F_1 - F_last) / F_1 and (F_1 - F_3) / F_1 on each side; none when F_1
    /// is 0 or a load is missing, and loss3 with fewer than three repeats.
    std::optional<double> lossPos;
    std::optional<double> lossNeg;
    std::optional<double> loss3Pos;
    std::optional<double> loss3Neg;
};

/// One check of the acceptance: value against limit.
struct AcceptanceCheck {
    std::optional<double> value;
    std::optional<double> limit;
    std::optional<bool> pass; ///< none when the value or the limit does not exist
};

/// Acceptance at the third repeat of the first level whose A / H reaches
/// the acceptance drift.
struct Acceptance {
    double driftLimit = DefaultAcceptanceDrift;
    std::optional<int> level;  ///< none when no level reaches the drift
    std::optional<int> cycle;  ///< none when that level has fewer than three repeats
    AcceptanceCheck strengthPos; ///< max_load >= 0.75 * the largest max_load
    AcceptanceCheck strengthNeg; ///< min_load <= 0.75 * the smallest min_load
    AcceptanceCheck beta;        ///< beta >= 1/8
    AcceptanceCheck stiffness;   ///< secant stiffness at +-A/10 >= 0.05 * K+
    std::optional<bool> pass;    ///< all four pass; none when not reached
};

/// The EEEP curve of one side of the envelope, after ASTM E2126. On the
/// negative side loads and displacements carry their (negative) sign;
/// stiffness and ductility are positive.
struct EeepCurve {
    double peakLoad = 0.0;  ///< P_peak, the largest envelope load (the first on ties)
    double peakDisp = 0.0;  ///< its displacement
    double elasticStiffness = 0.0; ///< K_e = 0.4 P_peak / Delta_0.4
    double yieldLoad = 0.0;        ///< P_yield
    double yieldDisp = 0.0;        ///< Delta_yield = P_yield / K_e
    double ultimateDisp = 0.0;     ///< Delta_u
    bool failureReached = false;   ///< the envelope fell below 0.8 P_peak after the peak
    double ductility = 0.0;        ///< mu = Delta_u / Delta_yield
    bool yieldFallback = false;    ///< no curve of equal area: P_yield = 0.85 P_peak
};

/// One side of the envelope: its points, (0, 0) first, and the EEEP curve
/// when it has at least one point besides (0, 0).
struct EnvelopeSide {
    std::vector<EnvelopePoint> points;
    std::optional<EeepCurve> eeep;
    /// The points and the peak are stored floats (the positive and negative
    /// sides), not derived values (the average envelope).
    bool storedValues = true;
};

/// Everything computed for one analysed record.
struct RecordMetrics {
    MetricSettings settings;
    std::vector<CycleMetrics> cycles; ///< cycles 1..CycleNo
    std::vector<LoadLevel> levels;
    EnvelopeSide positive;
    EnvelopeSide negative;
    /// One point per level from its first cycle, ((x+ - x-) / 2,
    /// (y+ - y-) / 2) of its two envelope points by the envelope rule (its
    /// peaks with PeakDisplacement), none when that cycle lacks one.
    EnvelopeSide average;
    /// K+ = Y(p1) / X(p1) and K- = Y(p2) / X(p2) of the first closed cycle
    /// whose peaks both exist with X != 0.
    std::optional<double> initialStiffnessPos;
    std::optional<double> initialStiffnessNeg;
    /// The smallest beta of the closed cycles; none when no cycle has one.
    std::optional<double> betaMin;
    /// None without H.
    std::optional<Acceptance> acceptance;
    /// The mean of ResultDamping over the closed cycles (sum in cycle
    /// order, then divided by their number); none without closed cycles.
    std::optional<double> meanDamping;
};

/// Computes the metrics of the cycles 1..CycleNo the state holds; course
/// tells which are closed and corrected (a cycle it does not cover is
/// closed).
///
/// The envelope takes, on each side separately, the first cycle at each new
/// displacement level: with reach starting at 0, the positive side visits
/// the cycles in order and, for each with p1 != 0, takes it when X(p1) > 0,
/// Y(p1) > 0 and X(p1) > (1 + t) * reach, then sets reach = max(reach,
/// X(p1)). The negative side does the same with p2, X(p2) < 0, Y(p2) < 0,
/// X(p2) < (1 + t) * reach and reach = min(...). levelTolerance t lies in
/// 0..1. The point taken is the cycle's peakLoadPos (peakLoadNeg) with
/// EnvelopeRule::PeakLoad, its peak point with PeakDisplacement.
///
/// A closed cycle n starts a level when a_n > 0 and a_n > (1 + t) * the
/// largest amplitude of the closed cycles before it (0 when none); within a
/// level of amplitude A a later closed cycle is a repeat when
/// a_n >= (1 - t) * A, else trailing.
RecordMetrics computeMetrics(const SharedState &state, const MetricSettings &settings,
                             const std::vector<CourseCycle> &course = {});
inline RecordMetrics computeMetrics(const SharedState &state, double levelTolerance = DefaultLevelTolerance)
{
    MetricSettings settings;
    settings.levelTolerance = levelTolerance;
    return computeMetrics(state, settings);
}

/// The EEEP curve of envelope points on positive values: points[0] is
/// (0, 0), the others have growing X and positive Y. None when there is no
/// point besides (0, 0).
///
/// P_peak is the largest load of points 1..m (the first on ties), at j.
/// Delta_0.4 interpolates at the first i in 1..j with Y_i >= 0.4 P_peak:
/// X_{i-1} + (X_i - X_{i-1}) * (0.4 P_peak - Y_{i-1}) / (Y_i - Y_{i-1}).
/// Delta_u interpolates at the first i > j with Y_i < 0.8 P_peak:
/// X_{i-1} + (X_i - X_{i-1}) * (Y_{i-1} - 0.8 P_peak) / (Y_{i-1} - Y_i), else X_m.
/// A sums, in order, the trapezoids (X_b - X_a) * (Y_a + Y_b) / 2 under the
/// points up to i-1 (all of them without failure), plus the one from
/// (X_{i-1}, Y_{i-1}) to (Delta_u, 0.8 P_peak) when Delta_u was interpolated.
/// P_yield = (Delta_u - sqrt(Delta_u * Delta_u - 2 * A / K_e)) * K_e, or
/// 0.85 P_peak when the root's argument is negative (yieldFallback).
std::optional<EeepCurve> eeepCurve(std::span<const EnvelopePoint> points);

/// Y at displacement x on the path of steps from..to (from <= to): the
/// first step from `from` on with X == x,
/// else the first segment whose ends lie strictly on both sides of x,
/// Y(k-1) + (Y(k) - Y(k-1)) * (x - X(k-1)) / (X(k) - X(k-1)); none when the
/// path never reaches x.
std::optional<double> loadAtDisplacement(const SharedState &state, int from, int to, double x);

} // namespace kov
