// Videos that cannot play, in the output window as the program wires it (its videos folder given
// by the test, the check that explains a failure): a truncated file, a file with a video's name
// that holds text, and an H.264 clip on a machine without an H.264 decoder (this process hides
// every H.264 decoder from GStreamer before it starts) each give one numbered Error naming the
// layer, the file and the player's message, in the list and in Errors.txt; the layer answers its
// commands all the while, and the same file failing again on the same layer is not listed again.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QtTest>

#include "../utils/mainwindow.h"
#include "../utils/orvanetest.h"
#include "videocheck.h"
#include "videoplayback.h"

namespace {

const QString video = QStringLiteral("videotestsrc num-buffers=25 ! video/x-raw,format=I420,width=320,height=180,"
                                     "framerate=25/1 ! ");

} // namespace

class TestVideoErrors : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp{QDir(qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath())).filePath("errors-XXXXXX")};
    QString m_dir;
    QStringList m_files; // oldest first: the media list's order, one per scene
    QString m_clip;      // plays with the installed decoders

    QString makeClip(const QString &path, const QString &pipeline)
    {
        QProcess gst;
        gst.start(QStringLiteral("gst-launch-1.0"),
                  QStringList{"-q"} + QString(pipeline + "filesink location=" + path).split(' ', Qt::SkipEmptyParts));
        if (!gst.waitForFinished(60000) || gst.exitCode() != 0) {
            qWarning("%s", gst.readAllStandardError().constData());
            return QString();
        }
        return path;
    }

    static QObject *render(QObject *window, int index)
    {
        auto *renders = window->property("renders").value<QObject *>();
        QQuickItem *item = nullptr;
        if (renders)
            QMetaObject::invokeMethod(renders, "itemAt", Q_RETURN_ARG(QQuickItem *, item), Q_ARG(int, index));
        return item;
    }

    static void send(QObject *window, int layer, int scene, const QString &type)
    {
        window->setProperty("currentLayer", layer);
        window->setProperty("currentIndex", scene);
        QMetaObject::invokeMethod(window, "send", Q_ARG(QVariant, type), Q_ARG(QVariant, QVariant()));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        m_dir = m_tmp.filePath("videos");
        QVERIFY(QDir().mkpath(m_dir));
        const QString whole =
            makeClip(m_tmp.filePath("whole.mp4"), video + "x264enc speed-preset=ultrafast ! h264parse ! mp4mux ! ");
        QVERIFY(!whole.isEmpty());
        m_clip = makeClip(m_tmp.filePath("clip.avi"), video + "jpegenc ! avimux ! ");
        QVERIFY(!m_clip.isEmpty());

        QFile in(whole);
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray bytes = in.readAll();
        const QList<QPair<QString, QByteArray>> files{{"truncated.mp4", bytes.left(bytes.size() / 2)},
                                                      {"notes.wmv", "Running order, second half:\n1. headlines\n"},
                                                      {"h264.mp4", bytes}};
        QDateTime time = QDateTime::currentDateTime().addSecs(-600);
        for (const auto &f : files) {
            QFile out(m_dir + "/" + f.first);
            QVERIFY(out.open(QIODevice::WriteOnly));
            QCOMPARE(out.write(f.second), qint64(f.second.size()));
            QVERIFY(out.flush()); // a write at closing would set the time again
            time = time.addSecs(60);
            QVERIFY(out.setFileTime(time, QFileDevice::FileModificationTime));
            m_files << out.fileName();
        }
    }

    // The check alone: what it says of each file, blocking and from a thread of its own.
    void checkNamesTheProblem()
    {
        QCOMPARE(VideoCheck::problem(QUrl::fromLocalFile(m_clip)), QString());
        const QString missing = VideoCheck::problem(QUrl::fromLocalFile(m_files[2]));
        QVERIFY2(missing.startsWith("missing plug-in: ") && missing.contains("H.264"), qPrintable(missing));
        QVERIFY(!VideoCheck::problem(QUrl::fromLocalFile(m_files[0]), 1000).isEmpty());
        QVERIFY(!VideoCheck::problem(QUrl::fromLocalFile(m_files[1])).isEmpty());
        QVERIFY(!VideoCheck::problem(QUrl::fromLocalFile(m_dir + "/gone.avi")).isEmpty());
        QCOMPARE(VideoCheck::problem(QUrl("http://media.example/clip.mp4")), QStringLiteral("not a local file"));

        VideoCheck check;
        QSignalSpy checked(&check, &VideoCheck::checked);
        check.check(QUrl::fromLocalFile(m_files[2]));
        QTRY_COMPARE_WITH_TIMEOUT(checked.count(), 1, 15000);
        QCOMPARE(checked.first().at(0).toUrl(), QUrl::fromLocalFile(m_files[2]));
        QCOMPARE(checked.first().at(1).toString(), missing);
    }

    void windowListsEachOnce()
    {
        VideoCheck check;
        QQmlApplicationEngine engine;
        engine.setInitialProperties({{"videoCheck", QVariant::fromValue<QObject *>(&check)},
                                     {"mediaFolder", QUrl::fromLocalFile(m_dir + "/")}});
        loadMainDocument(engine);
        QCOMPARE(engine.rootObjects().size(), 1);
        QObject *window = engine.rootObjects().first();
        QTRY_COMPARE_WITH_TIMEOUT(window->property("medias").toList().size(), 3, 10000);
        const QVariantList medias = window->property("medias").toList();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(medias[i].toUrl(), QUrl::fromLocalFile(m_files[i]));
        QSignalSpy listed(window, SIGNAL(problemListed(int, QString, QString)));

        const QStringList expected{"Error Layer1 Video SCENE-01: " + m_files[0] + ": ",
                                   "Error Layer2 Video SCENE-02: " + m_files[1] + ": Could not determine type",
                                   "Error Layer3 Video SCENE-03: " + m_files[2] + ": "};
        for (int i = 0; i < 3; ++i) {
            const double guid = window->property("guid").toDouble();
            send(window, i, i, "DSK_Play");
            QCOMPARE(window->property("guid").toDouble(), guid + 2); // Cue and Play
            QVERIFY(render(window, i)->property("isLoaded").toBool());
            QTRY_COMPARE_WITH_TIMEOUT(listed.count(), i + 1, 15000);
            const QString text = listed.last().at(2).toString();
            QVERIFY2(text.startsWith(expected[i]), qPrintable(text));
            QCOMPARE(listed.last().at(1).toString(), QStringLiteral("Error"));
        }
        const QString missingText = listed.last().at(2).toString();
        QVERIFY2(missingText.contains("missing plug-in: ") && missingText.contains("H.264"), qPrintable(missingText));
        const int first = listed.first().at(0).toInt();
        QCOMPARE(listed.last().at(0).toInt(), first + 2);

        // the layer still answers: Stop, Eject and a new Cue reach it and are answered
        QObject *layer2 = render(window, 1);
        QSignalSpy replies(layer2, SIGNAL(mixerReply(QString, QVariant)));
        send(window, 1, 1, "DSK_Eject");
        QVERIFY(!layer2->property("isLoaded").toBool());
        send(window, 1, 1, "DSK_Cue");
        QVERIFY(layer2->property("isLoaded").toBool());
        QVERIFY(replies.count() >= 3);

        // the same file on the same layer again, with a new player: not listed again
        layer2->setProperty("requireReset", true);
        send(window, 1, 1, "DSK_Eject");
        QTRY_VERIFY(layer2->property("mixer").value<QObject *>() == nullptr);
        QSignalSpy failedAgain(layer2, SIGNAL(videoFailed(QUrl, QString, bool)));
        send(window, 1, 1, "DSK_Play");
        QObject *player = layer2->findChild<QObject *>(QStringLiteral("mediaPlayer"));
        QVERIFY(player);
        QTRY_VERIFY_WITH_TIMEOUT(player->property("error").toInt() != 0, 15000);
        QCOMPARE(failedAgain.count(), 0);
        QCOMPARE(listed.count(), 3);

        // and on another layer it is listed for that layer
        send(window, 3, 1, "DSK_Play");
        QTRY_COMPARE_WITH_TIMEOUT(listed.count(), 4, 15000);
        QVERIFY(listed.last().at(2).toString().startsWith("Error Layer4 Video SCENE-02: " + m_files[1]));

        // every listed line is in Errors.txt, numbered
        QFile log(qEnvironmentVariable("logDir") + "/Errors.txt");
        QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(log.fileName()));
        const QString logged = QString::fromUtf8(log.readAll());
        for (const QList<QVariant> &entry : listed)
            QVERIFY2(logged.contains(QString::number(entry.at(0).toInt()) + ". " + entry.at(2).toString()),
                     qPrintable(logged));
        QVERIFY(window->property("error").toString().contains(m_files[0]));
    }
};

int main(int argc, char **argv)
{
    // no H.264 decoder for this process: GStreamer reads the ranks when it starts
    qputenv("GST_PLUGIN_FEATURE_RANK", "avdec_h264:NONE,openh264dec:NONE,vah264dec:NONE,vaapih264dec:NONE,"
                                       "nvh264dec:NONE,v4l2h264dec:NONE,v4l2slh264dec:NONE,msdkh264dec:NONE");
    VideoPlayback videoPlayback;
    QGuiApplication app(argc, argv);
    setOrvaneIdentity();
    TestVideoErrors test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_videoerrors.moc"
