#include "hostpath.h"

#include <QDir>
#include <QUrl>

namespace orvane {

QString localPath(const QString &path, const QString &base)
{
    QString local = path;
    if (path.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(path, QUrl::TolerantMode);
        local = url.isLocalFile() ? url.toLocalFile() : path.mid(5);
    }
    if (local.isEmpty())
        return QString();
    if (QDir::isRelativePath(local) && !base.isEmpty())
        local = base + QLatin1Char('/') + local;
    return QDir::cleanPath(local);
}

} // namespace orvane
