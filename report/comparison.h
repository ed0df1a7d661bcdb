#pragma once

// The report's comparison of the records of a call: their envelopes, EEEP
// curves and per-level series overlaid, and the groups' statistics
// (core/output/comparison.h) as tables. Of each record it keeps only what it
// draws, so that a call of many records stays light.

#include "core/output/comparison.h"
#include "report/reportrequest.h"

#include <optional>
#include <string>
#include <vector>

namespace kov::report {

/// What the comparison draws of a record.
struct ComparisonEntry {
    ComparedRecord figures; ///< label, group, units and the figures of the statistics
    std::vector<EnvelopePoint> positive; ///< its envelope's sides, (0, 0) first
    std::vector<EnvelopePoint> negative;
    std::optional<double> height;
    /// A level of its loading protocol, from the level's first cycle.
    struct Level {
        double amplitude = 0.0;              ///< A
        std::optional<double> drift;         ///< A / H
        std::optional<double> energy;        ///< the cumulative energy at the level's last cycle
        std::optional<double> damping;       ///< the first cycle's equivalent damping
        std::optional<double> stiffnessRatio; ///< its secant stiffness over the first cycle's (K / K0)
        std::optional<double> strengthLoss;  ///< the mean of the level's losses on the sides that have one
    };
    std::vector<Level> levels;
};

/// The entry of a record of the call read with settings s; one that did not
/// load, or whose status is not ok, is a failed entry (drawn nowhere).
ComparisonEntry comparisonEntry(const ReportRecord &record, const ReportSettings &s);

/// More records than this: the records' lines are thin and take their
/// group's colour (without groups, one colour), and the legend names the
/// groups rather than every label; the report puts each record's section
/// on a page of its own.
inline constexpr std::size_t ManyRecords = 100;

/// The comparison's body: the charts, their legend and a table per group
/// (ratios below 1 to the reference group marked). Empty for fewer than two
/// records. names are the records' names on the page, for a record without
/// a label.
std::string comparisonSection(const std::vector<ComparisonEntry> &records, const std::vector<std::string> &names,
                              const std::string &referenceGroup);

} // namespace kov::report
