// A layer whose window chose a video plays a real clip through Qt Multimedia, and keeps looping it.
// The clip is made at test time with gst-launch-1.0 (MJPEG in AVI: only base and good plug-ins).
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQmlExpression>
#include <QQuickItem>
#include <QQuickView>
#include <QTemporaryDir>
#include <QtTest>

class TestMixerRenderVideo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void playsAndLoops();
    void cleanupTestCase();

private:
    QObject *createRender(int index);
    QVariant send(QObject *render, int id, const QString &type, const QVariantMap &params = {});

    QTemporaryDir m_tmp{QDir(qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath())).filePath("video-XXXXXX")};
    QString m_clip;
    QQuickView *m_view = nullptr;
};

void TestMixerRenderVideo::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    m_clip = m_tmp.filePath("clip.avi");
    // 25 frames at 25 fps: a one-second clip, so a few seconds show several loops.
    QProcess gst;
    gst.start(QStringLiteral("gst-launch-1.0"),
              {"-q", "videotestsrc", "num-buffers=25", "!", "video/x-raw,width=320,height=180,framerate=25/1", "!",
               "jpegenc", "!", "avimux", "!", "filesink", "location=" + m_clip});
    QVERIFY2(gst.waitForFinished(30000), "gst-launch-1.0 did not finish");
    QCOMPARE(gst.exitStatus(), QProcess::NormalExit);
    QVERIFY2(gst.exitCode() == 0, gst.readAllStandardError().constData());
    QVERIFY(QFileInfo(m_clip).size() > 0);

    m_view = new QQuickView;
    m_view->engine()->addImportPath(QStringLiteral(ORVANE_BIN_DIR "/plugins"));
    m_view->engine()->addImportPath(QStringLiteral(ORVANE_SOURCE_DIR "/qml"));
    m_view->setSource(QUrl::fromLocalFile(QStringLiteral(ORVANE_SOURCE_DIR "/tests/qml/LayerHost.qml")));
    QVERIFY2(m_view->status() == QQuickView::Ready, qPrintable(m_view->errors().value(0).toString()));
    m_view->resize(960, 540);
    m_view->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_view));
}

void TestMixerRenderVideo::cleanupTestCase() { delete m_view; }

QObject *TestMixerRenderVideo::createRender(int index)
{
    QQmlExpression make(qmlContext(m_view->rootObject()), m_view->rootObject(),
                        QStringLiteral("renderComponent.createObject(host, {index: %1, iLayer: %1})").arg(index));
    return make.evaluate().value<QObject *>();
}

QVariant TestMixerRenderVideo::send(QObject *render, int id, const QString &type, const QVariantMap &params)
{
    QVariant text;
    QMetaObject::invokeMethod(m_view->rootObject(), "record", Q_RETURN_ARG(QVariant, text), Q_ARG(QVariant, id),
                              Q_ARG(QVariant, type), Q_ARG(QVariant, params));
    QVariant result;
    QMetaObject::invokeMethod(m_view->rootObject(), "send", Q_RETURN_ARG(QVariant, result),
                              Q_ARG(QVariant, QVariant::fromValue(render)), Q_ARG(QVariant, text),
                              Q_ARG(QVariant, true));
    return result;
}

void TestMixerRenderVideo::playsAndLoops()
{
    QObject *render = createRender(1);
    QVERIFY(render);
    render->setProperty("media", QUrl::fromLocalFile(m_clip));
    QSignalSpy replies(render, SIGNAL(mixerReply(QString, QVariant)));

    send(render, 1, "DSK_Cue", {{"graphics_id", "CLIP"}});
    QVERIFY(render->property("isLoaded").toBool());
    QCOMPARE(send(render, 1, "DSK_Play", {{"time", 0}}), QVariant(true));
    QVERIFY(render->property("visible").toBool());
    QCOMPARE(replies.count(), 4);

    QObject *player = render->findChild<QObject *>(QStringLiteral("mediaPlayer"));
    QVERIFY2(player, "the layer did not load its video content");
    QCOMPARE(player->property("source").toUrl(), QUrl::fromLocalFile(m_clip));

    // Playing: the position moves on, within the clip's length.
    QTRY_VERIFY_WITH_TIMEOUT(player->property("position").toLongLong() > 200, 15000);
    QCOMPARE(player->property("error").toInt(), 0);
    const qint64 length = player->property("duration").toLongLong();
    QVERIFY2(length >= 800 && length <= 1200, qPrintable(QString::number(length)));

    // Looping: the position comes back to the start and playing goes on past the clip's end.
    int wraps = 0;
    qint64 last = player->property("position").toLongLong();
    QElapsedTimer clock;
    clock.start();
    while (wraps < 2 && clock.elapsed() < 20000) {
        QTest::qWait(20);
        const qint64 now = player->property("position").toLongLong();
        if (now + length / 2 < last)
            ++wraps;
        last = now;
    }
    QVERIFY2(wraps >= 2, qPrintable(QString("wraps=%1 after %2 ms").arg(wraps).arg(clock.elapsed())));
    QCOMPARE(player->property("playbackState").toInt(), 1); // MediaPlayer.PlayingState
    QTRY_VERIFY_WITH_TIMEOUT(player->property("position").toLongLong() > 100, 5000);

    // Eject with the exit flag ends the mixer and unloads the video.
    render->setProperty("requireReset", true);
    send(render, 1, "DSK_Eject");
    QTRY_VERIFY(render->property("mixer").value<QObject *>() == nullptr);
    QVERIFY(!render->findChild<QObject *>(QStringLiteral("mediaPlayer")));
    delete render;
}

QTEST_MAIN(TestMixerRenderVideo)
#include "tst_MixerRender_video.moc"
