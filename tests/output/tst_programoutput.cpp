// The program output on the output window's own document, loaded in this process with a real
// ProgramOutput and real GStreamer pipelines: frames written by a real encoder and read back,
// the clean feed windows on the test's display, and a pipeline that fails while the window goes on.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

#include "../utils/mainwindow.h"
#include "../utils/orvanetest.h"
#include "framepixels.h"
#include "programoptions.h"
#include "programoutput.h"

namespace {

// Layer 3's placeholder: a yellow box of a quarter frame, its left edge at 3 x 1920 / 12, turning
// around its centre, which it always covers within a radius of half its height.
const QPoint layer3Centre(480 + 240, 540);
const QRgb yellow = qRgb(255, 255, 0);

// Share of the pixels within `radius` of `centre` that are `colour` (alpha ignored).
double shareOf(const QImage &image, QPoint centre, int radius, QRgb colour)
{
    int hits = 0, all = 0;
    for (int y = centre.y() - radius; y <= centre.y() + radius; y += 3) {
        for (int x = centre.x() - radius; x <= centre.x() + radius; x += 3) {
            if ((x - centre.x()) * (x - centre.x()) + (y - centre.y()) * (y - centre.y()) > radius * radius)
                continue;
            ++all;
            if ((image.pixel(x, y) & 0xffffff) == (colour & 0xffffff))
                ++hits;
        }
    }
    return all ? double(hits) / all : 0;
}

QStringList framesIn(const QString &dir)
{
    return QDir(dir).entryList({QStringLiteral("f*.png")}, QDir::Files, QDir::Name);
}

// Waits (at most 30 s) until the newest complete frame written into `dir` passes `test`.
bool waitForFrame(const QString &dir, const std::function<bool(const QImage &)> &test)
{
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        const QStringList frames = framesIn(dir);
        // the newest may still be being written: the one before it is complete
        if (frames.size() >= 2) {
            const QImage frame =
                QImage(dir + "/" + frames.at(frames.size() - 2)).convertToFormat(QImage::Format_ARGB32);
            if (!frame.isNull() && test(frame))
                return true;
        }
        QTest::qWait(300);
    }
    return false;
}

} // namespace

class TestProgramOutput : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    std::unique_ptr<ProgramOutput> m_output;
    std::unique_ptr<ProgramOptions> m_options;
    QTemporaryDir m_tmp{QDir(qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath())).filePath("outXXXXXX")};

    QQuickWindow *start(const QStringList &pipelines, int fps, const QStringList &arguments = {})
    {
        QString error;
        m_output = ProgramOutput::create(pipelines, fps, 1, &error);
        if (!m_output) {
            qWarning() << error;
            return nullptr;
        }
        m_options = std::make_unique<ProgramOptions>();
        if (m_options->parse(arguments).exitCode >= 0)
            return nullptr;
        m_engine = std::make_unique<QQmlApplicationEngine>();
        m_engine->setInitialProperties(
            {{QStringLiteral("programOptions"), QVariant::fromValue<QObject *>(m_options.get())},
             {QStringLiteral("programOutput"), QVariant::fromValue<QObject *>(m_output.get())}});
        return loadMainWindow(*m_engine);
    }

    void stop()
    {
        if (m_output)
            m_output->finish();
        m_engine.reset();
        m_output.reset();
    }

    static void play(QQuickWindow *window, int layer)
    {
        window->setProperty("currentLayer", layer - 1);
        window->setProperty("currentIndex", 1);
        QMetaObject::invokeMethod(window, "send", Q_ARG(QVariant, QStringLiteral("DSK_Play")),
                                  Q_ARG(QVariant, QVariant()));
    }

    // A blue marker at the atlas's top-left corner: tells the top of a frame from its bottom.
    QQuickItem *addMarker(QQuickWindow *window)
    {
        auto *atlas = window->property("atlas").value<QQuickItem *>();
        QQmlComponent component(m_engine.get());
        component.setData("import QtQuick 2.12\nRectangle { width: 200; height: 100; color: \"blue\" }", QUrl());
        auto *marker = qobject_cast<QQuickItem *>(component.create());
        if (marker && atlas)
            marker->setParentItem(atlas->childItems().value(0, atlas));
        return marker;
    }

