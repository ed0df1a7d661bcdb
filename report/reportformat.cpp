#include "report/reportformat.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace kov::report {

namespace {

/// value in fixed or exponent form with the given decimals, through
/// std::to_chars so that no locale can change the decimal point; a minus
/// sign before nothing but zeros is dropped.
std::string fixedText(double value, int decimals, bool exponent)
{
    char buffer[400];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value,
                                 exponent ? std::chars_format::scientific : std::chars_format::fixed, decimals);
    std::string text(buffer, r.ec == std::errc() ? r.ptr : buffer);
    if (!text.empty() && text[0] == '-') {
        const std::size_t end = exponent ? text.find('e') : text.size();
        if (text.find_first_not_of("0.", 1) >= end)
            text.erase(0, 1);
    }
    return text;
}

} // namespace

double Ticks::at(int i) const
{
    const double v = first + i * step;
    // 0.1 + 2 * 0.1 - 0.3 is not quite 0: a tick that should be zero is zero.
    return std::fabs(v) < step * 1e-9 ? 0.0 : v;
}

Ticks niceTicks(double lo, double hi, int maxCount)
{
    Ticks t;
    if (!std::isfinite(lo))
        return t;
    t.first = lo;
    t.count = 1;
    if (!std::isfinite(hi) || !(hi > lo) || maxCount < 2)
        return t;
    const double raw = (hi - lo) / (maxCount - 1);
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double normal = raw / magnitude;
    const double factor = normal <= 1.0 ? 1.0 : normal <= 2.0 ? 2.0 : normal <= 5.0 ? 5.0 : 10.0;
    t.step = factor * magnitude;
    // A small allowance keeps a tick that lies on an end despite rounding.
    const double slack = t.step * 1e-9;
    t.first = std::ceil((lo - slack) / t.step) * t.step;
    t.count = static_cast<int>(std::floor((hi + slack - t.first) / t.step)) + 1;
    const int stepDigit = static_cast<int>(std::floor(std::log10(t.step) + 1e-9));
    t.decimals = std::max(0, -stepDigit);
    const double largest = std::max(std::fabs(t.first), std::fabs(t.at(t.count - 1)));
    if (largest >= 1e7 || t.decimals > 6) {
        t.exponent = true;
        t.decimals = std::max(1, static_cast<int>(std::floor(std::log10(largest) + 1e-9)) - stepDigit);
    }
    return t;
}

void niceRange(double &lo, double &hi, int maxCount)
{
    if (!(hi > lo)) {
        lo -= 1.0;
        hi += 1.0;
    }
    const Ticks t = niceTicks(lo, hi, maxCount);
    if (t.count < 2)
        return;
    const double slack = t.step * 1e-9;
    lo = std::floor((lo + slack) / t.step) * t.step;
    hi = std::ceil((hi - slack) / t.step) * t.step;
}

std::string Ticks::text(int i) const
{
    return fixedText(at(i), decimals, exponent);
}

NumberFormat columnFormat(double largestMagnitude)
{
    if (!std::isfinite(largestMagnitude) || largestMagnitude == 0.0)
        return {};
    if (largestMagnitude >= 1e7 || largestMagnitude < 1e-3)
        return {3, true};
    const int digitsBeforePoint = static_cast<int>(std::floor(std::log10(largestMagnitude)));
    return {std::clamp(3 - digitsBeforePoint, 0, 6), false};
}

std::string formatNumber(double value, NumberFormat format)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "Infinity" : "-Infinity";
    return fixedText(value, format.decimals, format.exponent);
}

std::vector<std::string> distinguishingNames(const std::vector<std::string> &paths)
{
    // endings[i][k]: the last k + 1 components of path i, the whole path
    // with its leading slash when k + 1 takes them all.
    std::vector<std::vector<std::string>> endings(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        std::vector<std::string> parts;
        for (std::size_t from = 0; from < paths[i].size();) {
            std::size_t to = paths[i].find('/', from);
            if (to == std::string::npos)
                to = paths[i].size();
            if (to > from)
                parts.push_back(paths[i].substr(from, to - from));
            from = to + 1;
        }
        std::string ending;
        for (auto p = parts.rbegin(); p != parts.rend(); ++p) {
            ending = ending.empty() ? *p : *p + "/" + ending;
            endings[i].push_back(ending);
        }
        if (!endings[i].empty() && paths[i].starts_with('/'))
            endings[i].back() = "/" + endings[i].back();
    }
    std::vector<std::string> names;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::vector<std::string> &mine = endings[i];
        if (mine.empty()) {
            names.push_back(paths[i]);
            continue;
        }
        std::size_t k = 0;
        for (; k + 1 < mine.size(); ++k) {
            const bool shared = std::any_of(endings.begin(), endings.end(), [&](const std::vector<std::string> &other) {
                return other != mine && !other.empty() && other[std::min(k, other.size() - 1)] == mine[k];
            });
            if (!shared)
                break;
        }
        names.push_back(mine[k]);
    }
    return names;
}

} // namespace kov::report
