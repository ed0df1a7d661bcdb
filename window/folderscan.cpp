#include "window/folderscan.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <dirent.h>

namespace kov {

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

} // namespace kov
