#pragma once

#include "core/state/sharedstate.h"

namespace kov::reference {

/// The reader as it was before it read a record in one pass: three passes
/// over the file (lines, fields, values) through a peek-and-get buffer, each
/// a literal transcription of its rule. Kept only to check the one-pass
/// reader against it, result for result and failure for failure.
void LoadTestRecord(SharedState &state);

} // namespace kov::reference
