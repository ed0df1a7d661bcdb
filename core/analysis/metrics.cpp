#include "core/analysis/metrics.h"

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
    int maxStep = 0, minStep = 0;
    for (int k = s + 1; k <= e; ++k) {
        const float y = state.YData(k);
        if (!c.maxLoad || y > *c.maxLoad) {
            c.maxLoad = y;
            maxStep = k;
        }
        if (!c.minLoad || y < *c.minLoad) {
            c.minLoad = y;
            minStep = k;
        }
    }
    if (c.maxLoad && *c.maxLoad > 0.0f)
        c.peakLoadPos = CyclePeak{maxStep, state.XData(maxStep), *c.maxLoad};
    if (c.minLoad && *c.minLoad < 0.0f)
        c.peakLoadNeg = CyclePeak{minStep, state.XData(minStep), *c.minLoad};

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

/// The point of a cycle's side (sign +1 positive, -1 negative) that the
/// envelope takes by rule; none where the cycle has no such point.
std::optional<CyclePeak> envelopePoint(const CycleMetrics &c, int sign, EnvelopeRule rule)
{
    if (rule == EnvelopeRule::PeakLoad)
        return sign > 0 ? c.peakLoadPos : c.peakLoadNeg;
    const CyclePeak &p = sign > 0 ? c.peak1 : c.peak2;
    return p.step != 0 ? std::optional(p) : std::nullopt;
}

/// The envelope points of one side, (0, 0) first: sign +1 takes the first
/// cycle of each level of its first peak beyond the reach so far, sign -1
/// of its second.
std::vector<EnvelopePoint> envelopePoints(const std::vector<CycleMetrics> &cycles, const MetricSettings &settings,
                                          int sign)
{
    std::vector<EnvelopePoint> points{{0.0, 0.0}};
    double reach = 0.0;
    for (const CycleMetrics &c : cycles) {
        const CyclePeak &p = sign > 0 ? c.peak1 : c.peak2;
        if (p.step == 0)
            continue;
        const double x = d(p.x);
        const double level = (1.0 + settings.levelTolerance) * reach;
        const auto point = envelopePoint(c, sign, settings.envelope);
        if (point &&
            (sign > 0 ? (p.x > 0.0f && p.y > 0.0f && x > level) : (p.x < 0.0f && p.y < 0.0f && x < level)))
            points.push_back({d(point->x), d(point->y)});
        reach = sign > 0 ? std::max(reach, x) : std::min(reach, x);
    }
    return points;
}

