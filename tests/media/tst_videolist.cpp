// The list of videos follows the videos folder while the output runs: clips added, removed and
// renamed change which clip each scene plays, and a scene with no clip at its position shows the
// layer's placeholder instead of the video the layer had before. In the output window as the
// program loads it, with real clips playing.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QtTest>

#include "../mainwindow.h"
#include "../orvanetest.h"
#include "videoplayback.h"

class TestVideoList : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp{QDir(qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath())).filePath("list-XXXXXX")};
    QDir m_dir;
    QDateTime m_time = QDateTime::currentDateTime().addSecs(-3600);

    // A short clip of its own colour pattern, each made later than the one before.
    bool makeClip(const QString &name, int pattern)
    {
        QProcess gst;
        gst.start("gst-launch-1.0", {"-q", "videotestsrc", "num-buffers=10", QString("pattern=%1").arg(pattern), "!",
                                     "video/x-raw,width=160,height=90,framerate=25/1", "!", "jpegenc", "!", "avimux",
                                     "!", "filesink", "location=" + m_dir.filePath(name)});
        if (!gst.waitForFinished(60000) || gst.exitCode() != 0)
            return false;
        QFile file(m_dir.filePath(name));
        m_time = m_time.addSecs(60);
        return file.open(QIODevice::ReadWrite) && file.setFileTime(m_time, QFileDevice::FileModificationTime);
    }

    QUrl clip(const QString &name) const { return QUrl::fromLocalFile(m_dir.filePath(name)); }

    static QObject *render(QObject *window, int index)
    {
        QQuickItem *item = nullptr;
        QMetaObject::invokeMethod(window->property("renders").value<QObject *>(), "itemAt",
                                  Q_RETURN_ARG(QQuickItem *, item), Q_ARG(int, index));
        return item;
    }

    // What the layer shows: the name of the clip it plays, or "placeholder".
    static QString shown(QObject *layer)
    {
        QObject *player = layer->findChild<QObject *>(QStringLiteral("mediaPlayer"));
        if (!player)
            return layer->findChild<QObject *>(QStringLiteral("placeholderBox")) ? "placeholder" : "nothing";
        // MediaPlayer.PlayingState, with a picture
        if (player->property("playbackState").toInt() != 1 || !player->property("hasVideo").toBool())
            return "not playing: " + player->property("errorString").toString();
        return QFileInfo(player->property("source").toUrl().toLocalFile()).fileName();
    }

    // Plays `scene` on `layer`; what the layer shows once its content has settled on its media.
    static QString play(QObject *window, int layer, int scene)
    {
        window->setProperty("currentLayer", layer);
        window->setProperty("currentIndex", scene);
        QMetaObject::invokeMethod(window, "send", Q_ARG(QVariant, "DSK_Play"), Q_ARG(QVariant, QVariant()));
        QObject *layerRender = render(window, layer);
        const QUrl media = layerRender->property("media").toUrl();
        const QString expected = media.isEmpty() ? "placeholder" : QFileInfo(media.toLocalFile()).fileName();
        if (!QTest::qWaitFor([&] { return shown(layerRender) == expected; }, 15000))
            qWarning("layer %d still shows %s", layer + 1, qPrintable(shown(layerRender)));
        return shown(layerRender);
    }

    static QStringList listed(QObject *window)
    {
        QStringList names;
        for (const QVariant &file : window->property("medias").toList())
            names << QFileInfo(file.toUrl().toLocalFile()).fileName();
        return names;
    }

private slots:
    void followsTheFolder()
    {
        QVERIFY(m_tmp.isValid());
        QVERIFY(QDir().mkpath(m_tmp.filePath("videos")));
        m_dir.setPath(m_tmp.filePath("videos"));
        for (const char *name : {"a.avi", "b.avi", "c.avi"})
            QVERIFY(makeClip(name, m_dir.count()));

        QQmlApplicationEngine engine;
        engine.setInitialProperties({{"mediaFolder", QUrl::fromLocalFile(m_dir.path() + "/")}});
        QObject *window = loadMainWindow(engine);
        QVERIFY(window);
        QTRY_COMPARE(listed(window), QStringList({"a.avi", "b.avi", "c.avi"}));
        for (int scene = 0; scene < 3; ++scene)
            QCOMPARE(play(window, scene, scene), listed(window)[scene]);

        // while it runs: two clips come, one goes, one is renamed (keeping its age)
        QVERIFY(makeClip("d.avi", 4));
        QVERIFY(makeClip("e.avi", 5));
        QVERIFY(QFile::remove(m_dir.filePath("b.avi")));
        QVERIFY(QFile::rename(m_dir.filePath("a.avi"), m_dir.filePath("z.avi")));
        QTRY_COMPARE(listed(window), QStringList({"z.avi", "c.avi", "d.avi", "e.avi"}));
        QCOMPARE(play(window, 0, 0), "z.avi");
        QCOMPARE(play(window, 1, 1), "c.avi");
        QCOMPARE(play(window, 2, 3), "e.avi");
        // past the end of the list: the layer that played a clip shows its placeholder
        QCOMPARE(play(window, 1, 4), "placeholder");

        QVERIFY(QFile::remove(m_dir.filePath("c.avi")));
        QTRY_COMPARE(listed(window), QStringList({"z.avi", "d.avi", "e.avi"}));
        QCOMPARE(play(window, 2, 3), "placeholder");
        QCOMPARE(play(window, 0, 2), "e.avi");
    }
};

int main(int argc, char **argv)
{
    VideoPlayback videoPlayback;
    QGuiApplication app(argc, argv);
    setOrvaneIdentity();
    TestVideoList test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_videolist.moc"
