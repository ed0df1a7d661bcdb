#pragma once

// The records of a call side by side: per group of records, the count,
// mean, median and coefficient of variation of the envelope's key figures,
// and each group's medians as ratios to those of a reference group. Plain
// standard library, for kov-batch's --compare and the report's comparison.

#include "core/analysis/metrics.h"

#include <optional>
#include <string>
#include <vector>

namespace kov {

/// What the comparison takes of a record: a few figures, so that a call of
/// many records keeps little of each.
struct ComparedRecord {
    std::string label;
    std::string group;      ///< "" none
    bool failed = false;    ///< its status is not ok: left out, counted as failed
    std::string xUnit;      ///< the units its values are in
    std::string yUnit;
    std::optional<EeepCurve> positive; ///< the EEEP curves of its envelope's sides
    std::optional<EeepCurve> negative;
    std::optional<double> closedEnergy; ///< the energy of its closed cycles (none without one)
    std::optional<double> betaMin;
};

/// The figures of an analysed record.
ComparedRecord comparedRecord(const std::string &label, const std::string &group, const RecordMetrics &metrics,
                              const std::string &xUnit, const std::string &yUnit);

/// What a compared quantity is measured in.
enum class ComparedUnit { None, X, Y, Stiffness, Energy };

/// A quantity of the comparison: its column name ("peak_load_pos"), its
/// title on the page ("Peak load +"), its unit.
struct ComparedQuantity {
    const char *name;
    const char *title;
    ComparedUnit unit;
    std::optional<double> (*value)(const ComparedRecord &);
};

/// The quantities in order: peak load, displacement at peak load, elastic
/// stiffness, yield load, yield displacement, ultimate displacement and
/// ductility of each side (positive, then negative; the negative side's
/// loads and displacements negative), the closed cycles' energy, the
/// smallest beta.
const std::vector<ComparedQuantity> &comparedQuantities();

/// The statistics of one quantity over a group's records that have it.
struct QuantityStatistics {
    int count = 0;
    std::optional<double> mean;   ///< none without a value
    std::optional<double> median; ///< the middle value, or the mean of the two middle ones
    /// The sample standard deviation (n - 1) over |mean|; none for fewer
    /// than two values or a mean of 0.
    std::optional<double> cv;
    /// The median over the reference group's median; none without a
    /// reference group, for the reference group itself, where either median
    /// does not exist or the reference's is 0, and where the two groups'
    /// units differ.
    std::optional<double> ratio;
};

/// One group of records: those with the same group name, in the order the
/// group first appears in the call.
struct GroupStatistics {
    std::string name;  ///< "" for the records without a group
    int records = 0;   ///< its records, the failed ones included
    int failed = 0;    ///< left out of the statistics
    /// The units its analysed records share; both empty, and mixedUnits
    /// set, when they differ: then the quantities with a unit have no
    /// statistics, the ductility, energy ratio... still do.
    std::string xUnit;
    std::string yUnit;
    bool mixedUnits = false;
    std::vector<QuantityStatistics> quantities; ///< in the order of comparedQuantities()
};

struct Comparison {
    std::vector<GroupStatistics> groups;
    std::string referenceGroup; ///< "" none
    /// The records' units differ between groups or within one.
    bool mixedUnits = false;
};

/// The groups of the records and their statistics; with referenceGroup, the
/// ratios of each group's medians to that group's (which must be one of
/// them for any ratio to exist).
Comparison compareRecords(const std::vector<ComparedRecord> &records, const std::string &referenceGroup);

/// The unit text of a quantity ("kN", "kN/mm", "kN*mm"; "" without one).
std::string comparedUnitText(ComparedUnit unit, const std::string &xUnit, const std::string &yUnit);

/// The comparison as CSV (RFC 4180, CR LF): a row per group: group,
/// records, failed, x_unit, y_unit, then for each quantity Q its Q_count,
/// Q_mean, Q_median, Q_cv and Q_ratio (the median's ratio to the reference
/// group's, empty without one), the heads of the mean and median with the
/// unit in parentheses when every group has the same units; version last.
std::string comparisonCsv(const Comparison &comparison);

} // namespace kov
