// The real program as a service manager and a crash treat it, under the test's display:
// SIGTERM and SIGINT close it as the operator's close does (selection stored, status 0), SIGHUP
// leaves it running, and a crash of the test build writes crash-<time>.txt that the next start
// of the same output lists once as a Warning. Killed during a show, an output started again with
// --restore has the same layers on air, in its state and in its output frames.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>

#include "../control/lineclient.h"
#include "../utils/orvaneprocess.h"

namespace {

const QString program = QStringLiteral(ORVANE_BIN_DIR "/Orvane");
const QString testBuild = QStringLiteral(ORVANE_BIN_DIR "/OrvaneTestBuild");
const char warningText[] = "Warning Previous run crashed: see ";

QString readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList crashReports(const QString &dir) { return QDir(dir).entryList({"crash-*.txt"}, QDir::Files, QDir::Name); }

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// Whether an output frame shows a box of `colour` (the layers' placeholders are plain colours).
bool shows(const QImage &frame, QRgb colour)
{
    int n = 0;
    for (int i = 0; i < frame.width() * frame.height(); ++i)
        n += (frame.pixel(i % frame.width(), i / frame.width()) & 0xffe0e0e0) == (colour & 0xffe0e0e0);
    return n > 1000;
}

} // namespace

class TestService : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_home;
    OrvaneProcess m_run;
    qint64 m_crashedPid = 0;

    QString home() const { return m_home->path(); }
    QString dataDir() const { return home() + "/data/Quarnet/Orvane"; }
    QString logDir() const { return home() + "/log"; }

    void freshHome()
    {
        m_home = std::make_unique<QTemporaryDir>(qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath())
                                                 + "/service-XXXXXX");
        QVERIFY(m_home->isValid());
    }

    QVariant setting(const QString &key) const
    {
        QSettings settings(home() + "/config/Quarnet/Orvane.conf", QSettings::IniFormat);
        return settings.value(key);
    }

    // Starts `executable` with `args` and waits until its output is up with all its layers.
    void startOutput(const QString &executable, const QStringList &args, const QProcessEnvironment &env)
    {
        QVERIFY(m_run.start(executable, args, env));
        QVERIFY2(m_run.waitForWindow("Orvane"), qPrintable(m_run.output()));
        QVERIFY2(m_run.waitForOutput("mainRenders=12"), qPrintable(m_run.output()));
    }

    void startOutput(const QStringList &args) { startOutput(program, args, OrvaneProcess::environment(home())); }

    // A client of the control port once the program's scenes are built; null when they never are.
    std::unique_ptr<LineClient> connectWhenReady(quint16 port)
    {
        for (QDeadlineTimer deadline(60000); !deadline.hasExpired() && m_run.running(); QTest::qWait(100)) {
            auto client = std::make_unique<LineClient>(port);
            if (client->connected() && client->ask(R"({"do":"scenes"})")["scenes"].toArray().size() == 9)
                return client;
        }
        return nullptr;
    }

    void stopWith(int sig)
    {
        QCOMPARE(::kill(pid_t(m_run.pid()), sig), 0);
        QVERIFY2(m_run.waitForEnd(), qPrintable(m_run.output()));
        QVERIFY2(m_run.process()->exitStatus() == QProcess::NormalExit, qPrintable(m_run.output()));
        QCOMPARE(m_run.process()->exitCode(), 0);
    }

    // Runs the test build until it crashes as `how` says; returns the report's path.
    QString crash(const QString &how, const QStringList &args, QProcessEnvironment env, const QString &reportDir)
    {
        env.insert("ORVANE_TEST_CRASH", how);
        if (!m_run.start(testBuild, args, env))
            return QString();
        m_crashedPid = m_run.pid();
        if (!m_run.waitForEnd(60000) || m_run.process()->exitStatus() != QProcess::CrashExit) {
            qWarning().noquote() << m_run.output();
            return QString();
        }
        const QStringList reports = crashReports(reportDir);
        return reports.size() == 1 ? reportDir + "/" + reports.first() : QString();
    }

