#pragma once

#include "core/reader/recordfile.h"
#include "core/state/sharedstate.h"

namespace kov {

/// Reads the test record named by state.DataFileName into XData/YData
/// (steps 1..RowCount), with RowCount, ColumnCount, MaxAbsX, MaxAbsY and
/// DataLoaded, using SkipLines, XColumn, YColumn, XCoef, YCoef and DataLoaded
/// as they stand. While DataLoaded is 1 the two counting passes are skipped.
///
/// Throws Failure with the error number on the first failure (53 missing
/// file, 76 missing folder, 70 access denied or a folder, 62 past end of file,
/// 13 a chosen field that is not a number, 9 more rows than the state holds
/// (2000 in the window), 6 overflow).
/// Whatever was stored before the failure stays stored; the file is closed.
void LoadTestRecord(SharedState &state);

/// LoadTestRecord for a record written in the given convention (which also
/// says whether a workbook is read as the lines of a sheet), passing every
/// byte of the file it reads to sink (when given) in the same pass; the
/// sink's end() is called when the reader reached the end of the file.
void LoadTestRecord(SharedState &state, const RecordConvention &convention, RecordBytesSink *sink);

} // namespace kov
