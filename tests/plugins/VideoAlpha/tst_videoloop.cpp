// The guard of a looping video, against a stand-in for the QML MediaPlayer that the test moves.
#include <QMediaPlayer>
#include <QSignalSpy>
#include <QtTest>

#include "videoloop.h"

class StandInPlayer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int playbackState MEMBER playbackState)
    Q_PROPERTY(int status MEMBER status)
    Q_PROPERTY(qint64 position MEMBER position)
    Q_PROPERTY(QUrl source MEMBER source NOTIFY sourceChanged)
    Q_PROPERTY(QObject *mediaObject READ mediaObject CONSTANT)

public:
    StandInPlayer() { media.setMedia(source); } // a file that is not there: only its opening counts
    QObject *mediaObject() { return &media; }
    int playbackState = 1; // playing
    int status = QMediaPlayer::BufferedMedia;
    qint64 position = 0;
    QUrl source = QUrl::fromLocalFile(QStringLiteral("/clips/a.mpg"));
    QMediaPlayer media;

signals:
    void sourceChanged();
};

class TestVideoLoop : public QObject
{
    Q_OBJECT

private slots:
    void opensAStandingPlayerAgain();
};

void TestVideoLoop::opensAStandingPlayerAgain()
{
    StandInPlayer player;
    VideoLoop loop;
    loop.setLimit(200);
    loop.setPlayer(&player);
    QSignalSpy restarted(&loop, &VideoLoop::restarted);
    QSignalSpy opened(&player.media, &QMediaPlayer::mediaChanged);
    // a player moving on through its loops, ending them or paused is left alone
    QElapsedTimer clock;
    for (clock.start(); clock.elapsed() < 1000; QTest::qWait(10))
        player.position = clock.elapsed() % 470;                    // a 0.47 s clip in real time, looping
    emit player.media.mediaStatusChanged(QMediaPlayer::EndOfMedia); // Qt's own loop
    player.playbackState = 2;                                       // paused where it is
    QTest::qWait(500);
    QCOMPARE(restarted.count() + opened.count(), 0);
    // standing: opened again, each further try waiting twice as long (at 0.2, 0.4, 0.8 s)
    player.playbackState = 1;
    QTest::qWait(1100);
    QVERIFY2(restarted.count() >= 1 && restarted.count() <= 3, qPrintable(QString::number(restarted.count())));
    QCOMPARE(opened.count(), 2 * restarted.count()); // each time: no file, then the file again
    // from then on opened again at each end, until another file comes
    const int before = opened.count();
    emit player.media.mediaStatusChanged(QMediaPlayer::EndOfMedia);
    QTRY_VERIFY(opened.count() > before);
    player.source = QUrl::fromLocalFile(QStringLiteral("/clips/b.mp4"));
    emit player.sourceChanged();
    player.playbackState = 2; // no more standing to tell
    const int after = opened.count();
    emit player.media.mediaStatusChanged(QMediaPlayer::EndOfMedia);
    QTest::qWait(50);
    QCOMPARE(opened.count(), after);
}

QTEST_MAIN(TestVideoLoop)
#include "tst_videoloop.moc"
