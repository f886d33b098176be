// The program output does not ride on the operator's window: the real program, its output frames
// written as files, a layer played through the control port. With the window minimised under a
// window manager the frames go on changing and show the new layer; with --headless there is no
// window and no display at all, and the frames and the control port work the same.
#include <QDir>
#include <QImage>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

#include "../control/lineclient.h"
#include "../utils/orvaneprocess.h"

namespace {

const QString program = QStringLiteral(ORVANE_BIN_DIR "/Orvane");

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

int xclose(qint64 pid, const QString &mode)
{
    QProcess helper;
    helper.start(QStringLiteral(ORVANE_XCLOSE), {QString::number(pid), "Orvane", mode});
    return helper.waitForFinished(10000) ? helper.exitCode() : -1;
}

QStringList framesIn(const QString &dir) { return QDir(dir).entryList({"*.png"}, QDir::Files, QDir::Name); }

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Layer 3's placeholder is a yellow box (frames scaled to 480 x 270).
bool showsLayer3(const QImage &frame)
{
    int yellow = 0;
    for (int y = 0; y < frame.height(); y += 2)
        for (int x = 0; x < frame.width(); x += 2)
            yellow += (frame.pixel(x, y) & 0xffe0e0e0) == 0xffe0e000;
    return yellow > 200;
}

} // namespace

class TestAirWithoutWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp{QDir(qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath())).filePath("airXXXXXX")};
    OrvaneProcess m_run;
    quint16 m_port = 0;
    QString m_frames;

    bool underWindowManager() const { return qEnvironmentVariable("ORVANE_WINDOW_MANAGER") == "openbox"; }

    // Starts the program with its control port and 10 frames a second into m_frames; a client of
    // its control port once the scenes are built, else null.
    std::unique_ptr<LineClient> start(const QStringList &extra, const QProcessEnvironment &env)
    {
        m_port = freePort();
        m_frames = m_tmp.filePath(QString::number(m_port));
        const QString pngs = "videoconvert ! videoscale ! video/x-raw,width=480,height=270 ! pngenc "
                             "! multifilesink location="
                             + m_frames + "/%05d.png";
        const QStringList args{"--control", QString::number(m_port), "--fps", "10", "--output", pngs};
        if (!QDir().mkpath(m_frames) || !m_run.start(program, args + extra, env))
            return nullptr;
        for (QDeadlineTimer deadline(60000); !deadline.hasExpired() && m_run.running(); QTest::qWait(100)) {
            auto client = std::make_unique<LineClient>(m_port);
            if (client->connected() && client->ask(R"({"do":"scenes"})")["scenes"].toArray().size() == 9)
                return client;
        }
        return nullptr;
    }

    // Waits until the newest complete frame shows layer 3.
    bool waitForLayer3()
    {
        for (QDeadlineTimer deadline(30000); !deadline.hasExpired(); QTest::qWait(200)) {
            const QStringList frames = framesIn(m_frames);
            if (frames.size() >= 2 && showsLayer3(QImage(m_frames + "/" + frames.at(frames.size() - 2))))
                return true;
        }
        return false;
    }

    // Of the next `count` frames written, how many differ from the one before; -1 when they stop.
    int changedFrames(int count)
    {
        const int from = framesIn(m_frames).size();
        QStringList frames;
        for (QDeadlineTimer deadline(30000); (frames = framesIn(m_frames)).size() <= from + count; QTest::qWait(100))
            if (deadline.hasExpired())
                return -1;
        int changed = 0;
        for (int i = from; i < from + count; ++i)
            changed += contents(m_frames + "/" + frames.at(i)) != contents(m_frames + "/" + frames.at(i - 1));
        return changed;
    }

    void stopCleanly()
    {
        QCOMPARE(::kill(pid_t(m_run.pid()), SIGTERM), 0);
        QVERIFY2(m_run.waitForEnd(), qPrintable(m_run.output()));
        QCOMPARE(m_run.process()->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_run.process()->exitCode(), 0);
        QVERIFY2(m_run.output().contains("Output frames sent"), qPrintable(m_run.output()));
    }

private slots:
    void initTestCase() { QVERIFY(m_tmp.isValid()); }
    void cleanup() { m_run.kill(); }

    // The window minimised before the layer plays: the output still shows it, and its frames
    // keep changing with the layer's turning box instead of repeating the last one drawn.
    void minimisedWindow()
    {
        if (!underWindowManager())
            QSKIP("minimising needs the window manager (the _openbox run)");
        std::unique_ptr<LineClient> client = start({}, OrvaneProcess::environment(m_tmp.filePath("home-window")));
        QVERIFY2(client && m_run.waitForWindow("Orvane"), qPrintable(m_run.output()));
        QCOMPARE(xclose(m_run.pid(), "--minimise"), 0);
        QTRY_COMPARE_WITH_TIMEOUT(xclose(m_run.pid(), "--find"), 1, 10000); // no longer mapped

        QVERIFY(client->ask(R"({"do":"play","layer":3,"scene":"SCENE-02"})")["ok"].toBool());
        QVERIFY2(waitForLayer3(), qPrintable(m_run.output()));
        const int changed = changedFrames(20);
        QVERIFY2(changed >= 15, qPrintable(QString("%1 of 20 frames changed").arg(changed)));
        stopCleanly();
    }

    // No DISPLAY at all: the output runs, answers its control port, and its frames show the layer.
    void headless()
    {
        if (underWindowManager())
            QSKIP("no display is used: run once, in the plain run");
        QProcessEnvironment env = OrvaneProcess::environment(m_tmp.filePath("home-headless"));
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        std::unique_ptr<LineClient> client = start({"--headless"}, env);
        QVERIFY2(client && m_run.output().contains("Running headless"), qPrintable(m_run.output()));
        QVERIFY(client->ask(R"({"do":"play","layer":3,"scene":"SCENE-02"})")["ok"].toBool());
        QVERIFY2(waitForLayer3(), qPrintable(m_run.output()));
        QVERIFY(changedFrames(10) >= 5);
        stopCleanly();
    }
};

QTEST_MAIN(TestAirWithoutWindow)

#include "tst_airwithoutwindow.moc"
