#include "window/filelists.h"

#include "window/drives.h"
#include "window/folderscan.h"

#include <QDir>
#include <QFileInfo>

namespace kov {

// Drive list -----------------------------------------------------------------

DriveList::DriveList(QWidget *parent) : QComboBox(parent)
{
    addItems(drives::mountedDrives());
    connect(this, &QComboBox::currentIndexChanged, this, &DriveList::onIndexChanged);
}

int DriveList::indexOfDrive(const QString &drive)
{
    int i = findText(drive);
    if (i < 0) {
        addItem(drive);
        i = count() - 1;
    }
    return i;
}

void DriveList::setDrive(const QString &path)
{
    const QString drive = drives::driveOf(drives::absoluteFolder(path));
    const int i = indexOfDrive(drive);
    if (drive == m_drive)
        return;
    m_drive = drive;
    m_silent = true;
    setCurrentIndex(i);
    m_silent = false;
    emit changed();
}

void DriveList::restoreDrive(const QString &drive)
{
    m_silent = true;
    m_drive = drive;
    setCurrentIndex(indexOfDrive(drive));
    m_silent = false;
}

void DriveList::onIndexChanged(int index)
{
    if (m_silent || index < 0)
        return;
    const QString drive = itemText(index);
    if (drive == m_drive)
        return;
    m_drive = drive;
    emit changed();
}

// Folder view ----------------------------------------------------------------

FolderView::FolderView(QWidget *parent) : QListWidget(parent) {}

bool FolderView::show(const QString &folder)
{
    QStringList subfolders, files;
    QString reason;
    if (!readFolder(folder, &subfolders, &files, &reason)) {
        emit readFailed(folder, reason);
        return false;
    }
    fill(folder, subfolders, files);
    return true;
}

bool FolderView::setPath(const QString &folder)
{
    const QString target = drives::absoluteFolder(folder);
    if (!show(target))
        return false;
    if (target != m_path) {
        m_path = target;
        emit pathChanged();
    }
    return true;
}

void FolderView::refresh()
{
    if (!m_path.isEmpty())
        show(m_path);
}

// Folder list ----------------------------------------------------------------

FolderList::FolderList(QWidget *parent) : FolderView(parent)
{
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        emit clicked(item->data(Qt::UserRole).toString());
    });
    connect(this, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        const QString folder = item->data(Qt::UserRole).toString();
        emit doubleClicked(folder);
        setPath(folder);
    });
}

void FolderList::fill(const QString &folder, const QStringList &subfolders, const QStringList &)
{
    clear();
    // The path from the root down, each level indented, then the subfolders.
    QStringList parts = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString at = QStringLiteral("/");
    auto add = [this](const QString &text, const QString &target, int depth) {
        auto *item = new QListWidgetItem(QString(depth * 2, QLatin1Char(' ')) + text, this);
        item->setData(Qt::UserRole, target);
    };
    add(QStringLiteral("/"), at, 0);
    int depth = 1;
    for (const QString &part : parts) {
        at = at == QLatin1String("/") ? at + part : at + QLatin1Char('/') + part;
        add(part, at, depth++);
    }
    setCurrentRow(count() - 1);
    for (const QString &sub : subfolders)
        add(sub, folder == QLatin1String("/") ? folder + sub : folder + QLatin1Char('/') + sub, depth);
}

bool FolderList::setDrive(const QString &drive)
{
    return setPath(drives::currentFolderOfDrive(drive));
}

// File list ------------------------------------------------------------------

FileList::FileList(QWidget *parent) : FolderView(parent)
{
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        m_fileName = item->text();
        emit clicked();
    });
    // Selecting a file with the keyboard counts as a click too; the current
    // item that focus alone gives the list does not.
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem *> items = selectedItems();
        if (m_filling || items.isEmpty() || items.first()->text() == m_fileName)
            return;
        m_fileName = items.first()->text();
        emit clicked();
    });
    connect(this, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) {
        m_fileName = item->text();
        emit doubleClicked();
    });
}

void FileList::fill(const QString &, const QStringList &, const QStringList &files)
{
    m_filling = true;
    clear();
    m_fileName.clear();
    for (const QString &f : files)
        if (matchesPattern(f, m_pattern))
            addItem(f);
    m_filling = false;
}

void FileList::setPattern(const QString &pattern)
{
    m_pattern = pattern;
    refresh();
    emit patternChanged();
}

void FileList::selectListed(const QString &name)
{
    for (int i = 0; i < count(); ++i)
        if (item(i)->text() == name) {
            m_filling = true;
            setCurrentRow(i);
            m_filling = false;
        }
    m_fileName = name;
}

FileList::Applied FileList::applyName(const QString &text)
{
    if (text.isEmpty())
        return Applied::Failed;
    const qsizetype slash = text.lastIndexOf(QLatin1Char('/'));
    QString folderPart = slash >= 0 ? text.left(slash + 1) : QString();
    QString name = slash >= 0 ? text.mid(slash + 1) : text;
    QString base = path().isEmpty() ? drives::currentFolder() : path();

    if (!folderPart.isEmpty()) {
        const QString folder = QDir::cleanPath(QDir(base).absoluteFilePath(folderPart));
        if (!QFileInfo(folder).isDir())
            return Applied::Failed;
        // A folder with a pattern ("sub/*.txt"): the pattern first, so that
        // the move puts the pattern in force into the name box.
        if (hasWildcards(name) && !hasWildcards(folderPart))
            setPattern(name);
        if (!setPath(folder))
            return Applied::ReadFailed;
        base = path();
    }
    if (name.isEmpty())
        return Applied::Taken;
    if (hasWildcards(name)) {
        setPattern(name);
        return Applied::Taken;
    }
    const QFileInfo info(QDir(base).absoluteFilePath(name));
    if (info.isDir()) {
        return setPath(info.absoluteFilePath()) ? Applied::Taken : Applied::ReadFailed;
    }
    if (info.isFile() && !name.startsWith(QLatin1Char('.'))) {
        if (base != path() && !setPath(base))
            return Applied::ReadFailed;
        selectListed(name);
        emit doubleClicked();
        return Applied::Taken;
    }
    return Applied::Failed;
}

} // namespace kov
