#pragma once

#include "core/state/failure.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

namespace kov {

/// Throws the failure of an index outside its array; kept out of line so
/// that the checked accesses, which run once per step, inline.
[[noreturn, gnu::cold, gnu::noinline]] void failOutOfRange();

/// Values indexed from First up to a last index that the state's limits set
/// (see Limits). The storage grows in blocks of fixed length as higher
/// indices are written, so an array costs what the record uses, not what the
/// limit allows; an index never written reads as 0. Every access is checked:
/// an index outside First..last() fails with error 9.
template <typename T, int First>
class CheckedArray {
public:
    /// The storage of BlockLength values.
    using Block = std::vector<T>;

    explicit CheckedArray(long long last) : m_last(last) {}

    T &operator()(long long index)
    {
        const std::size_t i = slot(index);
        const std::size_t block = i / BlockLength;
        const std::size_t offset = i % BlockLength;
        if (block >= m_blocks.size() || offset >= m_blocks[block].size()) [[unlikely]]
            grow(block, offset + 1);
        return m_blocks[block][offset];
    }

    const T &operator()(long long index) const
    {
        static const T zero{};
        const std::size_t i = slot(index);
        const std::size_t block = i / BlockLength;
        const std::size_t offset = i % BlockLength;
        if (block >= m_blocks.size() || offset >= m_blocks[block].size())
            return zero;
        return m_blocks[block][offset];
    }

    /// Stores count values from index first on, as many single stores would.
    void assign(long long first, const T *values, std::size_t count)
    {
        if (count == 0)
            return;
        std::size_t i = slot(first);
        slot(first + static_cast<long long>(count) - 1);
        while (count > 0) {
            const std::size_t block = i / BlockLength;
            const std::size_t offset = i % BlockLength;
            const std::size_t n = std::min(count, BlockLength - offset);
            if (block >= m_blocks.size() || offset + n > m_blocks[block].size())
                grow(block, offset + n);
            std::copy_n(values, n, m_blocks[block].data() + offset);
            i += n;
            values += n;
            count -= n;
        }
    }

    /// Replaces block number block (elements block x BlockLength on, all
    /// within range) by items, a whole block of values: a long record's
    /// values are handed over instead of copied.
    void adoptBlock(std::size_t block, Block &&items)
    {
        const auto first = static_cast<long long>(block * BlockLength) + First;
        slot(first);
        slot(first + static_cast<long long>(BlockLength) - 1);
        if (items.size() != BlockLength) {
            assign(first, items.data(), items.size());
            return;
        }
        if (block >= m_blocks.size())
            m_blocks.resize(block + 1);
        m_blocks[block] = std::move(items);
    }

    /// Elements per block: 32 KB of floats.
    static constexpr std::size_t BlockLength = 8192;

    bool inRange(long long index) const { return index >= First && index <= m_last; }
    long long last() const { return m_last; }

    /// Moves the last index; values beyond a lower one are dropped.
    void setLast(long long last)
    {
        m_last = last;
        const std::size_t kept = last < First ? 0 : static_cast<std::size_t>(last - First + 1);
        const std::size_t blocks = (kept + BlockLength - 1) / BlockLength;
        if (m_blocks.size() < blocks)
            return;
        m_blocks.resize(blocks);
        const std::size_t keptInLast = blocks > 0 ? kept - (blocks - 1) * BlockLength : 0;
        if (blocks > 0 && keptInLast < m_blocks.back().size())
            std::fill(m_blocks.back().begin() + static_cast<std::ptrdiff_t>(keptInLast), m_blocks.back().end(), T{});
    }

private:
    /// Makes room for the first length elements of a block. The first block
    /// grows by doubling up to its full length, so a short record or a few
    /// cycles cost a few elements, not a whole block each; later blocks,
    /// reached only by long records, come whole.
    [[gnu::noinline]] void grow(std::size_t block, std::size_t length)
    {
        if (block >= m_blocks.size())
            m_blocks.resize(block + 1);
        Block &items = m_blocks[block];
        items.resize(block > 0 ? BlockLength
                               : std::min(BlockLength, std::max({length, 2 * items.size(), std::size_t{64}})));
    }

    std::size_t slot(long long index) const
    {
        if (!inRange(index)) [[unlikely]]
            failOutOfRange();
        return static_cast<std::size_t>(index - First);
    }

    long long m_last;
    std::vector<Block> m_blocks;
};

/// A pair of CheckedArrays indexed (k, j), k 0 or 1.
template <typename T, int First>
class CheckedArrayPair {
public:
    explicit CheckedArrayPair(long long last) : m_items{CheckedArray<T, First>(last), CheckedArray<T, First>(last)} {}

