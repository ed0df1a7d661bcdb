#pragma once

#include <QString>
#include <QStringList>

namespace kov {

/// Volumes ("drives") and the folder each of them remembers for the process.
/// A folder's drive is the mount point that holds it (the longest matching
/// mount point); "/" is always a drive.
namespace drives {

/// The mount points of real file systems in a mounts table (the format of
/// /proc/self/mounts), sorted, without duplicates, always with "/". Kernel
/// and system trees (/proc, /sys, /dev, /run) and pseudo file systems are
/// left out, and so is every mount point that is not a folder.
QStringList parseMounts(const QString &mountsText);

/// The drives of this machine, read afresh from /proc/self/mounts.
QStringList mountedDrives();

/// The drive among drives that holds the absolute folder path; "/" when none
/// matches better.
QString driveOf(const QString &path, const QStringList &drives);
QString driveOf(const QString &path);

/// The process's current folder, or "/" when it has gone (removed while we
/// stood in it).
QString currentFolder();

/// The absolute, clean path of folder; a relative name is taken from the
/// process's current folder.
QString absoluteFolder(const QString &folder);

/// The folder the drive was last left in during this run; its root at first.
/// For the drive of the process's current folder, that folder.
QString currentFolderOfDrive(const QString &drive);

/// Remembers folder as the current folder of its drive.
void setCurrentFolderOfDrive(const QString &folder);

} // namespace drives
} // namespace kov
