#pragma once

#include "app/core/sharedstate.h"

#include <optional>
#include <span>
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

/// The level tolerance of the envelope when none is given.
inline constexpr double DefaultLevelTolerance = 0.05;

/// A point (X, Y) of the record, as stored.
struct LoadPoint {
    float x = 0.0f;
    float y = 0.0f;
};

/// A peak step of a cycle and its stored point (step 0 is the point (0, 0)).
struct CyclePeak {
    int step = 0;
    float x = 0.0f;
    float y = 0.0f;
};

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
};

/// The EEEP curve of one side of the envelope, after ASTM E2126. On the
/// negative side loads and displacements carry their (negative) sign;
/// stiffness and ductility are positive.
struct EeepCurve {
    float peakLoad = 0.0f;  ///< P_peak, the largest envelope load (the first on ties)
    float peakDisp = 0.0f;  ///< its displacement
    double elasticStiffness = 0.0; ///< K_e = 0.4 P_peak / Delta_0.4
    double yieldLoad = 0.0;        ///< P_yield
    double yieldDisp = 0.0;        ///< Delta_yield = P_yield / K_e
    double ultimateDisp = 0.0;     ///< Delta_u
    bool failureReached = false;   ///< the envelope fell below 0.8 P_peak after the peak
    double ductility = 0.0;        ///< mu = Delta_u / Delta_yield
};

/// One side of the envelope: its points, (0, 0) first, and the EEEP curve
/// when it has at least one point besides (0, 0).
struct EnvelopeSide {
    std::vector<LoadPoint> points;
    std::optional<EeepCurve> eeep;
};

/// Everything computed for one analysed record.
struct RecordMetrics {
    double levelTolerance = DefaultLevelTolerance;
    std::vector<CycleMetrics> cycles; ///< cycles 1..CycleNo
    EnvelopeSide positive;
    EnvelopeSide negative;
    /// The mean of ResultDamping over the cycles analysed (sum in cycle
    /// order, then divided by their number); none without cycles.
    std::optional<double> meanDamping;
};

/// Computes the metrics of the cycles 1..CycleNo the state holds.
///
/// The envelope takes, on each side separately, the peak of the first cycle
/// at each new displacement level: with reach starting at 0, the positive
/// side visits the cycles in order and, for each with p1 != 0, takes
/// (X(p1), Y(p1)) when X(p1) > 0, Y(p1) > 0 and X(p1) > (1 + t) * reach,
/// then sets reach = max(reach, X(p1)). The negative side does the same with
/// p2, X(p2) < 0, Y(p2) < 0, X(p2) < (1 + t) * reach and reach = min(...).
/// levelTolerance t lies in 0..1.
RecordMetrics computeMetrics(const SharedState &state, double levelTolerance = DefaultLevelTolerance);

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
/// 0.85 P_peak when the root's argument is negative.
std::optional<EeepCurve> eeepCurve(std::span<const LoadPoint> points);

} // namespace kov
