#include "window/drives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

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

QString absoluteFolder(const QString &folder)
{
    return QDir::cleanPath(QDir(currentFolder()).absoluteFilePath(folder));
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

} // namespace kov
