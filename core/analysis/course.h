#pragma once

#include "core/analysis/nextcycle.h"
#include "core/analysis/stepsfile.h"
#include "core/reader/recordfile.h"
#include "core/state/settings.h"
#include "core/state/sharedstate.h"

#include <optional>
#include <string>
#include <vector>

namespace kov {

// The course of an analysis, shared by the main window and kov-batch: the
// window's commands run these steps between their field writes and yields,
// kov-batch runs them in one go (analyseRecord).

/// The start step of cycle 1 at the start of every course; the peak steps of
/// cycle 0 are set to it too.
inline constexpr std::int16_t CourseStartStep = 1;

/// A fresh state as the main window's start-up leaves it: the start values
/// of the settings (Settings{}), cycle 0 as startCourse sets it, the record
/// not counted yet and all range values 0.
void applyStartValues(SharedState &state);

/// The reset with which "Draw" and "Clear scale" begin a course (and
/// kov-batch every record): cycle 0, whose end step CycleEndStep(0) is the
/// start step of cycle 1, CourseStartStep; both peak steps of cycle 0 too.
void startCourse(SharedState &state);

/// "Next cycle"'s step of the course: CycleNo moves on by one, FindNextCycle
/// proposes the new cycle's end and peak steps (and its extremes MaxAbsX,
/// MaxAbsY), and the cycle holds no results until it is computed (a course
/// may reuse a cycle number). Returns true when the record has no further
/// cycle. The caller keeps CycleNo below the state's cycle limit.
/// With PeakRule::Halves the peaks are then proposed again by that rule;
/// crossed tells whether the search ended the cycle at an upward zero
/// crossing (FindNextCycle's).
bool proposeNextCycle(SharedState &state, double deadband = 0.0, PeakRule rule = PeakRule::Window,
                      bool *crossed = nullptr);

/// True when the cycle just proposed is the last the state holds (cycle 100
/// in the window) while the record goes on: the course stops there.
bool cycleLimitReached(const SharedState &state, bool atEnd);

/// kov-batch's deadband: a load in Y units, or a percentage of the record's
/// largest absolute load (known once the record is read).
struct Deadband {
    double value = 0.0;
    bool percent = false;
};

/// A cycle ended by an upward zero crossing whose loads before it never fell
/// below -NoiseShare times the record's largest absolute load looks like
/// noise about zero rather than a cycle of the test.
inline constexpr double NoiseShare = 0.05;

/// A value subtracted from every X or Y of the analysed rows: none, a given
/// value (in the units after the coefficient), or the first analysed row's.
struct ColumnOffset {
    enum class Kind { None, Value, FirstRow };
    Kind kind = Kind::None;
    double value = 0.0; ///< with Value: the value given
};

/// What an automatic course does besides the window's "Next cycle" presses.
struct CourseOptions {
    Deadband deadband;
    PeakRule peakRule = PeakRule::Window;
    /// Only the data rows firstRow..lastRow (from 1, inclusive; none: the
    /// first or the last) are analysed, as steps 1...
    std::optional<long long> firstRow;
    std::optional<long long> lastRow;
    ColumnOffset xOffset;
    ColumnOffset yOffset;
    /// The user's corrections, ascending by cycle (a steps file), and the
    /// file's name for messages.
    const std::vector<StepCorrection> *corrections = nullptr;
    std::string correctionsName;
};

/// What the course did with one cycle besides the state's results.
struct CourseCycle {
    /// Ended at an upward zero crossing of the load (or at a step the user
    /// gave, before the last data row); false for the open tail of a record
    /// that ends at the last data row without one.
    bool closed = true;
    /// The steps the user's corrections changed, of "end_step", "peak1_step",
    /// "peak2_step", in that order.
    std::vector<std::string> corrected;
};

/// The analysed rows and the offsets subtracted from them.
struct AnalysedRows {
    long long first = 1;   ///< the data row of step 1
    long long last = 0;    ///< the data row of the last step
    double xOffset = 0.0;  ///< subtracted from every X
    double yOffset = 0.0;
};

/// Outcome of analysing every cycle of a loaded record automatically.
struct AutomaticCourse {
    int cycles = 0;         ///< cycles analysed (CycleNo at the end)
    bool truncated = false; ///< the last cycle the state holds was analysed and the record goes on
    std::vector<int> beyondFloatRange; ///< cycles whose results overflowed, ascending
    int noiseCycles = 0;    ///< closed cycles that look like noise (see NoiseShare)
    std::vector<CourseCycle> perCycle; ///< cycles 1..cycles
    AnalysedRows rows;
};

/// Rows at the start of a record that count as at rest: their X and Y stay
/// within RestShare of each column's range (over the whole record) of the
/// first row's, and there are at least MinRestRows of them.
inline constexpr double RestShare = 0.01;
inline constexpr long long MinRestRows = 100;

/// The rows at rest a loaded record begins with, and the X and Y of its
/// first moving row.
struct RestStart {
    long long rows = 0;
    float x = 0.0f;
    float y = 0.0f;
};

/// The rest at the start of the loaded record; none when it has fewer than
/// MinRestRows such rows or never moves.
std::optional<RestStart> restAtStart(const SharedState &state);

/// The rest at the start of the record file read with settings; none when
/// there is none or the record does not load (what --inspect suggests).
std::optional<RestStart> recordRestAtStart(const std::string &record, const Settings &settings,
                                           const RecordConvention &convention);

/// What a user gets by pressing "Draw" on a loaded state, then "Next cycle"
/// until it is disabled, accepting every proposed step: the record counted
/// afresh, startCourse, LoadTestRecord, then for each cycle proposeNextCycle
/// and runCycleComputation, up to the state's cycle limit; each search with
/// the deadband (0: every crossing, as the window).
/// Throws the reader's Failure when the record does not load.
AutomaticCourse analyseRecord(SharedState &state, const Deadband &deadband = {});

/// analyseRecord for a record written in the given convention, its bytes
/// passed to sink as the reader reads them (LoadTestRecord's overload).
AutomaticCourse analyseRecord(SharedState &state, const RecordConvention &convention, RecordBytesSink *sink,
                              const Deadband &deadband = {});

/// analyseRecord with the options' row range, offsets, peak rule and
/// corrections. The rows outside the range are read but not analysed; each
/// offset is subtracted in double from the stored float and the difference
/// stored as a float. Cycle by cycle, as a window user corrects: the search
/// proposes, the corrections replace the proposal, the cycle is computed,
/// and a corrected end step is where the next search starts (with the
/// step buttons' skip flag: a crossing right after an end step whose load
/// is not above 0 is passed over); peaks not given are proposed again within
/// a corrected end step. Throws Failure (Kind::Input) for a range outside
/// the record, an offset whose difference is not a finite float (6), and a
/// correction outside the record, not after the cycle's start, a peak after
/// the cycle's end or a cycle the course does not reach (9).
AutomaticCourse analyseRecord(SharedState &state, const RecordConvention &convention, RecordBytesSink *sink,
                              const CourseOptions &options);

/// analyseRecord's course on a record that LoadTestRecord has just read into
/// state (nothing of an earlier course counts): the same cycles and results,
/// and the same failures, as analyseRecord of the same file, without reading
/// it again.
AutomaticCourse analyseLoadedRecord(SharedState &state, const CourseOptions &options);

} // namespace kov
