// The output number on the command line: the real program is started with and without --box
// under the test's display, in a fresh home per run, and the configuration file it writes and
// the title of its window (read over X11) are checked. The layers of output 2 are checked on the
// window document loaded in this process, whose own command line carries "--box 2".
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>
#include "../utils/mainwindow.h"
#include "../utils/orvaneprocess.h"
#include "../utils/orvanetest.h"
#include "../utils/x11windows.h"

namespace {

const char defaultConfigText[] = "{\n  \"boardEnabled\": true,\n  \"exitOnEject\": false,\n"
                                 "  \"installFonts\": false,\n  \"traceMemInfo\": false,\n"
                                 "  \"directory\": \"Layers\",\n  \"renderNumber\": 12,\n"
                                 "  \"cacheTime\": 10,\n  \"bufferSize\": 5,\n  \"board\": \"\"\n}";

// Titles of the X11 windows that belong to process pid (empty titles left out).
QStringList windowTitles(qint64 pid)
{
    QStringList titles;
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return titles;
    for (const x11::ProcessWindow &window : x11::windowsOf(display, static_cast<unsigned long>(pid)))
        if (!window.title.empty())
            titles << QString::fromStdString(window.title);
    XCloseDisplay(display);
    return titles;
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

public:
    ~TestCommandLine() override { stop(); }

private:
    std::unique_ptr<QTemporaryDir> m_home;
    OrvaneProcess m_process;
    QString m_program = OrvaneProcess::program();

    QString dataDir() const { return m_home->path() + "/data/Quarnet/Orvane"; }

    QByteArray output() { return m_process.output().toLocal8Bit(); }

    // Starts the program in a home of its own inside the test's temporary directory, or again
    // in the home of the previous run.
    void start(const QStringList &args, bool freshHome = true, const QString &workingDirectory = QString())
    {
        stop();
        if (freshHome) {
            const QString base = qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath());
            m_home = std::make_unique<QTemporaryDir>(base + "/commandline-XXXXXX");
            QVERIFY(m_home->isValid());
        }
        const QProcessEnvironment env = OrvaneProcess::environment(m_home->path());
        QVERIFY(QDir(m_home->path() + "/log").exists());
        QVERIFY2(
            m_process.start(m_program, args, env, workingDirectory.isEmpty() ? QDir::currentPath() : workingDirectory),
            qPrintable(m_process.process()->errorString()));
    }

    void stop() { m_process.stop(); }

    bool hasTitle(const QString &title)
    {
        output();
        return m_process.running() && windowTitles(m_process.pid()).contains(title);
    }

private slots:
    void cleanup() { stop(); }