EnvelopeSide envelopeSide(std::vector<EnvelopePoint> points, int sign)
{
    EnvelopeSide side;
    side.points = std::move(points);
    if (sign > 0) {
        side.eeep = eeepCurve(side.points);
        return side;
    }
    // The negative side is computed mirrored, on positive values; negating
    // is exact, so its results are those of the mirror with their sign.
    std::vector<EnvelopePoint> mirrored;
    mirrored.reserve(side.points.size());
    for (const EnvelopePoint &p : side.points)
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

/// a_n: the larger of X(p1) and -X(p2) over the peaks that exist (negating
/// a float is exact).
float amplitude(const CycleMetrics &c)
{
    if (c.peak1.step != 0 && c.peak2.step != 0)
        return std::max(c.peak1.x, -c.peak2.x);
    if (c.peak1.step != 0)
        return c.peak1.x;
    if (c.peak2.step != 0)
        return -c.peak2.x;
    return 0.0f;
}

/// (F_1 - F_k) / F_1 on the loads of a side (k from 0); none when a load is
/// missing or F_1 is 0.
std::optional<double> loss(const std::vector<std::optional<float>> &f, std::size_t k)
{
    if (k >= f.size() || !f[0] || !f[k] || *f[0] == 0.0f)
        return std::nullopt;
    return (d(*f[0]) - d(*f[k])) / d(*f[0]);
}

/// Splits the cycles into levels, with each cycle's role, and the levels'
/// counts and strength degradation.
void loadingProtocol(RecordMetrics &r)
{
    const double t = r.settings.levelTolerance;
    double largest = 0.0; // the largest amplitude of the closed cycles so far
    for (CycleMetrics &c : r.cycles) {
        c.amplitude = amplitude(c);
        if (!c.closed)
            continue;
        if (c.amplitude > 0.0f && d(c.amplitude) > (1.0 + t) * largest) {
            LoadLevel l;
            l.level = static_cast<int>(r.levels.size()) + 1;
            l.firstCycle = c.cycle;
            l.amplitude = c.amplitude;
            if (c.peak1.step != 0)
                l.xPos = c.peak1.x;
            if (c.peak2.step != 0)
                l.xNeg = c.peak2.x;
            if (!r.levels.empty())
                l.ratio = d(l.amplitude) / d(r.levels.back().amplitude);
            r.levels.push_back(l);
            c.role = CycleRole::Primary;
        } else if (!r.levels.empty()) {
            c.role = d(c.amplitude) >= (1.0 - t) * d(r.levels.back().amplitude) ? CycleRole::Repeat
                                                                                 : CycleRole::Trailing;
        }
        largest = std::max(largest, d(c.amplitude));
        if (c.role == CycleRole::None)
            continue;
        LoadLevel &l = r.levels.back();
        c.level = l.level;
        ++l.cycles;
        if (c.role == CycleRole::Trailing) {
            ++l.trailing;
            continue;
        }
        ++l.repeats;
        l.strengthPos.push_back(c.maxLoad);
        l.strengthNeg.push_back(c.minLoad);
    }
    for (LoadLevel &l : r.levels) {
        l.lossPos = loss(l.strengthPos, l.strengthPos.size() - 1);
        l.lossNeg = loss(l.strengthNeg, l.strengthNeg.size() - 1);
        l.loss3Pos = loss(l.strengthPos, 2);
        l.loss3Neg = loss(l.strengthNeg, 2);
    }
}

/// beta of every cycle, on the initial stiffnesses of the first cycle whose
/// peaks both exist with X != 0.
void energyDissipationRatio(RecordMetrics &r)
{
    for (const CycleMetrics &c : r.cycles) {
        if (c.closed && c.peak1.step != 0 && c.peak2.step != 0 && c.peak1.x != 0.0f && c.peak2.x != 0.0f) {
            r.initialStiffnessPos = d(c.peak1.y) / d(c.peak1.x);
            r.initialStiffnessNeg = d(c.peak2.y) / d(c.peak2.x);
            break;
        }
    }
    if (!r.initialStiffnessPos)
        return;
    const double kPos = *r.initialStiffnessPos;
    const double kNeg = *r.initialStiffnessNeg;
    for (CycleMetrics &c : r.cycles) {
        if (!c.closed || c.peak1.step == 0 || c.peak2.step == 0)
            continue;
        const double x1 = d(c.peak1.x), y1 = d(c.peak1.y), x2 = d(c.peak2.x), y2 = d(c.peak2.y);
        // The parallelogram's width at zero load; where it is small the peaks
        // lie on the initial slopes, the cycle is elastic and the ratio
        // would only magnify noise.
        const double width = (x1 - y1 / kPos) - (x2 - y2 / kNeg);
        if (!std::isfinite(width) || width < 0.1 * (x1 - x2))
            continue;
        const double beta = d(c.energy) / ((y1 - y2) * width);
        if (std::isfinite(beta)) {
            c.beta = beta;
            if (!r.betaMin || beta < *r.betaMin)
                r.betaMin = beta;
        }
    }
}

/// Drift of the peaks and levels (with H) and the inelastic deformation
/// (with D).
void driftAndDeformation(RecordMetrics &r)
{
    const auto &h = r.settings.height;
    const auto &yield = r.settings.yieldDisp;
    double sum = 0.0;
    for (CycleMetrics &c : r.cycles) {
        if (h) {
            if (c.peak1.step != 0)
                c.driftPos = d(c.peak1.x) / *h;
            if (c.peak2.step != 0)
                c.driftNeg = d(c.peak2.x) / *h;
        }
        if (yield) {
            const double D = *yield;
            const double pos = c.peak1.step != 0 ? 2.0 * std::max(0.0, d(c.peak1.x) - D) : 0.0;
            const double neg = c.peak2.step != 0 ? 2.0 * std::max(0.0, -d(c.peak2.x) - D) : 0.0;
            c.inelasticDeformation = (pos + neg) / D;
            sum += *c.inelasticDeformation;
            c.cumulativeInelasticDeformation = sum;
        }
    }
    if (h)
        for (LoadLevel &l : r.levels)
            l.drift = d(l.amplitude) / *h;
}

AcceptanceCheck check(std::optional<double> value, std::optional<double> limit, bool atLeast)
{
    AcceptanceCheck k{value, limit, std::nullopt};
    if (value && limit)
        k.pass = atLeast ? *value >= *limit : *value <= *limit;
    return k;
}

/// The acceptance at the third repeat of the first level that reaches the
/// drift limit.
Acceptance acceptance(const SharedState &state, const RecordMetrics &r)
{
    Acceptance a;
    a.driftLimit = r.settings.acceptanceDrift;
    const double h = *r.settings.height;
    const LoadLevel *level = nullptr;
    for (const LoadLevel &l : r.levels) {
        if (d(l.amplitude) / h >= a.driftLimit) {
            level = &l;
            break;
        }
    }
    const CycleMetrics *cycle = nullptr;
    if (level) {
        a.level = level->level;
        int repeat = 0;
        for (const CycleMetrics &c : r.cycles)
            if (c.level == level->level && c.role != CycleRole::Trailing && ++repeat == 3) {
                cycle = &c;
                break;
            }
    }
    // The limits exist whether or not the level was reached.
    std::optional<float> largest, smallest;
    for (const CycleMetrics &c : r.cycles) {
        if (!c.closed)
            continue;
        if (c.maxLoad && (!largest || *c.maxLoad > *largest))
            largest = c.maxLoad;
        if (c.minLoad && (!smallest || *c.minLoad < *smallest))
            smallest = c.minLoad;
    }
    auto scaled = [](std::optional<float> v) { return v ? std::optional(0.75 * d(*v)) : std::nullopt; };
    std::optional<double> stiffnessLimit;
    if (r.initialStiffnessPos)
        stiffnessLimit = 0.05 * *r.initialStiffnessPos;
    a.strengthPos = {std::nullopt, scaled(largest), std::nullopt};
    a.strengthNeg = {std::nullopt, scaled(smallest), std::nullopt};
    a.beta = {std::nullopt, 0.125, std::nullopt};
    a.stiffness = {std::nullopt, stiffnessLimit, std::nullopt};
    if (!cycle)
        return a;

    a.cycle = cycle->cycle;
    auto value = [](std::optional<float> v) { return v ? std::optional(d(*v)) : std::nullopt; };
    a.strengthPos = check(value(cycle->maxLoad), a.strengthPos.limit, true);
    a.strengthNeg = check(value(cycle->minLoad), a.strengthNeg.limit, false);
    a.beta = check(cycle->beta, a.beta.limit, true);
    // The secant stiffness between +A/10 and -A/10 on the path from one peak
    // to the other.
    std::optional<double> stiffness;
    const int p1 = cycle->peak1.step, p2 = cycle->peak2.step;
    if (p1 != 0 && p2 != 0) {
        const double tenth = d(level->amplitude) / 10.0;
        const auto up = loadAtDisplacement(state, std::min(p1, p2), std::max(p1, p2), tenth);
        const auto down = loadAtDisplacement(state, std::min(p1, p2), std::max(p1, p2), -tenth);
        if (up && down) {
            const double k = (*up - *down) / (d(level->amplitude) / 5.0);
            if (std::isfinite(k))
                stiffness = k;
        }
    }
    a.stiffness = check(stiffness, a.stiffness.limit, true);
    a.pass = a.strengthPos.pass == true && a.strengthNeg.pass == true && a.beta.pass == true &&
             a.stiffness.pass == true;
    return a;
}

} // namespace

