#include "videofolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

VideoFolder::VideoFolder(const QUrl &option, const QString &usersFolder, QObject *parent)
    : QObject(parent), m_option(option), m_usersFolder(usersFolder)
{
    if (m_usersFolder.isEmpty())
        m_usersFolder = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
}

QUrl VideoFolder::folderUrl(const QString &text)
{
    QString path = text.trimmed();
    if (path.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(path, QUrl::TolerantMode);
        if (!url.isValid() || !url.isLocalFile())
            return QUrl();
        path = url.toLocalFile();
    } else if (path.contains(QLatin1String("://"))) {
        return QUrl(); // http: and the like name no folder of this machine
    }
    if (path.isEmpty())
        return QUrl();
    path = QDir::cleanPath(QDir(path).absolutePath());
    return QUrl::fromLocalFile(path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/'));
}

bool VideoFolder::isFolder(const QUrl &folder)
{
    const QFileInfo info(folder.toLocalFile());
    return !folder.isEmpty() && info.isDir() && info.isReadable();
}

QVariantMap VideoFolder::choose(const QUrl &windowFolder) const
{
    QUrl folder;
    QString why;
    if (!m_option.isEmpty()) {
        folder = m_option;
        why = QStringLiteral("(--videos)");
    } else if (isFolder(windowFolder)) {
        folder = windowFolder;
    } else {
        folder = folderUrl(m_usersFolder);
        why = QStringLiteral("(the user's videos folder: %1 does not exist)").arg(windowFolder.toString());
    }
    QString trace = QStringLiteral("Videos folder %1").arg(folder.toLocalFile());
    if (!why.isEmpty())
        trace += QLatin1Char(' ') + why;
    return {{QStringLiteral("folder"), folder}, {QStringLiteral("trace"), trace}};
}
