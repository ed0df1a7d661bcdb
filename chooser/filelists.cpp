#include "chooser/filelists.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>

#include <dirent.h>

namespace kov {

namespace drives {

QStringList parseMounts(const QString &mountsText)
{
    static const QStringList systemTrees = {QStringLiteral("/proc"), QStringLiteral("/sys"),
                                            QStringLiteral("/dev"), QStringLiteral("/run")};
    static const QStringList pseudo = {
        QStringLiteral("proc"),   QStringLiteral("sysfs"),     QStringLiteral("devtmpfs"),
        QStringLiteral("devpts"), QStringLiteral("cgroup"),    QStringLiteral("cgroup2"),
        QStringLiteral("mqueue"), QStringLiteral("securityfs"), QStringLiteral("debugfs"),
        QStringLiteral("tracefs"), QStringLiteral("pstore"),   QStringLiteral("bpf"),
        QStringLiteral("hugetlbfs"), QStringLiteral("configfs"), QStringLiteral("fusectl"),
        QStringLiteral("autofs"), QStringLiteral("binfmt_misc"), QStringLiteral("nsfs"),
        QStringLiteral("efivarfs"), QStringLiteral("rpc_pipefs")};
    QStringList result{QStringLiteral("/")};
    for (const QString &line : mountsText.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() < 3)
            continue;
        // Blanks in mount points are written as \040.
        QString point = fields[1];
        point.replace(QStringLiteral("\\040"), QStringLiteral(" "));
        if (pseudo.contains(fields[2]))
            continue;
        bool system = false;
        for (const QString &tree : systemTrees)
            if (point == tree || point.startsWith(tree + QLatin1Char('/')))
                system = true;
        if (system || !QFileInfo(point).isDir())
            continue;
        if (!result.contains(point))
            result.append(point);
    }
    result.sort();
    return result;
}

QStringList mountedDrives()
{
    QFile f(QStringLiteral("/proc/self/mounts"));
    if (!f.open(QIODevice::ReadOnly))
        return {QStringLiteral("/")};
    return parseMounts(QString::fromUtf8(f.readAll()));
}

QString driveOf(const QString &path, const QStringList &drives)
{
    QString best = QStringLiteral("/");
    for (const QString &d : drives) {
        if (d == QLatin1String("/"))
            continue;
        if ((path == d || path.startsWith(d + QLatin1Char('/'))) && d.size() > best.size())
            best = d;
    }
    return best;
}

QString driveOf(const QString &path)
{
    return driveOf(path, mountedDrives());
}

QString currentFolder()
{
    const QString cwd = QDir::currentPath();
    return QFileInfo(cwd).isDir() ? QDir::cleanPath(cwd) : QStringLiteral("/");
}

namespace {
QMap<QString, QString> &remembered()
{
    static QMap<QString, QString> folders;
    return folders;
}
} // namespace

QString currentFolderOfDrive(const QString &drive)
{
    const QString cwd = currentFolder();
    if (driveOf(cwd) == drive)
        return cwd;
    const QString folder = remembered().value(drive, drive);
    return QFileInfo(folder).isDir() ? folder : drive;
}

void setCurrentFolderOfDrive(const QString &folder)
{
    remembered()[driveOf(folder)] = folder;
}

} // namespace drives

bool readFolder(const QString &folder, QStringList *folders, QStringList *files, QString *error)
{
    const QByteArray path = QFile::encodeName(folder);
    DIR *dir = ::opendir(path.constData());
    if (!dir) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    QStringList dirs, plain;
    while (const dirent *entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name.startsWith(QLatin1Char('.')))
            continue;
        const QFileInfo info(folder + QLatin1Char('/') + name);
        if (info.isDir())
            dirs.append(name);
        else if (info.isFile())
            plain.append(name);
    }
    ::closedir(dir);
    auto byName = [](const QString &a, const QString &b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    };
    std::sort(dirs.begin(), dirs.end(), byName);
    std::sort(plain.begin(), plain.end(), byName);
    if (folders)
        *folders = dirs;
    if (files)
        *files = plain;
    return true;
}

bool matchesPattern(const QString &name, const QString &patterns)
{
    const QStringList list = patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (list.isEmpty())
        return true;
    for (QString p : list) {
        p = p.trimmed();
        // "*.*" matches every name, also one without a point.
        if (p == QLatin1String("*.*") || p == QLatin1String("*"))
            return true;
        const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(
                                        p, QRegularExpression::UnanchoredWildcardConversion),
                                    QRegularExpression::CaseInsensitiveOption);
        const QRegularExpression anchored(QRegularExpression::anchoredPattern(re.pattern()),
                                          QRegularExpression::CaseInsensitiveOption);
        if (anchored.match(name).hasMatch())
            return true;
    }
    return false;
}

bool hasWildcards(const QString &text)
{
    return text.contains(QLatin1Char('*')) || text.contains(QLatin1Char('?'));
}

namespace {
QString absoluteClean(const QString &folder)
{
    return QDir::cleanPath(QDir(drives::currentFolder()).absoluteFilePath(folder));
}
} // namespace

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
    const QString drive = drives::driveOf(absoluteClean(path));
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

// Folder list ----------------------------------------------------------------

FolderList::FolderList(QWidget *parent) : QListWidget(parent)
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

bool FolderList::show(const QString &folder)
{
    QStringList subfolders;
    QString reason;
    if (!readFolder(folder, &subfolders, nullptr, &reason)) {
        emit readFailed(folder, reason);
        return false;
    }
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
    return true;
}

bool FolderList::setPath(const QString &folder)
{
    const QString target = absoluteClean(folder);
    if (!show(target))
        return false;
    if (target != m_path) {
        m_path = target;
        emit changed();
    }
    return true;
}

bool FolderList::setDrive(const QString &drive)
{
    return setPath(drives::currentFolderOfDrive(drive));
}

void FolderList::refresh()
{
    if (!m_path.isEmpty())
        show(m_path);
}

// File list ------------------------------------------------------------------

FileList::FileList(QWidget *parent) : QListWidget(parent)
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

bool FileList::show(const QString &folder)
{
    QStringList files;
    QString reason;
    if (!readFolder(folder, nullptr, &files, &reason)) {
        emit readFailed(folder, reason);
        return false;
    }
    m_filling = true;
    clear();
    m_fileName.clear();
    for (const QString &f : files)
        if (matchesPattern(f, m_pattern))
            addItem(f);
    m_filling = false;
    return true;
}

bool FileList::setPath(const QString &folder)
{
    const QString target = absoluteClean(folder);
    if (!show(target))
        return false;
    if (target != m_path) {
        m_path = target;
        emit pathChanged();
    }
    return true;
}

void FileList::setPattern(const QString &pattern)
{
    m_pattern = pattern;
    if (!m_path.isEmpty())
        show(m_path);
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
    QString base = m_path.isEmpty() ? drives::currentFolder() : m_path;

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
        base = m_path;
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
        if (base != m_path && !setPath(base))
            return Applied::ReadFailed;
        selectListed(name);
        emit doubleClicked();
        return Applied::Taken;
    }
    return Applied::Failed;
}

void FileList::refresh()
{
    if (!m_path.isEmpty())
        show(m_path);
}

} // namespace kov
