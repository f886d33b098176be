#include "videolist.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

constexpr int settleMs = 100;

QString localDir(const QUrl &folder) { return folder.isLocalFile() ? folder.toLocalFile() : QString(); }

} // namespace

VideoList::VideoList(QObject *parent) : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleMs);
    connect(&m_settle, &QTimer::timeout, this, &VideoList::refresh);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle, qOverload<>(&QTimer::start));
}

const QStringList &VideoList::nameFilters()
{
    static const QStringList filters{"*.mov", "*.wmv", "*.mpg", "*.mp4", "*.avi"};
    return filters;
}

QList<QUrl> VideoList::read(const QString &dir)
{
    if (dir.isEmpty())
        return {};
    QFileInfoList entries = QDir(dir).entryInfoList(nameFilters(), QDir::Files | QDir::Readable, QDir::NoSort);
    std::stable_sort(entries.begin(), entries.end(), [](const QFileInfo &a, const QFileInfo &b) {
        const QDateTime ta = a.lastModified(), tb = b.lastModified();
        return ta != tb ? ta < tb : a.fileName() < b.fileName();
    });
    QList<QUrl> files;
    files.reserve(entries.size());
    for (const QFileInfo &entry : qAsConst(entries))
        files << QUrl::fromLocalFile(entry.absoluteFilePath());
    return files;
}

void VideoList::setFolder(const QUrl &folder)
{
    if (folder == m_folder)
        return;
    m_folder = folder;
    m_missingTraced = false;
    emit folderChanged();
    refresh();
}

QVariantList VideoList::files() const
{
    QVariantList list;
    list.reserve(m_files.size());
    for (const QUrl &file : m_files)
        list << file;
    return list;
}

QUrl VideoList::at(int position) const
{
    return position >= 0 && position < m_files.size() ? m_files[position] : QUrl();
}

void VideoList::refresh()
{
    m_settle.stop();
    watch();
    const QString dir = localDir(m_folder);
    const bool present = !dir.isEmpty() && QFileInfo(dir).isDir();
    if (!present && !m_missingTraced && !m_folder.isEmpty()) {
        m_missingTraced = true;
        emit trace(QStringLiteral("Videos folder %1 is missing: no videos are listed").arg(dir));
    }
    if (present)
        m_missingTraced = false;
    const QList<QUrl> files = present ? read(dir) : QList<QUrl>();
    if (files == m_files)
        return;
    const QSet<QUrl> before(m_files.cbegin(), m_files.cend()), after(files.cbegin(), files.cend());
    for (const QUrl &file : files)
        if (!before.contains(file))
            emit trace(file.toString());
    for (const QUrl &file : qAsConst(m_files))
        if (!after.contains(file))
            emit trace(QStringLiteral("Video gone: %1").arg(file.toString()));
    m_files = files;
    emit filesChanged();
}

// The folder itself when it is there, else the nearest folder above it, so that a videos folder
// made (or mounted) after the start is listed once it appears.
void VideoList::watch()
{
    const QStringList watched = m_watcher.directories();
    QString dir = QDir::cleanPath(localDir(m_folder));
    while (!dir.isEmpty() && !QFileInfo(dir).isDir() && dir != QLatin1String("/"))
        dir = QFileInfo(dir).path();
    if (watched == QStringList{dir})
        return;
    if (!watched.isEmpty())
        m_watcher.removePaths(watched);
    if (!localDir(m_folder).isEmpty() && QFileInfo(dir).isDir())
        m_watcher.addPath(dir);
}