const char *envelopeRuleName(EnvelopeRule rule)
{
    return rule == EnvelopeRule::PeakLoad ? "peak-load" : "peak-displacement";
}

const char *roleName(CycleRole role)
{
    switch (role) {
    case CycleRole::Primary:
        return "primary";
    case CycleRole::Repeat:
        return "repeat";
    case CycleRole::Trailing:
        return "trailing";
    case CycleRole::None:
        break;
    }
    return nullptr;
}

std::optional<EeepCurve> eeepCurve(std::span<const EnvelopePoint> points)
{
    if (points.size() < 2)
        return std::nullopt;
    const std::size_t m = points.size() - 1;
    auto X = [&](std::size_t i) { return points[i].x; };
    auto Y = [&](std::size_t i) { return points[i].y; };

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
    c.yieldFallback = !(root >= 0.0);
    c.yieldLoad = c.yieldFallback ? 0.85 * peak : (du - std::sqrt(root)) * ke;
    c.yieldDisp = c.yieldLoad / ke;
    c.ductility = du / c.yieldDisp;
    return c;
}

std::optional<double> loadAtDisplacement(const SharedState &state, int from, int to, double x)
{
    for (int k = from; k <= to; ++k)
        if (d(state.XData(k)) == x)
            return d(state.YData(k));
    for (int k = from + 1; k <= to; ++k) {
        const double xa = d(state.XData(k - 1));
        const double xb = d(state.XData(k));
        if ((xa < x && x < xb) || (xb < x && x < xa)) {
            const double ya = d(state.YData(k - 1));
            return ya + (d(state.YData(k)) - ya) * (x - xa) / (xb - xa);
        }
    }
    return std::nullopt;
}

