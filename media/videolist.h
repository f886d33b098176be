#pragma once
// The videos of the videos folder, one per scene position: the list the layers' videos are picked
// from. It follows the folder while the program runs (files added, removed, renamed, touched),
// oldest first by modification time, so the clip at a position is the one the operator sees at
// that place in a file manager sorted by age; a scene past the end of the list has no video.
#include <QFileSystemWatcher>
#include <QList>
#include <QObject>
#include <QTimer>
#include <QUrl>
#include <QVariantList>

class VideoList : public QObject
{
    Q_OBJECT
    // the folder to list, a file: URL (a missing folder lists nothing until it appears)
    Q_PROPERTY(QUrl folder READ folder WRITE setFolder NOTIFY folderChanged)
    // file: URLs of the listed videos, oldest first
    Q_PROPERTY(QVariantList files READ files NOTIFY filesChanged)

public:
    explicit VideoList(QObject *parent = nullptr);

    QUrl folder() const { return m_folder; }
    void setFolder(const QUrl &folder);
    QVariantList files() const;

    // The video of the scene at `position` (0-based); an empty URL when the list has none there.
    Q_INVOKABLE QUrl at(int position) const;

    // Reads the folder now; changes are otherwise read shortly after the folder reports them.
    Q_INVOKABLE void refresh();

    // The names a video may have; others in the folder are not listed.
    static const QStringList &nameFilters();
    // The videos of `dir`, oldest first (by name among equals); empty for a missing folder.
    static QList<QUrl> read(const QString &dir);

signals:
    void folderChanged();
    void filesChanged();
    // a line for the window's trace: each file as it is listed, each file gone, a missing folder
    void trace(const QString &line);

private:
    void watch();

    QUrl m_folder;
    QList<QUrl> m_files;
    QFileSystemWatcher m_watcher;
    QTimer m_settle; // a copy or a move reports many changes: read once they settle
    bool m_missingTraced = false;
};
