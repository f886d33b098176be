#include "pagefiles.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

PageFiles::PageFiles(const QString &folder) : m_folder(QFileInfo(folder).canonicalFilePath()) { }

QString PageFiles::resolve(const QByteArray &target) const
{
    if (m_folder.isEmpty() || !target.startsWith('/'))
        return QString(); // "*", "http://host/..." and the like name no file of the page
    QByteArray path = target;
    const int query = path.indexOf('?');
    if (query >= 0)
        path.truncate(query);
    const int fragment = path.indexOf('#');
    if (fragment >= 0)
        path.truncate(fragment);
    const QByteArray decoded = QByteArray::fromPercentEncoding(path);
    // a NUL, a backslash or a byte that is not text has no place in the name of a page file
    if (decoded.contains('\0') || decoded.contains('\\'))
        return QString();
    const QString text = QString::fromUtf8(decoded);
    if (text.toUtf8() != decoded)
        return QString();
    QStringList parts;
    for (const QString &part : text.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        // "." and ".." would climb; hidden files are not part of the page
        if (part.startsWith(QLatin1Char('.')))
            return QString();
        parts << part;
    }
    if (parts.isEmpty())
        parts << QStringLiteral("index.html");
    // the file as found on disk, links resolved: it must still lie inside the folder
    const QFileInfo file(QFileInfo(m_folder + QLatin1Char('/') + parts.join(QLatin1Char('/'))).canonicalFilePath());
    if (!file.exists() || !file.isFile() || !file.filePath().startsWith(m_folder + QLatin1Char('/')))
        return QString();
    return file.filePath();
}

QByteArray PageFiles::contentType(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("html"))
        return "text/html; charset=utf-8";
    if (suffix == QLatin1String("css"))
        return "text/css; charset=utf-8";
    if (suffix == QLatin1String("js"))
        return "text/javascript; charset=utf-8";
    if (suffix == QLatin1String("svg"))
        return "image/svg+xml";
    if (suffix == QLatin1String("png"))
        return "image/png";
    if (suffix == QLatin1String("ico"))
        return "image/x-icon";
    return "application/octet-stream";
}
