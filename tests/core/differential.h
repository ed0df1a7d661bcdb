#pragma once

// Runs the one-pass reader and the three-pass reference on the same record
// and settings and compares everything they leave behind. Shared by the
// differential test and the differential fuzzer.

#include "core/reader/testrecord.h"
#include "core/state/sharedstate.h"
#include "tests/core/referencereader.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

namespace kov::reference {

/// Settings for one load, applied to both readers' states.
struct LoadSettings {
    std::int16_t skipLines = 0;
    std::int16_t xColumn = 1;
    std::int16_t yColumn = 2;
    float xCoef = 1.0f;
    float yCoef = 1.0f;
    bool stale = false;       ///< DataLoaded 1 with the counts below
    float rowCount = 0.0f;
    std::int16_t columnCount = 0;
    Limits limits = WindowLimits;
};

/// The error number of a load (0 on success).
template <typename Load>
int loadNumber(Load load, SharedState &state)
{
    try {
        load(state);
        return 0;
    } catch (const Failure &f) {
        return f.number();
    }
}

/// Loads path with both readers from identical states (the arrays filled
/// with a pattern, so that an entry written by one reader only shows) and
/// returns an empty text when they agree, else what differs.
inline std::string compareReaders(const std::string &path, const LoadSettings &s)
{
    auto fresh = [&] {
        auto st = std::make_unique<SharedState>();
        st->setLimits(s.limits);
        st->DataFileName = path;
        st->SkipLines = s.skipLines;
        st->XColumn = s.xColumn;
        st->YColumn = s.yColumn;
        st->XCoef = s.xCoef;
        st->YCoef = s.yCoef;
        st->DataLoaded = s.stale ? 1 : 0;
        st->RowCount = s.rowCount;
        st->ColumnCount = s.columnCount;
        for (int i = 0; i <= std::min(s.limits.steps, 40000); ++i) {
            st->XData(i) = static_cast<float>(-i) - 0.25f;
            st->YData(i) = static_cast<float>(i) + 0.5f;
        }
        return st;
    };
    auto mine = fresh();
    auto theirs = fresh();
    const int a = loadNumber([](SharedState &st) { kov::LoadTestRecord(st); }, *mine);
    const int b = loadNumber([](SharedState &st) { kov::reference::LoadTestRecord(st); }, *theirs);

    std::ostringstream diff;
    auto same = [](float x, float y) { return std::bit_cast<std::uint32_t>(x) == std::bit_cast<std::uint32_t>(y); };
    if (a != b)
        diff << "error " << a << " (reference " << b << ") ";
    if (!same(mine->RowCount, theirs->RowCount))
        diff << "RowCount " << mine->RowCount << " (" << theirs->RowCount << ") ";
    if (mine->ColumnCount != theirs->ColumnCount)
        diff << "ColumnCount " << mine->ColumnCount << " (" << theirs->ColumnCount << ") ";
    if (mine->DataLoaded != theirs->DataLoaded)
        diff << "DataLoaded " << mine->DataLoaded << " (" << theirs->DataLoaded << ") ";
    if (!same(mine->MaxAbsX, theirs->MaxAbsX) || !same(mine->MaxAbsY, theirs->MaxAbsY))
        diff << "MaxAbs " << mine->MaxAbsX << "," << mine->MaxAbsY << " (" << theirs->MaxAbsX << ","
             << theirs->MaxAbsY << ") ";
    int shown = 0;
    for (int i = 0; i <= std::min(s.limits.steps, 40000) && shown < 4; ++i) {
        if (!same(mine->XData(i), theirs->XData(i)) || !same(mine->YData(i), theirs->YData(i))) {
            diff << "step " << i << ": " << mine->XData(i) << "," << mine->YData(i) << " ("
                 << theirs->XData(i) << "," << theirs->YData(i) << ") ";
            ++shown;
        }
    }
    return diff.str();
}

} // namespace kov::reference
