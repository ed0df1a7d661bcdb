#include "analysis/core/metrics.h"

#include <algorithm>
#include <cmath>

namespace kov {

namespace {

double d(float value)
{
    return static_cast<double>(value);
}

/// Linear interpolation of X where the load reaches level between two
/// points: xa + (xb - xa) * num / den, in this grouping.
double interpolate(double xa, double xb, double num, double den)
{
    return xa + (xb - xa) * num / den;
}

CycleMetrics cycleMetrics(const SharedState &state, int n)
{
    CycleMetrics c;
    c.cycle = n;
    c.startStep = state.CycleEndStep(n - 1);
    c.endStep = state.CycleEndStep(n);
    const int s = c.startStep;
    const int e = c.endStep;
    const int p1 = state.PeakStep(0, n);
    const int p2 = state.PeakStep(1, n);
    c.peak1 = {p1, state.XData(p1), state.YData(p1)};
    c.peak2 = {p2, state.XData(p2), state.YData(p2)};
    c.energy = state.CycleEnergy(n);
    c.totalEnergy = state.TotalEnergy(n);
    c.strainEnergy = state.CycleStrainEnergy(n);
    c.damping = state.ResultDamping(n);

    // The steps the search examined: s+1..e.
    for (int k = s + 1; k <= e; ++k) {
        const float y = state.YData(k);
        if (!c.maxLoad || y > *c.maxLoad)
            c.maxLoad = y;
        if (!c.minLoad || y < *c.minLoad)
            c.minLoad = y;
    }

    if (p1 != 0 && p2 != 0 && c.peak1.x != c.peak2.x)
        c.secantStiffness = (d(c.peak1.y) - d(c.peak2.y)) / (d(c.peak1.x) - d(c.peak2.x));

    // Residual displacement: where the load passes zero on unloading from a
    // peak, interpolated on the segment that passes it.
    for (int k = std::max(s, p1) + 1; k <= e; ++k) {
        const float ya = state.YData(k - 1);
        const float yb = state.YData(k);
        if (ya > 0.0f && yb <= 0.0f) {
            c.residualPos = interpolate(d(state.XData(k - 1)), d(state.XData(k)), d(ya), d(ya) - d(yb));
            break;
        }
    }
    for (int k = std::max(s, p2) + 1; k <= e; ++k) {
        const float ya = state.YData(k - 1);
        const float yb = state.YData(k);
        if (ya < 0.0f && yb >= 0.0f) {
            c.residualNeg = interpolate(d(state.XData(k - 1)), d(state.XData(k)), d(ya), d(ya) - d(yb));
            break;
        }
    }
    return c;
}

/// The envelope points of one side, (0, 0) first: sign +1 takes the first
/// peak of each cycle beyond the reach so far, sign -1 the second.
std::vector<LoadPoint> envelopePoints(const std::vector<CycleMetrics> &cycles, double tolerance, int sign)
{
    std::vector<LoadPoint> points{{0.0f, 0.0f}};
    double reach = 0.0;
    for (const CycleMetrics &c : cycles) {
        const CyclePeak &p = sign > 0 ? c.peak1 : c.peak2;
        if (p.step == 0)
            continue;
        const double x = d(p.x);
        const double level = (1.0 + tolerance) * reach;
        if (sign > 0 ? (p.x > 0.0f && p.y > 0.0f && x > level) : (p.x < 0.0f && p.y < 0.0f && x < level))
            points.push_back({p.x, p.y});
        reach = sign > 0 ? std::max(reach, x) : std::min(reach, x);
    }
    return points;
}

EnvelopeSide envelopeSide(const std::vector<CycleMetrics> &cycles, double tolerance, int sign)
{
    EnvelopeSide side;
    side.points = envelopePoints(cycles, tolerance, sign);
    if (sign > 0) {
        side.eeep = eeepCurve(side.points);
        return side;
    }
    // The negative side is computed mirrored, on positive values; negating
    // is exact, so its results are those of the mirror with their sign.
    std::vector<LoadPoint> mirrored;
    mirrored.reserve(side.points.size());
    for (const LoadPoint &p : side.points)
        mirrored.push_back({-p.x, -p.y});
    side.eeep = eeepCurve(mirrored);
    if (side.eeep) {
        EeepCurve &c = *side.eeep;
        c.peakLoad = -c.peakLoad;
        c.peakDisp = -c.peakDisp;
        c.yieldLoad = -c.yieldLoad;
        c.yieldDisp = -c.yieldDisp;
        c.ultimateDisp = -c.ultimateDisp;
    }
    return side;
}

} // namespace

std::optional<EeepCurve> eeepCurve(std::span<const LoadPoint> points)
{
    if (points.size() < 2)
        return std::nullopt;
    const std::size_t m = points.size() - 1;
    auto X = [&](std::size_t i) { return d(points[i].x); };
    auto Y = [&](std::size_t i) { return d(points[i].y); };

    EeepCurve c;
    std::size_t j = 1;
    for (std::size_t i = 2; i <= m; ++i)
        if (points[i].y > points[j].y)
            j = i;
    c.peakLoad = points[j].y;
    c.peakDisp = points[j].x;
    const double peak = Y(j);

    // Elastic stiffness: the secant through the point at 40 % of the peak load.
    const double load04 = 0.4 * peak;
    std::size_t i = 1;
    while (i < j && Y(i) < load04)
        ++i;
    const double disp04 = interpolate(X(i - 1), X(i), load04 - Y(i - 1), Y(i) - Y(i - 1));
    c.elasticStiffness = load04 / disp04;

    // Ultimate displacement: where the envelope falls below 80 % of the peak
    // load after the peak, or its last point.
    const double load08 = 0.8 * peak;
    std::size_t last = m;
    c.ultimateDisp = X(m);
    for (std::size_t k = j + 1; k <= m; ++k) {
        if (Y(k) < load08) {
            c.failureReached = true;
            c.ultimateDisp = interpolate(X(k - 1), X(k), Y(k - 1) - load08, Y(k - 1) - Y(k));
            last = k - 1;
            break;
        }
    }

    // Area under the envelope up to the ultimate displacement (trapezoid rule).
    double area = 0.0;
    for (std::size_t k = 1; k <= last; ++k)
        area += (X(k) - X(k - 1)) * (Y(k - 1) + Y(k)) / 2.0;
    if (c.failureReached)
        area += (c.ultimateDisp - X(last)) * (Y(last) + load08) / 2.0;

    // Yield load of the elastic-plastic curve of equal area and equal ultimate
    // displacement; 85 % of the peak load when no such curve exists.
    const double du = c.ultimateDisp;
    const double ke = c.elasticStiffness;
    const double root = du * du - 2.0 * area / ke;
    c.yieldLoad = root >= 0.0 ? (du - std::sqrt(root)) * ke : 0.85 * peak;
    c.yieldDisp = c.yieldLoad / ke;
    c.ductility = du / c.yieldDisp;
    return c;
}

RecordMetrics computeMetrics(const SharedState &state, double levelTolerance)
{
    RecordMetrics r;
    r.levelTolerance = levelTolerance;
    const int cycles = state.CycleNo;
    for (int n = 1; n <= cycles; ++n)
        r.cycles.push_back(cycleMetrics(state, n));
    r.positive = envelopeSide(r.cycles, levelTolerance, +1);
    r.negative = envelopeSide(r.cycles, levelTolerance, -1);
    if (!r.cycles.empty()) {
        double sum = 0.0;
        for (const CycleMetrics &c : r.cycles)
            sum += d(c.damping);
        r.meanDamping = sum / static_cast<double>(r.cycles.size());
    }
    return r;
}

} // namespace kov