    void outputNumber_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("otherFile");
        QTest::newRow("absent") << QStringList() << "Orvane --box 0"
                                << "output_config.json"
                                << "output_config-0.json";
        QTest::newRow("0") << QStringList{"--box", "0"} << "Orvane --box 0"
                           << "output_config.json"
                           << "output_config-0.json";
        QTest::newRow("2") << QStringList{"--box", "2"} << "Orvane --box 2"
                           << "output_config-2.json"
                           << "output_config.json";
        QTest::newRow("last argument") << QStringList{"--box"} << "Orvane --box 0"
                                       << "output_config.json"
                                       << "output_config-.json";
        QTest::newRow("not a number") << QStringList{"--box", "two"} << "Orvane --box 0"
                                      << "output_config.json"
                                      << "output_config-two.json";
    }

    // One output per box number: its own configuration file, written with the default on a
    // fresh home, and its number in the title; twelve layers come up in the atlas.
    void outputNumber()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, title);
        QFETCH(QString, file);
        QFETCH(QString, otherFile);
        start(args);
        QTRY_VERIFY2_WITH_TIMEOUT(hasTitle(title), qPrintable(output()), 30000);
        QTRY_VERIFY2_WITH_TIMEOUT(output().contains("mainRenders=12"), output().constData(), 10000);

        QFile config(dataDir() + "/" + file);
        QVERIFY2(config.open(QIODevice::ReadOnly), qPrintable(config.fileName()));
        QCOMPARE(QString::fromUtf8(config.readAll()), QString::fromUtf8(defaultConfigText));
        QVERIFY(!QFile::exists(dataDir() + "/" + otherFile));
    }

    // Something that cannot be read where the configuration file should be is never replaced:
    // the output runs on the default held in memory.
    void unreadableConfiguration()
    {
        start({"--box", "3"});
        QTRY_VERIFY2_WITH_TIMEOUT(hasTitle("Orvane --box 3"), qPrintable(output()), 30000);
        stop();

        // the same home again, now with a directory in the file's place
        const QString path = dataDir() + "/output_config-3.json";
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkpath(path + "/keep"));
        start({"--box", "3"}, false);
        QTRY_VERIFY2_WITH_TIMEOUT(hasTitle("Orvane --box 3"), qPrintable(output()), 30000);
        QTRY_VERIFY2_WITH_TIMEOUT(output().contains("mainRenders=12"), output().constData(), 10000);
        QVERIFY2(output().contains("Can't read config file"), output().constData());
        QVERIFY(QFileInfo(path).isDir());
        QVERIFY(QFileInfo::exists(path + "/keep"));
    }

    // Under the older program's name, an output without a data directory takes the older
    // configuration file (here its own, as the data directory keeps this program's name).
    void legacyImport()
    {
        start({}, true);
        QTRY_VERIFY2_WITH_TIMEOUT(hasTitle("Orvane --box 0"), qPrintable(output()), 30000);
        stop();
        const QString path = dataDir() + "/output_config.json";
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("{\"directory\": \"\", \"renderNumber\": 3}");
        file.close();
        const QString link = m_home->path() + "/Orvane_Box_Output.exe";
        QVERIFY(QFile::link(QStringLiteral(ORVANE_BIN_DIR "/Orvane"), link));
        m_program = link;
        start({}, false);
        m_program = OrvaneProcess::program();
        QTRY_VERIFY2_WITH_TIMEOUT(hasTitle("Orvane_Box_Output.exe --box 0"), qPrintable(output()), 30000);
        QTRY_VERIFY2_WITH_TIMEOUT(output().contains("mainRenders=3"), output().constData(), 10000);
        QVERIFY2(output().contains("Load old config from " + path.toUtf8()), output().constData());
    }

    // The videos folder: --videos (a path or a file: URL) when given, else the user's own videos
    // folder (the written-in folder does not exist on a test machine); a folder that is missing
    // lists nothing, never the videos of the working directory.
    void videosFolder()
    {
        if (QFileInfo::exists("/home/ulbren/Videos"))
            QSKIP("this machine has the written-in videos folder");
        const QString base = qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath());
        const QString shows = base + "/shows";
        const QString scratch = base + "/scratch";
        QVERIFY(QDir().mkpath(shows));
        QVERIFY(QDir().mkpath(scratch));
        for (const QString &file : {shows + "/opener.mov", scratch + "/stray.mp4"}) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }

        for (const QString &given : {shows, "file://" + shows + "/"}) {
            start({"--videos", given}, true, scratch);
            QTRY_VERIFY2_WITH_TIMEOUT(output().contains("------file://" + shows.toUtf8() + "/opener.mov"),
                                      output().constData(), 30000);
            QVERIFY2(output().contains("Videos folder " + shows.toUtf8() + "/ (--videos)"), output().constData());
        }

        // without --videos: the user's videos folder, named in the trace
        start({}, true, scratch);
        const QByteArray users = m_home->path().toUtf8() + "/home/Videos";
        QVERIFY(QDir().mkpath(users));
        QTRY_VERIFY2_WITH_TIMEOUT(output().contains("mainRenders=12"), output().constData(), 30000);
        QVERIFY2(output().contains("Videos folder " + users
                                   + "/ (the user's videos folder: "
                                     "file:///home/ulbren/Videos/ does not exist)"),
                 output().constData());

        // a missing folder, started from a directory that holds a video: nothing listed
        start({"--videos", base + "/gone"}, true, scratch);
        QTRY_VERIFY2_WITH_TIMEOUT(output().contains("Videos folder " + base.toUtf8()
                                                    + "/gone/ is missing: no videos "
                                                      "are listed"),
                                  output().constData(), 30000);
        QTRY_VERIFY2_WITH_TIMEOUT(output().contains("mainRenders=12"), output().constData(), 10000);
        QVERIFY2(!output().contains("stray.mp4"), output().constData());

        // a folder that is no folder of this machine: the reason and the usage, status 2
        start({"--videos", "http://media.example/shows"});
        QVERIFY(m_process.waitForEnd(10000));
        QCOMPARE(m_process.process()->exitCode(), 2);
        QVERIFY2(output().contains("Bad value for --videos"), output().constData());
    }

    // The layers of output 2 are numbered 201 to 212 for outside programs.
    void layersOfOutput2()
    {
        QVERIFY(QCoreApplication::arguments().contains("--box"));
        QQmlApplicationEngine engine;
        // a videos folder of the test's own, never this machine's
        engine.setInitialProperties({{"mediaFolder", QUrl::fromLocalFile(m_home ? m_home->path() : QDir::tempPath())}});
        loadMainDocument(engine);
        QCOMPARE(engine.rootObjects().size(), 1);
        QObject *window = engine.rootObjects().first();
        QCOMPARE(window->property("iBox").toInt(), 2);
        QCOMPARE(window->property("sBox").toString(), QStringLiteral("-2"));
        QCOMPARE(window->property("title").toString(), QStringLiteral("tst_commandline --box 2"));

        auto *renders = window->property("renders").value<QQuickItem *>();
        QVERIFY(renders);
        QCOMPARE(renders->property("count").toInt(), 12);
        for (int i = 0; i < 12; ++i) {
            QQuickItem *render = nullptr;
            QVERIFY(QMetaObject::invokeMethod(renders, "itemAt", Q_RETURN_ARG(QQuickItem *, render), Q_ARG(int, i)));
            QVERIFY(render);
            QCOMPARE(render->property("index").toInt(), i + 1);
            QCOMPARE(render->property("iLayer").toInt(), 201 + i);
        }
        const QString config =
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/output_config-2.json";
        QVERIFY2(QFile::exists(config), qPrintable(config));
    }
};

// This process's own command line names output 2, for the window loaded in process; the test
// framework sees the arguments without it.
int main(int argc, char **argv)
{
    std::vector<char *> args(argv, argv + argc);
    char box[] = "--box";
    char two[] = "2";
    args.push_back(box);
    args.push_back(two);
    int count = int(args.size());
    QGuiApplication app(count, args.data());
    setOrvaneIdentity();
    TestCommandLine test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_commandline.moc"