private slots:
    void init() { freshHome(); }

    void stopSignal_data()
    {
        QTest::addColumn<int>("sig");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }

    // The window's closing steps run (the trace says so and the selection is in the settings),
    // and the status is 0, as after a close by the operator.
    void stopSignal()
    {
        QFETCH(int, sig);
        startOutput({"--box", "3"});
        stopWith(sig);
        QVERIFY2(m_run.output().contains("closing "), qPrintable(m_run.output()));
        QCOMPARE(setting("Output-3/currentName").toString(), QStringLiteral("SCENE-01"));
        QVERIFY(crashReports(logDir()).isEmpty());
    }

    // Without the closing steps the selection is not stored: SIGKILL, for comparison.
    void killStoresNothing()
    {
        startOutput({"--box", "3"});
        m_run.kill();
        QVERIFY(!m_run.output().contains("closing "));
        QCOMPARE(setting("Output-3/currentName").toString() == QStringLiteral("SCENE-01"), false);
    }

    // A terminal hanging up does not end the output; it still stops cleanly afterwards.
    void hangUpIsIgnored()
    {
        startOutput({});
        QCOMPARE(::kill(pid_t(m_run.pid()), SIGHUP), 0);
        QVERIFY2(m_run.waitForWindow("Orvane"), qPrintable(m_run.output()));
        QTest::qWait(500);
        QVERIFY(m_run.running());
        stopWith(SIGTERM);
        QCOMPARE(setting("Output/currentName").toString(), QStringLiteral("SCENE-01"));
    }

    void crashReport_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("signal");
        QTest::addColumn<QString>("frame"); // where it crashed, named in the backtrace
        QTest::newRow("segv") << "segv"
                              << "Signal: SIGSEGV (segmentation fault) at address 0x0"
                              << "(orvaneTestCrash+0x";
        QTest::newRow("abort") << "abort"
                               << "Signal: SIGABRT (abort)"
                               << "(abort+0x";
    }

    // The report names the output, the signal and the crashing function; only the next start of
    // the same output lists it, and only once.
    void crashReport()
    {
        QFETCH(QString, how);
        QFETCH(QString, signal);
        QFETCH(QString, frame);
        const QProcessEnvironment env = OrvaneProcess::environment(home());
        const QString report = crash(how, {"--box", "2"}, env, logDir());
        QVERIFY2(!report.isEmpty(), qPrintable(m_run.output() + crashReports(logDir()).join(' ')));
        QVERIFY2(QFileInfo(report).fileName().contains(QRegularExpression("^crash-\\d{8}T\\d{6}\\.\\d{3}Z\\.txt$")),
                 qPrintable(report));
        const QString text = readFile(report);
        QVERIFY2(text.startsWith("Orvane 3.14 --box 2 (process " + QString::number(m_crashedPid) + ") crashed\n"),
                 qPrintable(text));
        QVERIFY2(text.contains(signal + "\n"), qPrintable(text));
        QVERIFY2(text.contains("\nBacktrace:\n"), qPrintable(text));
        QVERIFY2(text.contains(frame), qPrintable(text));
        QVERIFY2(text.contains("(main+0x"), qPrintable(text));

        // another output starting is not told about it
        startOutput({});
        stopWith(SIGTERM);
        QVERIFY(!readFile(logDir() + "/Errors.txt").contains(warningText));

        startOutput({"--box", "2"});
        const QString line = "1. " + QString(warningText) + report;
        QVERIFY2(m_run.waitForOutput(line), qPrintable(m_run.output()));
        stopWith(SIGTERM);
        QCOMPARE(readFile(logDir() + "/Errors.txt"), line + "\n");

        startOutput({"--box", "2"});
        stopWith(SIGTERM);
        QCOMPARE(readFile(logDir() + "/Errors.txt"), line + "\n");
        QVERIFY(QFile::exists(report));
    }

    // Killed during a show (layers playing, one only cued with data of its own), the output comes
    // back with --restore: the same layers play the same scenes, the cued one is cued with its
    // data again, the output frames show the playing ones, and the operator is told; a layer whose
    // scene is gone stays off and is listed.
    void restoreAfterKill()
    {
        const quint16 port = freePort();
        const QProcessEnvironment env = OrvaneProcess::environment(home());
        // a lower third whose name is corrected on air: the correction is what comes back
        const QString third = dataDir() + "/Layers/SCENE-08";
        QVERIFY(QDir().mkpath(third));
        QFile container(third + "/SCENE-08.gfxc");
        QVERIFY(container.open(QIODevice::WriteOnly));
        container.write(R"({"graphics_id":"SCENE-08","template_name":"lower-third","template_params":)"
                        R"([{"name":"name","value":"Ada"},{"name":"title","value":"Guest"}]})");
        container.close();
        QVERIFY(m_run.start(program, {"--control", QString::number(port)}, env));
        std::unique_ptr<LineClient> c = connectWhenReady(port);
        QVERIFY2(c, qPrintable(m_run.output()));
        c->ask(R"({"do":"play","layer":3,"scene":"SCENE-02"})");
        c->ask(R"({"do":"play","layer":6,"scene":"SCENE-05"})");
        c->ask(R"({"do":"cue","layer":4,"scene":"SCENE-07","record":{"type":"DSK_Cue","params":)"
               R"({"graphics_id":"SCENE-07","dsk_data":{"title":"Kept"}}}})");
        c->ask(R"({"do":"cue","layer":9,"scene":"SCENE-08"})");
        const QString state = dataDir() + "/onair.json";
        QTRY_VERIFY_WITH_TIMEOUT(readFile(state).contains("\"Guest\""), 10000);
        QCOMPARE(c->ask(R"({"do":"update","layer":9,"data":{"name":"Ada King"}})").value("ok").toBool(), true);
        QTRY_VERIFY_WITH_TIMEOUT(readFile(state).contains("\"Kept\"") && readFile(state).contains("Ada King"), 10000);
        m_run.kill();
        QString text = readFile(state); // a scene gone meanwhile: its layer stays off
        QFile changed(state);
        QVERIFY(changed.open(QIODevice::WriteOnly) && changed.write(text.replace("SCENE-05", "SCENE-55").toUtf8()) > 0);
        changed.close();

        const QString frames = home() + "/frames";
        QVERIFY(QDir().mkpath(frames));
        const QString pngs = "videoconvert ! videoscale ! video/x-raw,width=480,height=270 ! pngenc ! multifilesink";
        QVERIFY(m_run.start(program,
                            {"--restore", "--control", QString::number(port), "--fps", "5", "--output",
                             pngs + " location=" + frames + "/%05d.png"},
                            env));
        c = connectWhenReady(port);
        QVERIFY2(c, qPrintable(m_run.output()));
        QTRY_VERIFY_WITH_TIMEOUT(
            readFile(logDir() + "/Errors.txt")
                .contains("Warning Layer 6 showed SCENE-55 before the restart, which no longer exists: not restored\n"
                          "2. Warning Restored 3 layers after a restart\n"),
            10000);
        QStringList loaded; // layer, scene, on air
        for (const QJsonValue &v : c->ask(R"({"do":"state"})").value("layers").toArray()) {
            if (v["loaded"].toBool())
                loaded << QString("%1 %2 %3")
                              .arg(v["layer"].toInt())
                              .arg(v["scene"].toString(), v["onAir"].toVariant().toString());
        }
        QCOMPARE(loaded, QStringList({"3 SCENE-02 true", "4 SCENE-07 false", "9 SCENE-08 false"}));
        QVERIFY(readFile(state).contains("\"Kept\""));
        const QJsonArray fields = c->ask(R"({"do":"scene","layer":9,"scene":"SCENE-08"})").value("fields").toArray();
        QCOMPARE(fields.at(0)["value"].toString() + "/" + fields.at(1)["value"].toString(), "Ada King/Guest");
        // a frame written after the restore: the yellow box of layer 3, not the green one of the cued
        // layer 4 nor the blue one of layer 6
        const uint before = QDir(frames).count();
        QTRY_VERIFY_WITH_TIMEOUT(QDir(frames).count() >= before + 3, 20000);
        const QStringList written = QDir(frames).entryList(QDir::Files, QDir::Name);
        const QImage frame(frames + "/" + written.at(written.size() - 2));
        QVERIFY(shows(frame, 0xffffff00) && !shows(frame, 0xff0000ff) && !shows(frame, 0xff008000));
    }

    void reportDirectory_data()
    {
        QTest::addColumn<QString>("logDir"); // "@" stands for the home
        QTest::addColumn<QString>("reportDir");
        QTest::newRow("unset") << QString() << "@/data/Quarnet/Orvane";
        QTest::newRow("relative") << "logs"
                                  << "@/data/Quarnet/Orvane/logs";
        QTest::newRow("missing") << "@/no/such/dir"
                                 << "@/data/Quarnet/Orvane";
        QTest::newRow("a file") << "@/log/file"
                                << "@/data/Quarnet/Orvane";
    }

    // logDir as Errors.txt reads it; a directory that cannot take the report sends it to the
    // application-data directory rather than losing it.
    void reportDirectory()
    {
        QFETCH(QString, logDir);
        QFETCH(QString, reportDir);
        QProcessEnvironment env = OrvaneProcess::environment(home());
        if (logDir.isNull())
            env.remove("logDir");
        else
            env.insert("logDir", logDir.replace("@", home()));
        reportDir.replace("@", home());
        QVERIFY(QDir().mkpath(dataDir() + "/logs"));
        QFile file(home() + "/log/file");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        const QString report = crash("segv", {}, env, reportDir);
        QVERIFY2(!report.isEmpty(), qPrintable(m_run.output() + crashReports(reportDir).join(' ')));
        startOutput(program, {}, env);
        QVERIFY2(m_run.waitForOutput("1. " + QString(warningText) + report), qPrintable(m_run.output()));
        stopWith(SIGTERM);
    }
};

QTEST_GUILESS_MAIN(TestService)

#include "tst_service.moc"
