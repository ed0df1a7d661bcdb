#pragma once

#include "core/reader/recordfile.h"
#include "core/state/settings.h"
#include "core/state/sharedstate.h"

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
bool proposeNextCycle(SharedState &state, double deadband = 0.0);

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

/// Outcome of analysing every cycle of a loaded record automatically.
struct AutomaticCourse {
    int cycles = 0;         ///< cycles analysed (CycleNo at the end)
    bool truncated = false; ///< the last cycle the state holds was analysed and the record goes on
    std::vector<int> beyondFloatRange; ///< cycles whose results overflowed, ascending
    int noiseCycles = 0;    ///< cycles that look like noise (see NoiseShare)
};

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

} // namespace kov
