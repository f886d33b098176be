// The list of videos follows the videos folder while the window runs (clips added, removed,
// renamed): each scene plays the clip at its position, and a scene past the end of the list shows
// the layer's placeholder instead of the clip the layer played before.
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

    QTemporaryDir m_dir{QDir(qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath())).filePath("list-XXXXXX")};
    QDateTime m_time = QDateTime::currentDateTime().addSecs(-3600);

    // A short MJPEG clip, a minute younger than the one made before.
    bool makeClip(const QString &name)
    {
        const QString path = m_dir.filePath(name);
        const int made = QProcess::execute("gst-launch-1.0", {"-q", "videotestsrc", "num-buffers=10", "!",
                                                              "video/x-raw,width=160,height=90", "!", "jpegenc", "!",
                                                              "avimux", "!", "filesink", "location=" + path});
        QFile file(path);
        m_time = m_time.addSecs(60);
        return made == 0 && file.open(QIODevice::ReadWrite)
               && file.setFileTime(m_time, QFileDevice::FileModificationTime);
    }

    // Plays scene `scene` on layer `layer` (both from 0); what the layer shows once it has settled:
    // the name of the clip it plays, or "placeholder".
    static QString play(QObject *window, int layer, int scene)
    {
        window->setProperty("currentLayer", layer);
        window->setProperty("currentIndex", scene);
        QMetaObject::invokeMethod(window, "send", Q_ARG(QVariant, "DSK_Play"), Q_ARG(QVariant, QVariant()));
        QQuickItem *render = nullptr;
        QMetaObject::invokeMethod(window->property("renders").value<QObject *>(), "itemAt",
                                  Q_RETURN_ARG(QQuickItem *, render), Q_ARG(int, layer));
        const auto shown = [render]() -> QString {
            QObject *player = render->findChild<QObject *>(QStringLiteral("mediaPlayer"));
            if (!player)
                return render->findChild<QObject *>(QStringLiteral("placeholderBox")) ? "placeholder" : "";
            const bool playing =
                player->property("playbackState").toInt() == 1 && player->property("hasVideo").toBool();
            return playing ? player->property("source").toUrl().fileName() : "";
        };
        const QString media = render->property("media").toUrl().fileName();
        const QString expected = media.isEmpty() ? "placeholder" : media;
        return QTest::qWaitFor([&] { return shown() == expected; }, 15000) ? expected : shown();
    }

    static QStringList listed(QObject *window)
    {
        QStringList names;
        for (const QVariant &file : window->property("medias").toList())
            names << file.toUrl().fileName();
        return names;
    }

private slots:
    void followsTheFolder()
    {
        for (const char *name : {"a.avi", "b.avi", "c.avi"})
            QVERIFY(makeClip(name));
        QQmlApplicationEngine engine;
        engine.setInitialProperties({{"mediaFolder", QUrl::fromLocalFile(m_dir.path() + "/")}});
        QObject *window = loadMainWindow(engine);
        QVERIFY(window);
        QTRY_COMPARE(listed(window), QStringList({"a.avi", "b.avi", "c.avi"}));
        QCOMPARE(QStringList({play(window, 0, 0), play(window, 1, 1), play(window, 2, 2)}), listed(window));

        // two clips come, one goes, one is renamed (keeping its age)
        QVERIFY(makeClip("d.avi") && makeClip("e.avi"));
        QVERIFY(QFile::remove(m_dir.filePath("b.avi")));
        QVERIFY(QFile::rename(m_dir.filePath("a.avi"), m_dir.filePath("z.avi")));
        QTRY_COMPARE(listed(window), QStringList({"z.avi", "c.avi", "d.avi", "e.avi"}));
        QCOMPARE(QStringList({play(window, 0, 0), play(window, 1, 1), play(window, 2, 3), play(window, 1, 4)}),
                 QStringList({"z.avi", "c.avi", "e.avi", "placeholder"}));
        QVERIFY(QFile::remove(m_dir.filePath("c.avi")));
        QTRY_COMPARE(listed(window), QStringList({"z.avi", "d.avi", "e.avi"}));
        QCOMPARE(QStringList({play(window, 2, 3), play(window, 0, 2)}), QStringList({"placeholder", "e.avi"}));
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
