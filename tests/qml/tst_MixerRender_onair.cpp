// What is on air, end to end: the real program with --control and an --output of tiny raw frames.
// After a Play ejected 0.1 s later (Eject, Eject All) and a Play of a video that cannot play, the
// output's frames, the tally and `state` say that nothing is on air; a Play that stays shows.
#include <QJsonArray>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include "../control/lineclient.h"
#include "../utils/orvaneprocess.h"

class TestMixerRenderOnAir : public QObject
{
    Q_OBJECT

private slots:
    void nothingOnAirAfterQuickEjectsAndAFailedVideo()
    {
        QTemporaryDir tmp(QDir(qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath())).filePath("onair-XXXXXX"));
        QVERIFY(QDir().mkpath(tmp.filePath("videos")));
        QFile broken(tmp.filePath("videos/01-broken.mp4"));
        QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("no video in here\n") > 0);
        broken.close();
        const QString raw = tmp.filePath("frames.raw");
        const qint64 frameBytes = 64 * 36 * 4; // RGBA
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        OrvaneProcess program;
        QVERIFY(program.start(
            ORVANE_BIN_DIR "/Orvane",
            {"--control", QString::number(port), "--videos", tmp.filePath("videos"), "--fps", "10",
             "--output", // unbuffered: a frame is in the file as soon as it is sent
             "videoscale ! video/x-raw,width=64,height=36 ! filesink buffer-mode=unbuffered location=" + raw},
            OrvaneProcess::environment(tmp.filePath("home"))));
        const auto ready = [port] {
            LineClient p(port);
            return p.connected() && p.ask("{\"do\":\"scenes\"}").contains("scenes");
        };
        QVERIFY2(QTest::qWaitFor(ready, 30000), qPrintable(program.output().right(3000)));
        // the frames sent from now on, once `count` have come
        const auto nextFrames = [&](int count) {
            const qint64 first = QFileInfo(raw).size() / frameBytes;
            QFile file(raw);
            if (!QTest::qWaitFor([&] { return QFileInfo(raw).size() >= (first + count) * frameBytes; }, 20000)
                || !file.open(QIODevice::ReadOnly) || !file.seek(first * frameBytes))
                return QList<QByteArray>();
            QList<QByteArray> frames;
            for (int i = 0; i < count; ++i)
                frames << file.read(frameBytes);
            return frames;
        };
        const QByteArray empty = nextFrames(3).value(2);
        QCOMPARE(empty.size(), frameBytes);

        LineClient c(port);
        QVERIFY(c.connected() && c.ask("{\"do\":\"subscribe\"}").value("ok").toBool());
        const auto ask = [&](const QByteArray &request) { QVERIFY(c.ask(request).value("ok").toBool()); };
        const auto layer = [&](int n) { return c.ask("{\"do\":\"state\"}").value("layers")[n - 1].toObject(); };
        const auto tally = [&](int n) {
            return c.event([n](const QJsonObject &e) { return e.value("event") == "tally" && e.value("layer") == n; });
        };
        // Play, and Eject 0.1 s later, before the Play falls due; the same with Eject All
        ask("{\"do\":\"play\",\"layer\":3,\"scene\":\"SCENE-02\"}");
        QTest::qWait(100);
        ask("{\"do\":\"eject\",\"layer\":3}");
        ask("{\"do\":\"play\",\"layer\":5,\"scene\":\"SCENE-03\"}");
        QTest::qWait(100);
        ask("{\"do\":\"ejectAll\"}");
        // once a Play and Stop sent after them have taken their layer on and off air, both Plays
        // above have fallen due
        ask("{\"do\":\"play\",\"layer\":7,\"scene\":\"SCENE-04\"}");
        ask("{\"do\":\"stop\",\"layer\":7,\"scene\":\"SCENE-04\"}");
        QCOMPARE(tally(7).value("onAir"), QJsonValue(true));
        QCOMPARE(tally(7).value("onAir"), QJsonValue(false));
        // a video that cannot play: listed as a problem
        ask("{\"do\":\"play\",\"layer\":1,\"scene\":\"SCENE-01\"}");
        QVERIFY(!c.event([](const QJsonObject &e) {
                      return e.value("event") == "problem" && e.value("text").toString().contains("01-broken.mp4");
                  }).isEmpty());

        for (int n : {3, 5, 1}) {
            QVERIFY2(!layer(n).value("onAir").toBool(), qPrintable(QString("layer %1 in state").arg(n)));
            QJsonValue onAir; // the latest tally of the layer
            for (const QJsonObject &e : c.events)
                onAir = e.value("event") == "tally" && e.value("layer") == n ? e.value("onAir") : onAir;
            QCOMPARE(onAir, QJsonValue(false));
        }
        QCOMPARE(layer(1).value("loaded").toBool(), true);
        // the output draws ahead: the two frames next may have been drawn before the checks above
        for (const QByteArray &frame : nextFrames(7).mid(2))
            QVERIFY2(frame == empty, "a layer is drawn in the program output");
        // the layer's latest state: the Stop is answered when it takes the layer off air
        QCOMPARE(layer(7).value("status").toString(), QStringLiteral("Stop"));

        // what stays on air shows in all three
        ask("{\"do\":\"play\",\"layer\":3,\"scene\":\"SCENE-02\"}");
        QCOMPARE(tally(3).value("onAir"), QJsonValue(true));
        QCOMPARE(layer(3).value("onAir").toBool(), true);
        QVERIFY2(nextFrames(5).value(4) != empty, "the playing layer is not in the program output");
    }
};

QTEST_GUILESS_MAIN(TestMixerRenderOnAir)
#include "tst_MixerRender_onair.moc"
