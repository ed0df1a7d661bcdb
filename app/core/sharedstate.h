#pragma once

#include "app/core/failure.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

namespace kov {

/// A fixed-size array with an inclusive index range First..Last. Every access
/// is checked: an index outside the range fails with error 9.
template <typename T, int First, int Last>
class CheckedArray {
    static_assert(First <= Last);

public:
    static constexpr int first = First;
    static constexpr int last = Last;

    T &operator()(long long index) { return m_items[slot(index)]; }
    const T &operator()(long long index) const { return m_items[slot(index)]; }

    static constexpr bool inRange(long long index) { return index >= First && index <= Last; }
    void fill(const T &value) { m_items.fill(value); }

private:
    static std::size_t slot(long long index)
    {
        if (!inRange(index))
            throw Failure(err::OutOfRange);
        return static_cast<std::size_t>(index - First);
    }

    std::array<T, static_cast<std::size_t>(Last - First + 1)> m_items{};
};

/// A two-dimensional CheckedArray, indexed (row, column), both ranges inclusive.
template <typename T, int First1, int Last1, int First2, int Last2>
class CheckedArray2 {
public:
    T &operator()(long long i, long long j) { return m_rows(i)(j); }
    const T &operator()(long long i, long long j) const { return m_rows(i)(j); }

    static constexpr bool inRange(long long i, long long j)
    {
        return i >= First1 && i <= Last1 && j >= First2 && j <= Last2;
    }

private:
    CheckedArray<CheckedArray<T, First2, Last2>, First1, Last1> m_rows;
};

inline constexpr int MaxStep = 2000;  ///< highest step (data row) the arrays hold
inline constexpr int MaxCycle = 100;  ///< highest cycle number the arrays hold

using StepArray = CheckedArray<float, 0, MaxStep>;
using CycleFloats = CheckedArray<float, 0, MaxCycle>;
using CycleInts = CheckedArray<std::int16_t, 0, MaxCycle>;

/// The one set of variables through which every part of the program exchanges
/// data. Everything starts at zero or empty; the main window's start-up gives
/// the settings their defaults. Exactly one instance lives for the whole run
/// (kov-batch makes a fresh one per record).
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
    StepArray XData;              ///< X of each step, field x XCoef; step 0 is never loaded
    StepArray YData;              ///< Y of each step, field x YCoef
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
    std::int16_t CycleNo = 0;                          ///< current cycle, 0..100
    CycleInts CycleEndStep;                            ///< element 0: start step of cycle 1
    CheckedArray2<std::int16_t, 0, 1, 0, MaxCycle> PeakStep; ///< (k, n): peak step k+1 of cycle n; 0 = none
    CycleInts SkipCrossing;                            ///< 1 = next search passes over one crossing
    CycleFloats CycleEnergy;                           ///< energy absorbed in cycle n
    CycleFloats TotalEnergy;                           ///< sum of CycleEnergy over cycles 1..n
    CycleFloats CycleDamping;                          ///< equivalent damping factor of cycle n
    CycleFloats ResultDamping;                         ///< the damping the results file writes
    CycleFloats CycleStrainEnergy;                     ///< StrainEnergy as cycle n's computation left it
    float StrainEnergy = 0.0f;                         ///< elastic strain energy of the last finished cycle
};

} // namespace kov
