#pragma once

#include <QString>
#include <QStringList>

namespace kov {

/// Lists a folder: its visible subfolders and its visible files (regular
/// files, also through symbolic links), each sorted by name, ignoring case
/// first. Names starting with '.' are hidden and left out. Returns false
/// and sets *error to the system's description when the folder cannot be read.
bool readFolder(const QString &folder, QStringList *folders, QStringList *files, QString *error);

/// True when name matches one of the ';'-separated wildcard patterns ('*' any
/// run of characters, '?' one character), ignoring case. An empty pattern
/// matches every name.
bool matchesPattern(const QString &name, const QString &patterns);

/// True when text holds a wildcard character ('*' or '?').
bool hasWildcards(const QString &text);

} // namespace kov