    T &operator()(long long k, long long j) { return m_items[pick(k)](j); }
    const T &operator()(long long k, long long j) const { return m_items[pick(k)](j); }

    void setLast(long long last)
    {
        for (auto &items : m_items)
            items.setLast(last);
    }

private:
    static std::size_t pick(long long k)
    {
        if (k < 0 || k > 1)
            throw Failure(err::OutOfRange);
        return static_cast<std::size_t>(k);
    }

    std::array<CheckedArray<T, First>, 2> m_items;
};

inline constexpr int MaxStep = 2000;  ///< highest step (data row) the window holds
inline constexpr int MaxCycle = 100;  ///< highest cycle number the window holds

/// The highest step and cycle number a state holds. A record with more rows
/// fails to load with error 9; the automatic course stops after the last
/// cycle number.
struct Limits {
    std::int32_t steps = MaxStep;
    std::int32_t cycles = MaxCycle;
    bool operator==(const Limits &) const = default;
};

/// The main window's limits, also kov-batch's with --window-limits.
inline constexpr Limits WindowLimits{MaxStep, MaxCycle};
/// As many steps as RowCount, a float, counts exactly (up to 2^24 - 1, every
/// step one beyond them), and as many cycles as 32-bit cycle numbers count.
inline constexpr Limits RecordLimits{(1 << 24) - 1, std::numeric_limits<std::int32_t>::max() - 1};

using StepArray = CheckedArray<float, 0>;
using CycleFloats = CheckedArray<float, 0>;
using CycleInts = CheckedArray<std::int32_t, 0>;

/// The one set of variables through which every part of the program exchanges
/// data. Everything starts at zero or empty; the main window's start-up gives
/// the settings their defaults. Exactly one instance lives for the whole run
/// (kov-batch makes a fresh one per record). It holds steps and cycles up to
/// its limits, the window's unless setLimits changes them.
struct SharedState {
    // Input settings, each following an input field of the main window.
    std::int16_t XColumn = 0;     ///< 1-based column of X in a data row
    std::int16_t YColumn = 0;     ///< 1-based column of Y
    std::int16_t SkipLines = 0;   ///< header lines before the first data row
    float XCoef = 0.0f;           ///< factor applied to every X field
    float YCoef = 0.0f;           ///< factor applied to every Y field
    std::string DataFileName;     ///< full path of the test record
    std::string XUnit;            ///< unit of X (label after the results file was written)
    std::string YUnit;            ///< unit of Y

    // Loaded data, written only by the reader.
    StepArray XData{MaxStep};     ///< X of each step, field x XCoef; step 0 is never loaded
    StepArray YData{MaxStep};     ///< Y of each step, field x YCoef
    float RowCount = 0.0f;        ///< number of steps, a whole number held as a float
    std::int16_t ColumnCount = 0; ///< fields per data row
    std::int16_t DataLoaded = 0;  ///< 1 = RowCount and ColumnCount may be reused

    // Plot range, in data units.
    float MaxAbsX = 0.0f;
    float MaxAbsY = 0.0f;
    float ScaleXMax = 0.0f;
    float ScaleYMax = 0.0f;
    float ScaleXMin = 0.0f;
    float ScaleYMin = 0.0f;
    float MarkerRadius = 0.0f;    ///< radius of the point markers, in X units

    // Cycle analysis. Cycle n runs from CycleEndStep(n-1) to CycleEndStep(n).
    std::int32_t CycleNo = 0;                          ///< current cycle, 0..limits().cycles
    CycleInts CycleEndStep{MaxCycle};                  ///< element 0: start step of cycle 1
    CheckedArrayPair<std::int32_t, 0> PeakStep{MaxCycle}; ///< (k, n): peak step k+1 of cycle n; 0 = none
    CycleInts SkipCrossing{MaxCycle};                  ///< 1 = next search passes over one crossing
    CycleFloats CycleEnergy{MaxCycle};                 ///< energy absorbed in cycle n
    CycleFloats TotalEnergy{MaxCycle};                 ///< sum of CycleEnergy over cycles 1..n
    CycleFloats CycleDamping{MaxCycle};                ///< equivalent damping factor of cycle n
    CycleFloats ResultDamping{MaxCycle};               ///< the damping the results file writes
    CycleFloats CycleStrainEnergy{MaxCycle};           ///< StrainEnergy as cycle n's computation left it
    float StrainEnergy = 0.0f;                         ///< elastic strain energy of the last finished cycle

    const Limits &limits() const { return m_limits; }
    /// Sets the highest step and cycle number the arrays hold; values beyond
    /// lower limits are dropped.
    void setLimits(const Limits &limits);

private:
    Limits m_limits = WindowLimits;
};

} // namespace kov
