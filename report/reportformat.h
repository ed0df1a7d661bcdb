#pragma once

// Numbers as the HTML report prints them: axis ticks and table columns; and
// the names it gives the records. Standard library only, independent of the
// C locale.

#include <string>
#include <vector>

namespace kov::report {

/// The tick marks of an axis: first, first + step, ... (count of them).
struct Ticks {
    double first = 0.0;
    double step = 1.0;
    int count = 0;
    int decimals = 0;      ///< decimals that tell two neighbouring ticks apart
    bool exponent = false; ///< the labels are in exponent form
    double at(int i) const;
    /// The label of tick i: with the ticks' decimals ("-0" never appears),
    /// or in exponent form ("1.5e+07") when a tick reaches 1e7 or more than
    /// six decimals would be needed, with the digits that tell them apart.
    std::string text(int i) const;
};

/// Ticks 1, 2 or 5 times a power of ten apart, at most maxCount of them,
/// every one within [lo, hi] (those of [lo, hi] rounded outwards to whole
/// steps, so that an axis of niceRange ends on a tick). A range without
/// width, or not finite, has the single tick lo (none when lo is not finite).
Ticks niceTicks(double lo, double hi, int maxCount);

/// [lo, hi] widened to whole steps of its niceTicks, so that the axis
/// starts and ends on a tick; a range without width becomes [lo - 1, lo + 1].
void niceRange(double &lo, double &hi, int maxCount);

/// How a column of numbers is printed: fixed with the same decimals in every
/// row, so the digits line up, or in exponent form for very large or small
/// magnitudes.
struct NumberFormat {
    int decimals = 0;
    bool exponent = false;
};

/// The format that shows the largest magnitude of a column with four
/// significant digits: 19.51, 3240, 0.1512; exponent form with three
/// decimals from 1e7 up and below 1e-3. A column of zeros (or of no finite
/// value) has no decimals.
NumberFormat columnFormat(double largestMagnitude);

/// The value in the format; a value that is not finite is written Infinity,
/// -Infinity or NaN, as in the results file, and a negative value that
/// rounds to zero loses its sign.
std::string formatNumber(double value, NumberFormat format);

/// A short name for each record path: its shortest ending of whole path
/// components (the file name, then the file name with its folder, ...) that
/// no other path of the list ends with. /d/a/x.prn and /d/b/x.prn give
/// a/x.prn and b/x.prn; a folder's path, with or without a closing slash,
/// gives the folder's name; a path given twice the same name twice. A path
/// without components keeps its text ("/").
std::vector<std::string> distinguishingNames(const std::vector<std::string> &paths);

} // namespace kov::report
