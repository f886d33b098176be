#include "videoloop.h"

#include <QMediaPlayer>
#include <QVariant>

namespace {

constexpr int playingState = 1; // MediaPlayer.PlayingState

// Whether a playing player with this status is meant to be moving: all but no file, a file still
// loading or buffering (the layer's own load limit watches those) and a file that cannot play.
bool meantToMove(int status)
{
    switch (status) {
    case QMediaPlayer::NoMedia:
    case QMediaPlayer::LoadingMedia:
    case QMediaPlayer::BufferingMedia:
    case QMediaPlayer::InvalidMedia:
        return false;
    default:
        return true;
    }
}

} // namespace

VideoLoop::VideoLoop(QObject *parent) : QObject(parent)
{
    m_poll.setInterval(m_limit / 10);
    connect(&m_poll, &QTimer::timeout, this, &VideoLoop::check);
}

void VideoLoop::setPlayer(QObject *player)
{
    if (player == m_player)
        return;
    if (m_player)
        disconnect(m_player, nullptr, this, nullptr);
    if (m_media)
        disconnect(m_media, nullptr, this, nullptr);
    m_player = player;
    m_media = player ? qobject_cast<QMediaPlayer *>(player->property("mediaObject").value<QObject *>()) : nullptr;
    m_source = player ? player->property("source").toUrl() : QUrl();
    m_last = -1;
    m_restarts = 0;
    m_reopenAtEnd = false;
    if (m_media) {
        connect(m_media, &QMediaPlayer::mediaStatusChanged, this, &VideoLoop::statusChanged);
        connect(player, SIGNAL(sourceChanged()), this, SLOT(sourceChanged()));
        m_poll.start();
    } else {
        m_poll.stop();
    }
    emit playerChanged();
}

void VideoLoop::setLimit(int limit)
{
    limit = qMax(limit, 100);
    if (limit == m_limit)
        return;
    m_limit = limit;
    m_poll.setInterval(limit / 10);
    emit limitChanged();
}

void VideoLoop::statusChanged(int status)
{
    // once Qt's player is through with its own seek back, which would leave it standing
    if (m_reopenAtEnd && status == QMediaPlayer::EndOfMedia)
        QTimer::singleShot(0, this, &VideoLoop::reopen);
}

void VideoLoop::sourceChanged()
{
    // another file is tried with Qt's own loop afresh; the guard's own reopening passes through
    // an empty source back to the same file
    const QUrl source = m_player ? m_player->property("source").toUrl() : QUrl();
    if (!source.isEmpty() && source != m_source) {
        m_source = source;
        m_reopenAtEnd = false;
        m_restarts = 0;
    }
}

void VideoLoop::startWindow()
{
    m_played = 0;
    m_window.start();
}

void VideoLoop::check()
{
    if (!m_player)
        return;
    const bool moving = m_player->property("playbackState").toInt() == playingState
                        && meantToMove(m_player->property("status").toInt());
    if (!moving) {
        // paused, stopped or loading: nothing to measure
        m_last = -1;
        return;
    }
    const qint64 position = m_player->property("position").toLongLong();
    if (m_last < 0) {
        m_last = position;
        startWindow();
        return;
    }
    // after a loop, what it played since its start again
    m_played += position >= m_last ? position - m_last : position;
    m_last = position;
    const qint64 held = m_window.elapsed();
    if (held < qint64(m_limit) << qBound(0, m_restarts - 1, 3))
        return;
    if (m_played * 2 >= held) {
        m_restarts = 0;
        startWindow();
        return;
    }
    ++m_restarts;
    m_reopenAtEnd = true;
    const qint64 played = m_played;
    m_last = -1;
    reopen();
    emit restarted(position, played, held);
}

void VideoLoop::reopen()
{
    if (!m_media)
        return;
    const QMediaContent content = m_media->media();
    m_media->setMedia(QMediaContent());
    m_media->setMedia(content);
    m_media->play();
}
