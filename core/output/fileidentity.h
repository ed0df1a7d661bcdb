#pragma once

// Which file a path names, and whether it is an earlier results file: what
// a front end checks before it reads a record or writes beside it.

#include <optional>
#include <string>
#include <tuple>

#include <sys/types.h>

namespace kov {

/// What makes two paths the same file: device and inode for a file that
/// exists (symbolic links followed, so a link or a second hard link to a
/// record is that record); the folder's device and inode and the name for
/// one that does not; the normalised absolute path when not even the folder
/// can be found (nothing can be written there anyway).
using FileId = std::tuple<int, dev_t, ino_t, std::string>;

FileId fileIdOf(const std::string &path);

/// True when the file at path is a regular file whose first line is the
/// results file's first line: an earlier results file, not a test record.
/// With id, sets it to the identity of the file it opened (nullopt when it
/// could not open it), so that a caller need not look it up again.
bool isResultsFile(const std::string &path, std::optional<FileId> *id = nullptr);

} // namespace kov
