// The guard of a looping video, against a stand-in for the QML MediaPlayer whose position the test
// moves: a player moving on (through its loops) is left alone, a paused or loading one too; one
// that stands is opened again, at growing intervals, and from then on at each end of its file
// until another file comes.
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
    int playbackState = 1; // playing
    int status = QMediaPlayer::BufferedMedia;
    qint64 position = 0;
    QUrl source = QUrl::fromLocalFile(QStringLiteral("/clips/a.mpg"));
    QMediaPlayer media;
    QObject *mediaObject() { return &media; }

    StandInPlayer() { media.setMedia(source); } // a file that is not there: only its opening counts

signals:
    void sourceChanged();
};

class TestVideoLoop : public QObject
{
    Q_OBJECT

private slots:
    void leavesMovingPausedAndLoadingPlayersAlone();
    void opensAStandingPlayerAgainThenAtEachEnd();
};

void TestVideoLoop::leavesMovingPausedAndLoadingPlayersAlone()
{
    StandInPlayer player;
    VideoLoop loop;
    loop.setLimit(200);
    loop.setPlayer(&player);
    QSignalSpy restarted(&loop, &VideoLoop::restarted);
    // a 0.47 s clip playing in real time, looping
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1500) {
        player.position = clock.elapsed() % 470;
        QTest::qWait(10);
    }
    QCOMPARE(restarted.count(), 0);
    player.playbackState = 2; // paused where it is
    QTest::qWait(600);
    player.playbackState = 1;
    player.status = QMediaPlayer::LoadingMedia;
    QTest::qWait(600);
    QCOMPARE(restarted.count(), 0);
}

void TestVideoLoop::opensAStandingPlayerAgainThenAtEachEnd()
{
    StandInPlayer player;
    VideoLoop loop;
    loop.setLimit(200);
    loop.setPlayer(&player);
    QSignalSpy restarted(&loop, &VideoLoop::restarted);
    QSignalSpy opened(&player.media, &QMediaPlayer::mediaChanged);
    // before any standing, the end of the file is Qt's to loop
    emit player.media.mediaStatusChanged(QMediaPlayer::EndOfMedia);
    QTest::qWait(50);
    QCOMPARE(opened.count(), 0);

    // standing at 0: opened again, then each further try waits twice as long
    QElapsedTimer clock;
    clock.start();
    QList<qint64> at;
    while (at.size() < 4 && clock.elapsed() < 5000) {
        QTest::qWait(10);
        if (restarted.count() > at.size())
            at.append(clock.elapsed());
    }
    QCOMPARE(at.size(), 4);
    QVERIFY(at[0] >= 180);
    QVERIFY2(at[3] - at[2] >= 2 * (at[2] - at[1]) - 60, qPrintable(QString::number(at[3] - at[2])));
    QVERIFY(opened.count() >= 8); // each time: no file, then the file again

    // from then on, opened again at the end of each loop, until another file comes
    const int before = opened.count();
    emit player.media.mediaStatusChanged(QMediaPlayer::EndOfMedia);
    QTRY_VERIFY(opened.count() > before);
    player.source = QUrl::fromLocalFile(QStringLiteral("/clips/b.mp4"));
    emit player.sourceChanged();
    player.playbackState = 2;
    const int after = opened.count();
    emit player.media.mediaStatusChanged(QMediaPlayer::EndOfMedia);
    QTest::qWait(50);
    QCOMPARE(opened.count(), after);
}

QTEST_MAIN(TestVideoLoop)
#include "tst_videoloop.moc"
