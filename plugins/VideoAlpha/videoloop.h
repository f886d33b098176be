#pragma once
// Keeps a looping MediaPlayer on the move. Qt's player loops at the end of the stream by seeking
// back to the start, with the played stretch ending at the length GStreamer reckons for the file.
// For some files (MPEG program streams among them) that length falls short of where the picture
// runs, and after the first loop the player stands still on one frame for good while it still
// says Playing; a seek of its own does no better.
//
// The guard reads the player's position ten times a `limit` and adds up how far it moved on (from
// the start again after a loop). A playing player that moved on less than half of `limit` in
// `limit` ms stands: the guard opens its file again, as at its first start, and plays it. From
// then on it does so for that file as soon as Qt's player reaches the end, without waiting for it
// to stand. Each further try without the player moving on waits twice as long (up to eight times
// `limit`), so that a file slow to show its first frame is not started over and over. `restarted`
// tells when a player stood.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QMediaPlayer;

class VideoLoop : public QObject
{
    Q_OBJECT
    // The QML MediaPlayer to watch (its playbackState, status, position, source and mediaObject).
    Q_PROPERTY(QObject *player READ player WRITE setPlayer NOTIFY playerChanged)
    // The time over which a playing player must move on, in ms.
    Q_PROPERTY(int limit READ limit WRITE setLimit NOTIFY limitChanged)

public:
    explicit VideoLoop(QObject *parent = nullptr);

    QObject *player() const { return m_player; }
    void setPlayer(QObject *player);
    int limit() const { return m_limit; }
    void setLimit(int limit);

signals:
    void playerChanged();
    void limitChanged();
    // The player moved on only `playedMs` in `heldMs` (it was at `position`) and was started again.
    void restarted(qint64 position, qint64 playedMs, qint64 heldMs);

private slots:
    void sourceChanged();

private:
    void check();
    void statusChanged(int status);
    void reopen();
    void startWindow();

    QPointer<QObject> m_player;
    QPointer<QMediaPlayer> m_media;
    int m_limit = 1000;
    QTimer m_poll;
    QElapsedTimer m_window;     // since the current measure began
    qint64 m_last = -1;         // position at the last reading; -1: not playing then
    qint64 m_played = 0;        // moved on in the current measure
    int m_restarts = 0;         // tries since the player last moved on
    bool m_reopenAtEnd = false; // the file stood after a loop: it is opened again at its end
    QUrl m_source;
};
