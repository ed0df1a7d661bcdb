#pragma once

#include <QComboBox>
#include <QListWidget>
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

/// The folder the drive was last left in during this run; its root at first.
/// For the drive of the process's current folder, that folder.
QString currentFolderOfDrive(const QString &drive);

/// Remembers folder as the current folder of its drive.
void setCurrentFolderOfDrive(const QString &folder);

} // namespace drives

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

/// The drive list: a drop-down of the mounted volumes.
class DriveList : public QComboBox {
    Q_OBJECT

public:
    explicit DriveList(QWidget *parent = nullptr);

    /// The selected drive (a mount point), empty before one is set.
    QString drive() const { return m_drive; }

    /// Selects the drive that holds path. Emits changed() when the drive is a
    /// different one.
    void setDrive(const QString &path);

    /// Selects the drive without any notification (to undo a change that
    /// could not be carried out).
    void restoreDrive(const QString &drive);

signals:
    void changed();

private:
    void onIndexChanged(int index);
    int indexOfDrive(const QString &drive);

    QString m_drive;
    bool m_silent = false;
};

/// The folder list: the path from the root down, each level indented below
/// its parent, then the subfolders of the current folder one level deeper.
/// Double-clicking an entry moves to it.
class FolderList : public QListWidget {
    Q_OBJECT

public:
    explicit FolderList(QWidget *parent = nullptr);

    /// The current folder (absolute, clean), empty before one is set.
    QString path() const { return m_path; }

    /// Moves to folder (relative names are taken from the current folder).
    /// Emits changed() when the folder is a different one. When it cannot be
    /// read, emits readFailed(), stays where it was and returns false.
    bool setPath(const QString &folder);

    /// Moves to the folder the drive remembers (its root when that folder is
    /// gone), as setPath().
    bool setDrive(const QString &drive);

    /// Lists the current folder again.
    void refresh();

signals:
    void changed();
    void clicked(const QString &folder);
    void doubleClicked(const QString &folder);
    void readFailed(const QString &folder, const QString &reason);

private:
    bool show(const QString &folder);

    QString m_path;
};

/// The file list: the files of its folder that match its pattern.
class FileList : public QListWidget {
    Q_OBJECT

public:
    /// What applying a typed name did.
    enum class Applied {
        Taken,      ///< moved, took a pattern, or chose an existing file
        Failed,     ///< the name could not be taken (e.g. no such file)
        ReadFailed, ///< the named folder could not be read; readFailed() was emitted
    };

    explicit FileList(QWidget *parent = nullptr);

    QString path() const { return m_path; }
    QString pattern() const { return m_pattern; }

    /// The selected file's name (no folder), empty when none is selected.
    QString fileName() const { return m_fileName; }

    /// Moves to folder and lists it; emits pathChanged() when it is a
    /// different one. When it cannot be read, emits readFailed(), stays
    /// where it was and returns false.
    bool setPath(const QString &folder);

    /// Sets the pattern, lists again and emits patternChanged().
    void setPattern(const QString &pattern);

    /// Interprets a typed name: a folder part moves the list there (and a
    /// name that is a folder moves into it); a name with wildcards becomes
    /// the pattern; the name of an existing visible file selects it and
    /// emits doubleClicked(). Anything else fails.
    Applied applyName(const QString &text);

    /// Lists the current folder again.
    void refresh();

signals:
    void pathChanged();
    void patternChanged();
    void clicked();
    void doubleClicked();
    void readFailed(const QString &folder, const QString &reason);

private:
    bool show(const QString &folder);
    void selectListed(const QString &name);

    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
    QString m_fileName;
    bool m_filling = false;
};

} // namespace kov