RecordMetrics computeMetrics(const SharedState &state, const MetricSettings &settings,
                             const std::vector<CourseCycle> &course)
{
    RecordMetrics r;
    r.settings = settings;
    const int cycles = state.CycleNo;
    for (int n = 1; n <= cycles; ++n) {
        r.cycles.push_back(cycleMetrics(state, n));
        if (static_cast<std::size_t>(n) <= course.size()) {
            r.cycles.back().closed = course[static_cast<std::size_t>(n - 1)].closed;
            r.cycles.back().corrected = course[static_cast<std::size_t>(n - 1)].corrected;
        }
    }
    r.positive = envelopeSide(envelopePoints(r.cycles, settings, +1), +1);
    r.negative = envelopeSide(envelopePoints(r.cycles, settings, -1), -1);
    double sum = 0.0;
    int closed = 0;
    for (const CycleMetrics &c : r.cycles) {
        if (c.closed) {
            sum += d(c.damping);
            ++closed;
        }
    }
    if (closed > 0)
        r.meanDamping = sum / static_cast<double>(closed);
    loadingProtocol(r);
    energyDissipationRatio(r);
    // The average envelope: one point per level from its first cycle.
    std::vector<EnvelopePoint> average{{0.0, 0.0}};
    for (const LoadLevel &l : r.levels) {
        const CycleMetrics &c = r.cycles[static_cast<std::size_t>(l.firstCycle - 1)];
        const auto pos = envelopePoint(c, +1, settings.envelope);
        const auto neg = envelopePoint(c, -1, settings.envelope);
        if (pos && neg)
            average.push_back({(d(pos->x) - d(neg->x)) / 2.0, (d(pos->y) - d(neg->y)) / 2.0});
    }
    r.average = envelopeSide(std::move(average), +1);
    r.average.storedValues = false;
    driftAndDeformation(r);
    if (settings.height)
        r.acceptance = acceptance(state, r);
    return r;
}

} // namespace kov