private slots:
    void initTestCase()
    {
        setOrvaneIdentity();
        QVERIFY(m_tmp.isValid());
    }

    void cleanup() { stop(); }

    void pixelsLeaveWithStraightAlpha()
    {
        // premultiplied as the scene graph draws them: half red, opaque, transparent, a quarter orange
        const uint8_t premultiplied[] = {128, 0, 0, 128, 10, 20, 30, 255, 0, 0, 0, 0, 64, 32, 0, 64};
        uint8_t out[16];
        framepixels::toStraight(premultiplied, out, 4);
        const uint8_t straight[] = {255, 0, 0, 128, 10, 20, 30, 255, 0, 0, 0, 0, 255, 128, 0, 64};
        QCOMPARE(QByteArray(reinterpret_cast<char *>(out), 16),
                 QByteArray(reinterpret_cast<const char *>(straight), 16));
        // a colour brighter than its alpha (not valid premultiplied) stays within range
        const uint8_t bright[] = {200, 0, 0, 100};
        framepixels::toStraight(bright, out, 1);
        QCOMPARE(int(out[0]), 255);
        QCOMPARE(int(out[3]), 100);
    }

    void framesOfThePipelineShowTheLayersWithAlpha()
    {
        const QString dir = m_tmp.filePath("frames");
        QVERIFY(QDir().mkpath(dir));
        QQuickWindow *window =
            start({"videoconvert ! pngenc compression-level=1 ! multifilesink location=" + dir + "/f%05d.png"}, 5);
        QVERIFY(window);
        QVERIFY(addMarker(window));
        QTRY_VERIFY_WITH_TIMEOUT(framesIn(dir).size() >= 1, 20000);
        play(window, 3);
        // frames already queued in the pipeline come out first: wait for one written after Play
        QVERIFY(waitForFrame(dir, [](const QImage &frame) { return shareOf(frame, layer3Centre, 130, yellow) > 0.5; }));
        stop();

        const QStringList frames = framesIn(dir);
        QImage last(dir + "/" + frames.last());
        QCOMPARE(last.size(), QSize(1920, 1080));
        QVERIFY2(last.hasAlphaChannel(), qPrintable(frames.last()));
        last = last.convertToFormat(QImage::Format_ARGB32);
        // the layer where it sits in the atlas, opaque
        QVERIFY2(shareOf(last, layer3Centre, 130, yellow) > 0.5, qPrintable(frames.last()));
        QCOMPARE(qAlpha(last.pixel(layer3Centre)), 255);
        // the marker at the top left, and nothing where no layer is shown
        QCOMPARE(last.pixel(20, 20), qRgb(0, 0, 255));
        QCOMPARE(qAlpha(last.pixel(20, 1060)), 0);
        QCOMPARE(qAlpha(last.pixel(1900, 540)), 0);
        // the first frame, before Play, had no layer
        QImage first = QImage(dir + "/" + frames.first()).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(shareOf(first, layer3Centre, 130, yellow), 0.0);
    }

    // The built-in lower third as a new user plays it: its scene's container names it and holds
    // the data; Play from the window; the frames show it with that data.
    void aTemplateReachesTheOutputWithItsData()
    {
        const QString data = m_tmp.filePath("scenes");
        QVERIFY(QDir().mkpath(data + "/SCENE-02"));
        QFile container(data + "/SCENE-02/SCENE-02.gfxc");
        QVERIFY(container.open(QIODevice::WriteOnly));
        container.write(R"({"graphics_id": "SCENE-02", "template_name": "lower-third", "template_params": [
                            {"name": "name", "value": "Ada Lovelace"}, {"name": "title", "value": "Mathematician"}]})");
        container.close();
        const QString dir = m_tmp.filePath("template-frames");
        QVERIFY(QDir().mkpath(dir));
        QQuickWindow *window =
            start({"videoconvert ! pngenc compression-level=1 ! multifilesink location=" + dir + "/f%05d.png"}, 5);
        QVERIFY(window);
        window->setProperty("dataUrl", QUrl::fromLocalFile(data).toString());
        QTRY_VERIFY_WITH_TIMEOUT(framesIn(dir).size() >= 1, 20000);
        play(window, 1);
        // the accent bar at the left of the plate, a tenth of the frame in from the left and bottom,
        // and the name in white on the dark panel above the title
        const auto accent = [](const QImage &frame, QRgb colour) {
            return (frame.pixel(198, 900) & 0xffffff) == (colour & 0xffffff) && qAlpha(frame.pixel(198, 900)) == 255;
        };
        QImage shown;
        QVERIFY(waitForFrame(dir, [&](const QImage &frame) {
            shown = frame;
            return accent(frame, qRgb(0xf2, 0xa9, 0x00));
        }));
        int white = 0;
        for (int x = 240; x < 700; x += 2)
            white += (shown.pixel(x, 848) & 0xffffff) == 0xffffff ? 1 : 0;
        QVERIFY2(white > 10, "the name is written on the plate");
        QCOMPARE(qAlpha(shown.pixel(1700, 300)), 0);
    }

    void aFailingSinkIsANumberedErrorAndTheWindowGoesOn()
    {
        // /dev/full takes the file open and refuses every write: the sink fails on the first frame
        QQuickWindow *window = start({"fakesink", "filesink location=/dev/full"}, 10);
        QVERIFY(window);
        QTRY_VERIFY_WITH_TIMEOUT(window->property("errorn").toInt() >= 1, 20000);
        const QString error = window->property("error").toString();
        QVERIFY2(error.contains("Error Output 2 stopped: filesink0"), qPrintable(error));
        QCOMPARE(window->property("errorn").toInt(), 1);
        // the window and its layers go on
        play(window, 2);
        QObject *renders = window->property("renders").value<QObject *>();
        QQuickItem *layer = nullptr;
        QMetaObject::invokeMethod(renders, "itemAt", Q_RETURN_ARG(QQuickItem *, layer), Q_ARG(int, 1));
        QVERIFY(layer);
        QTRY_VERIFY(layer->isVisible());
        const long long sent = m_output->framesSent();
        QTRY_VERIFY(m_output->framesSent() > sent + 2);
        QCOMPARE(window->property("errorn").toInt(), 1);
    }

    void feedWindowsShowTheCompositeAloneAndItsKey()
    {
        QQuickWindow *window = start({}, 25, {"--program", "0", "--key"});
        QVERIFY(window);
        auto *program = window->property("programWindow").value<QQuickWindow *>();
        auto *key = window->property("keyWindow").value<QQuickWindow *>();
        QVERIFY(program);
        QVERIFY(key);
        QCOMPARE(program->title(), QStringLiteral("Orvane program"));
        QCOMPARE(key->title(), QStringLiteral("Orvane key"));
        QTRY_COMPARE(program->visibility(), QWindow::FullScreen);
        QCOMPARE(key->visibility(), QWindow::Windowed);
        QVERIFY(QTest::qWaitForWindowExposed(program));
        play(window, 3);
        key->raise();
        program->raise();
        program->requestActivate();

        // what the screen shows: the program window over everything, the composite alone
        QImage screen;
        QTRY_VERIFY_WITH_TIMEOUT((screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage(),
                                  shareOf(screen, layer3Centre, 130, yellow) > 0.5),
                                 20000);
        screen = screen.convertToFormat(QImage::Format_RGB32);
        QCOMPARE(screen.size(), QSize(1920, 1080));
        // transparent areas black, no control bar, clock or error list
        for (const QPoint &corner :
             {QPoint(5, 5), QPoint(1915, 5), QPoint(5, 1075), QPoint(1915, 1075), QPoint(800, 30)})
            QCOMPARE(screen.pixel(corner), qRgb(0, 0, 0));

        // the key: the layer's box white, everything else black
        QImage keyImage;
        QTRY_VERIFY_WITH_TIMEOUT(
            (keyImage = key->grabWindow(),
             shareOf(keyImage, QPoint(layer3Centre.x() * key->width() / 1920, layer3Centre.y() * key->height() / 1080),
                     100 * key->height() / 1080, qRgb(255, 255, 255))
                 > 0.9),
            20000);
        QCOMPARE(keyImage.pixel(keyImage.width() - 5, keyImage.height() / 2) & 0xffffff, 0u);
        // both drawn from the output's own textures: no frame was copied through main memory for them
        QVERIFY(m_output->sharesTextures());
        QVERIFY(m_output->viewImage().isNull());

        // closing the output window closes the feeds
        window->close();
        QTRY_VERIFY(!program->isVisible());
        QVERIFY(!key->isVisible());
    }

    void aStraightAlphaVideoLooksTheSameInThePreviewTheFeedAndTheOutput()
    {
        // half-transparent orange in straight alpha (ProRes 4444), from the bottom edge to above the middle
        const QString clip = m_tmp.filePath("alpha.mov"), dir = m_tmp.filePath("alpha");
        const QString make = "-q videotestsrc num-buffers=50 pattern=solid-color foreground-color=0x80ff8000 ! "
                             "video/x-raw,format=BGRA,width=320,height=720 ! videoconvert ! video/x-raw,format="
                             "A444_10LE ! avenc_prores_ks profile=4444 ! qtmux ! filesink location=";
        QVERIFY(QProcess::execute("gst-launch-1.0", (make + clip).split(' ')) == 0 && QDir().mkpath(dir));
        QQuickWindow *window =
            start({"videoconvert ! pngenc compression-level=1 ! multifilesink location=" + dir + "/f%05d.png"}, 5,
                  {"--program", "0"});
        QVERIFY(window);
        play(window, 4); // the video on layer 5, over the middle of layer 4's green box
        // a videos folder whose second clip (the scene that play() picks) is this one
        const QString videos = m_tmp.filePath("alpha-videos");
        QVERIFY(QDir().mkpath(videos) && QFile::copy(clip, videos + "/a.mov") && QFile::copy(clip, videos + "/b.mov"));
        QVERIFY(window->setProperty("mediaFolder", QUrl::fromLocalFile(videos + "/")));
        QTRY_COMPARE(window->property("medias").toList().size(), 2);
        play(window, 5);
        const QPoint overLayer(880, 540), overNothing(960, 1000);
        QImage frame;
        QVERIFY(waitForFrame(dir, [&](const QImage &f) { return qAlpha((frame = f).pixel(overNothing)) > 0; }));
        // it blends over the layer under it instead of covering it
        QCOMPARE(qAlpha(frame.pixel(overLayer)), 255);
        // the preview shows the output's pixels over its grey, the fill window over black
        const auto shows = [](QRgb seen, QRgb out, int grey) {
            const auto near = [&](int s, int c) {
                return qAbs(s - (c * qAlpha(out) + grey * (255 - qAlpha(out))) / 255) < 4;
            };
            return near(qRed(seen), qRed(out)) && near(qGreen(seen), qGreen(out)) && near(qBlue(seen), qBlue(out));
        };
        auto *program = window->property("programWindow").value<QQuickWindow *>();
        for (const QPoint &at : {overLayer, overNothing}) {
            const QPoint inPreview(at.x() * 1600 / 1920, 15 + at.y() * 900 / 1080);
            QTRY_VERIFY(shows(window->grabWindow().pixel(inPreview), frame.pixel(at), 0x33));
            QTRY_VERIFY(shows(program->grabWindow().pixel(at), frame.pixel(at), 0));
        }
    }
};

QTEST_MAIN(TestProgramOutput)

#include "tst_programoutput.moc"
