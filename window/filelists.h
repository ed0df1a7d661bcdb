#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <QStringList>

// The three list controls of the file chooser. What they show comes from
// drives.h (mount points, remembered folders) and folderscan.h (listing,
// patterns).

namespace kov {

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

/// A list that shows one folder: the base of the folder list and the file
/// list.
class FolderView : public QListWidget {
    Q_OBJECT

public:
    /// The current folder (absolute, clean), empty before one is set.
    QString path() const { return m_path; }

    /// Moves to folder (relative names are taken from the process's current
    /// folder) and lists it. Emits pathChanged() when the folder is a
    /// different one. When it cannot be read, emits readFailed(), stays where
    /// it was and returns false.
    bool setPath(const QString &folder);

    /// Lists the current folder again.
    void refresh();

signals:
    void pathChanged();
    void readFailed(const QString &folder, const QString &reason);

protected:
    explicit FolderView(QWidget *parent);

    /// Reads folder and shows it with fill(); false, after readFailed(),
    /// when it cannot be read.
    bool show(const QString &folder);

    /// Shows the listing of folder.
    virtual void fill(const QString &folder, const QStringList &subfolders, const QStringList &files) = 0;

private:
    QString m_path;
};

/// The folder list: the path from the root down, each level indented below
/// its parent, then the subfolders of the current folder one level deeper.
/// Double-clicking an entry moves to it.
class FolderList : public FolderView {
    Q_OBJECT

public:
    explicit FolderList(QWidget *parent = nullptr);

    /// Moves to the folder the drive remembers (its root when that folder is
    /// gone), as setPath().
    bool setDrive(const QString &drive);

signals:
    void clicked(const QString &folder);
    void doubleClicked(const QString &folder);

protected:
    void fill(const QString &folder, const QStringList &subfolders, const QStringList &files) override;
};

/// The file list: the files of its folder that match its pattern.
class FileList : public FolderView {
    Q_OBJECT

public:
    /// What applying a typed name did.
    enum class Applied {
        Taken,      ///< moved, took a pattern, or chose an existing file
        Failed,     ///< the name could not be taken (e.g. no such file)
        ReadFailed, ///< the named folder could not be read; readFailed() was emitted
    };

    explicit FileList(QWidget *parent = nullptr);

    QString pattern() const { return m_pattern; }

    /// The selected file's name (no folder), empty when none is selected.
    QString fileName() const { return m_fileName; }

    /// Sets the pattern, lists again and emits patternChanged().
    void setPattern(const QString &pattern);

    /// Interprets a typed name: a folder part moves the list there (and a
    /// name that is a folder moves into it); a name with wildcards becomes
    /// the pattern; the name of an existing visible file selects it and
    /// emits doubleClicked(). Anything else fails.
    Applied applyName(const QString &text);

signals:
    void patternChanged();
    void clicked();
    void doubleClicked();

protected:
    void fill(const QString &folder, const QStringList &subfolders, const QStringList &files) override;

private:
    void selectListed(const QString &name);

    QString m_pattern = QStringLiteral("*.*");
    QString m_fileName;
    bool m_filling = false;
};

} // namespace kov
