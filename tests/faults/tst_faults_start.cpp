// The program keeps running and loses no stored file when what it finds at start is unusable:
// directories that are files, missing or read-only, a disk that fills during a write, and
// configurations broken by hand. The operator sees each problem in the trace, the error list
// or a red border.
#include "faults.h"

#include <QDir>
#include <QFile>
#include <QJSValue>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QStandardPaths>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>
#include "../utils/mainwindow.h"
#include "../utils/orvaneprocess.h"
#include "../utils/orvanetest.h"

namespace {

QString root() { return qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath()); }

QByteArray contents(const QString &file)
{
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
}

bool put(const QString &file, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile out(file);
    return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(data) == data.size();
}

const QStringList scriptFaults = {"TypeError",         "ReferenceError",       "RangeError",
                                  "is not a function", "Cannot read property", "Cannot assign",
                                  "Unable to assign",  "Binding loop",         "is not defined"};

QString scriptFault(const QString &log)
{
    for (const QString &fault : scriptFaults)
        if (log.contains(fault))
            return fault;
    return QString();
}

} // namespace

class TestFaultsStart : public QObject
{
    Q_OBJECT

    std::unique_ptr<QQmlApplicationEngine> m_engine;

    // The real program for `ms`; whether it still ran then, and everything it wrote to the log.
    static bool runProgram(const QProcessEnvironment &env, QString *log, const QString &wrapper = QString())
    {
        OrvaneProcess program;
        const bool started =
            wrapper.isEmpty() ? program.start(OrvaneProcess::program(), QStringList(), env, QDir::currentPath())
                              : program.start(wrapper,
                                              {QStringLiteral("--bounding-set=-dac_override,-dac_read_search,-fowner"),
                                               QStringLiteral("--"), OrvaneProcess::program()},
                                              env, QDir::currentPath());
        if (!started)
            return false;
        QTest::qWait(2500);
        const bool alive = program.running() && program.pid() > 0;
        if (alive)
            ::kill(static_cast<pid_t>(program.pid()), SIGKILL);
        program.waitForEnd(10000);
        *log = program.output();
        return alive;
    }

    static QString dataDir() { return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation); }
    static QString configPath() { return dataDir() + "/output_config.json"; }

    QObject *window()
    {
        m_engine = std::make_unique<QQmlApplicationEngine>();
        return loadMainDocument(*m_engine);
    }

    static QObject *panelPart(QObject *window, const char *mode, const char *part)
    {
        return window->property("editPanels").value<QJSValue>().property(mode).property(part).toQObject();
    }

    // Types into a panel as the operator does; true when the panel shows no red border after.
    static bool typeInto(QObject *window, const char *mode, const QString &text)
    {
        QObject *info = panelPart(window, mode, "info");
        if (!info)
            return false;
        info->setProperty("text", text);
        return !panelPart(window, mode, "panel")->property("iswrong").toBool();
    }

    static void errorReply(QObject *window, const QString &message)
    {
        QQuickItem *repeater = window->property("renders").value<QQuickItem *>();
        QQuickItem *layer = nullptr;
        QMetaObject::invokeMethod(repeater, "itemAt", Q_RETURN_ARG(QQuickItem *, layer), Q_ARG(int, 0));
        const QString reply = QStringLiteral("{\"_id\": 1, \"type\": \"DSK_Play\", \"status\": \"Error\", "
                                             "\"message\": \"%1\"}")
                                  .arg(message);
        QMetaObject::invokeMethod(window, "reply", Q_ARG(QVariant, reply), Q_ARG(QVariant, 1),
                                  Q_ARG(QVariant, QVariant::fromValue<QObject *>(layer)));
    }

private slots:
    void initTestCase() { setOrvaneIdentity(); }

    void cleanup()
    {
        m_engine.reset();
        qputenv("XDG_DATA_HOME", (root() + "/data").toUtf8());
        qputenv("logDir", (root() + "/log").toUtf8());
    }

    void unusableDirectories_data()
    {
        QTest::addColumn<QString>("variable");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("expected");
        QTest::newRow("data home is a file") << "XDG_DATA_HOME"
                                             << "file"
                                             << "Can't create application data directory";
        QTest::newRow("settings home is a file") << "XDG_CONFIG_HOME"
                                                 << "file"
                                                 << "";
        QTest::newRow("log directory is a file") << "logDir"
                                                 << "file"
                                                 << "";
        QTest::newRow("data home missing") << "XDG_DATA_HOME"
                                           << "missing"
                                           << "";
        QTest::newRow("log directory missing") << "logDir"
                                               << "missing"
                                               << "";
        QTest::newRow("data directory read-only") << "XDG_DATA_HOME"
                                                  << "read-only"
                                                  << "Can't write config";
        QTest::newRow("configured scene directory is a file") << "directory"
                                                              << "file"
                                                              << "";
    }

    void unusableDirectories()
    {
        QFETCH(QString, variable);
        QFETCH(QString, kind);
        QFETCH(QString, expected);
        const QString place = root() + "/case-" + QString::number(QTest::currentDataTag()[0])
                              + QString::number(qHash(QString(QTest::currentDataTag())));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        QString target = place + "/target";
        QString wrapper;
        const QByteArray kept("kept as it was\n");
        QString keptFile;
        if (variable == QLatin1String("directory")) {
            keptFile = target;
            QVERIFY(put(keptFile, kept));
            const QString data = place + "/data";
            env.insert("XDG_DATA_HOME", data);
            QVERIFY(put(data + "/Quarnet/Orvane/output_config.json",
                        QStringLiteral("{\"directory\": \"%1\"}").arg(target).toUtf8()));
        } else if (kind == QLatin1String("file")) {
            keptFile = target;
            QVERIFY(put(keptFile, kept));
            env.insert(variable, target);
        } else if (kind == QLatin1String("missing")) {
            env.insert(variable, target + "/deeper");
        } else {
            // an older configuration that wants migrating, in a directory that refuses writes
            keptFile = target + "/Quarnet/Orvane/output_config.json";
            QVERIFY(put(keptFile, kept.trimmed().prepend("{\"noboard\": true, \"note\": \"").append("\"}")));
            QVERIFY(QFile::setPermissions(target + "/Quarnet/Orvane", QFileDevice::ReadOwner | QFileDevice::ExeOwner
                                                                          | QFileDevice::ReadGroup
                                                                          | QFileDevice::ExeGroup));
            env.insert(variable, target);
            wrapper = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
            if (wrapper.isEmpty() && geteuid() == 0)
                QSKIP("setpriv is needed to run the program without root's file override");
        }
        const QByteArray before = keptFile.isEmpty() ? QByteArray() : contents(keptFile);

        QString log;
        const bool alive = runProgram(env, &log, wrapper);
        QFile::setPermissions(target + "/Quarnet/Orvane",
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY2(alive, qPrintable(log.right(2000)));
        QVERIFY2(scriptFault(log).isEmpty(), qPrintable(log.right(2000)));
        if (!expected.isEmpty())
            QVERIFY2(log.contains(expected), qPrintable(log.right(2000)));
        if (!keptFile.isEmpty())
            QCOMPARE(contents(keptFile), before);
        if (kind == QLatin1String("missing") && variable == QLatin1String("XDG_DATA_HOME"))
            QVERIFY(QFile::exists(target + "/deeper/Quarnet/Orvane/output_config.json"));
    }

    void brokenConfiguration_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("replaced");
        const QString unusable = QStringLiteral("is not a JSON object, kept as");
        QTest::newRow("not JSON") << QByteArray("{\"renderNumber\": 4,") << unusable << true;
        QTest::newRow("array") << QByteArray("[1, 2, 3]") << unusable << true;
        QTest::newRow("number") << QByteArray("42") << unusable << true;
        QTest::newRow("string") << QByteArray("\"Layers\"") << unusable << true;
        QTest::newRow("renderNumber abc")
            << QByteArray("{\"renderNumber\": \"abc\"}") << "Config renderNumber \"abc\" replaced by 12" << false;
        QTest::newRow("renderNumber -3") << QByteArray("{\"renderNumber\": -3}")
                                         << "Config renderNumber -3 replaced by 12" << false;
        QTest::newRow("renderNumber 1000000")
            << QByteArray("{\"renderNumber\": 1000000}") << "Config renderNumber 1000000 replaced by 99" << false;
        QTest::newRow("directory 5") << QByteArray("{\"directory\": 5}") << "Config directory 5 replaced by \"\""
                                     << false;
        QTest::newRow("board null") << QByteArray("{\"board\": null, \"directory\": \"Layers\"}") << "" << false;
    }

    void brokenConfiguration()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, expected);
        QFETCH(bool, replaced);
        const QString data = root() + "/broken-" + QString::number(qHash(QString(QTest::currentDataTag())));
        const QString file = data + "/Quarnet/Orvane/output_config.json";
        QVERIFY(put(file, text));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", data);
        QString log;
        QVERIFY2(runProgram(env, &log), qPrintable(log.right(2000)));
        QVERIFY2(scriptFault(log).isEmpty(), qPrintable(log.right(2000)));
        if (!expected.isEmpty())
            QVERIFY2(log.contains(expected), qPrintable(log.right(3000)));
        if (replaced) {
            // the hand-edited text is kept beside the default that replaced it
            QCOMPARE(contents(file + ".bad"), text);
            QVERIFY(contents(file).contains("\"renderNumber\": 12"));
        } else {
            // the wrong value stays in the file for its owner to mend; the rest is filled in
            const QByteArray now = contents(file);
            const QByteArray key = text.mid(1, text.indexOf(':') - 1);
            const QByteArray value = text.mid(text.indexOf(':') + 1).split(',').first().split('}').first().trimmed();
            QVERIFY2(now.contains(key + ": " + value), now.constData());
        }
    }

    // A full disk during a write: the write reports failure (red border, editor stays), the file
    // keeps its old version, and the program goes on; once there is room again writes succeed.
    void fullDisk()
    {
        const QString small = root() + "/small";
        QDir().mkpath(small);
        bool mounted = unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
                       && mount("tmpfs", small.toLocal8Bit().constData(), "tmpfs", 0, "size=256k") == 0;
        qputenv("XDG_DATA_HOME", small.toUtf8());
        qputenv("logDir", small.toUtf8());
        QObject *main = window();
        QVERIFY(main);
        QDir().mkpath(dataDir() + "/Layers/SCENE-01");
        main->setProperty("currentIndex", 0);
        QTRY_VERIFY(panelPart(main, "Container", "info")
                    && !panelPart(main, "Container", "info")->property("updating").toBool());

        const QString gfxc = dataDir() + "/Layers/SCENE-01/SCENE-01.gfxc";
        const QString queue = dataDir() + "/queue.json";
        QVERIFY(typeInto(main, "Container", "{\"graphics_id\": \"SCENE-01\", \"version\": 0}"));
        QVERIFY(typeInto(main, "Queues", "{\"DSK_Play\": {\"type\": \"DSK_Play\", \"params\": {\"time\": 0}}}"));
        const QByteArray oldGfxc = contents(gfxc);
        const QByteArray oldQueue = contents(queue);
        const QByteArray oldConfig = contents(configPath());
        QVERIFY(oldGfxc.contains("\"version\": 0"));

        const QString filler = small + "/filler";
        std::unique_ptr<rlimit> savedLimit;
        void (*oldHandler)(int) = nullptr;
        if (mounted) {
            // every free block taken
            QFile fill(filler);
            QVERIFY(fill.open(QIODevice::WriteOnly));
            const QByteArray block(4096, 'f');
            while (fill.write(block) == block.size() && fill.flush()) { }
        } else {
            qInfo("no tmpfs of its own here; a file size limit stands in for the full disk");
            oldHandler = std::signal(SIGXFSZ, SIG_IGN);
            savedLimit = std::make_unique<rlimit>();
            getrlimit(RLIMIT_FSIZE, savedLimit.get());
            rlimit limited = *savedLimit;
            limited.rlim_cur = 4096;
            QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
        }

        const QString big = faults::padding();
        QVERIFY(!typeInto(main, "Container", faults::containerText(1)));
        QVERIFY(!typeInto(main, "Queues", faults::queueText(1)));
        QVariant saved;
        QMetaObject::invokeMethod(main, "saveConfig", Q_RETURN_ARG(QVariant, saved),
                                  Q_ARG(QVariant, faults::configText(1)));
        QCOMPARE(saved.toBool(), false);
        errorReply(main, QStringLiteral("disk full ") + big.left(20000));
        // the failed writes are listed for the operator too, before the layer's Error
        QCOMPARE(main->property("errorn").toInt(), 3);
        const QString listed = main->property("error").toString();
        QVERIFY2(listed.contains("1. Error Can't write container Layers/SCENE-01/SCENE-01.gfxc"), qPrintable(listed));
        QVERIFY2(listed.contains("2. Error Can't write queue file " + queue), qPrintable(listed));

        QCOMPARE(contents(gfxc), oldGfxc);
        QCOMPARE(contents(queue), oldQueue);
        QCOMPARE(contents(configPath()), oldConfig);
        // nothing half-written is left behind
        const QStringList left = QDir(dataDir()).entryList(QDir::Files);
        for (const QString &name : left)
            QVERIFY2(name == "output_config.json" || name == "queue.json", qPrintable(name));

        if (mounted) {
            QVERIFY(QFile::remove(filler));
        } else {
            setrlimit(RLIMIT_FSIZE, savedLimit.get());
            std::signal(SIGXFSZ, oldHandler);
        }
        QVERIFY(typeInto(main, "Container", "{\"graphics_id\": \"SCENE-01\", \"version\": 2}"));
        QVERIFY(contents(gfxc).contains("\"version\": 2"));
        m_engine.reset();
        if (mounted)
            umount(small.toLocal8Bit().constData());
    }

    // Where the scene files or the error log should go is a file: the Container panel turns red,
    // problems still reach the error list, and the file in the way is untouched.
    void scenesAndLogInTheWay()
    {
        const QString data = root() + "/inway";
        const QString inTheWay = root() + "/inway-file";
        const QByteArray kept("in the way\n");
        QVERIFY(put(inTheWay, kept));
        QVERIFY(put(data + "/Quarnet/Orvane/output_config.json",
                    QStringLiteral("{\"directory\": \"%1\", \"renderNumber\": 2}").arg(inTheWay).toUtf8()));
        qputenv("XDG_DATA_HOME", data.toUtf8());
        qputenv("logDir", inTheWay.toUtf8());
        QObject *main = window();
        QVERIFY(main);
        main->setProperty("currentIndex", 0);
        QTRY_VERIFY(panelPart(main, "Container", "info")
                    && !panelPart(main, "Container", "info")->property("updating").toBool());
        QVERIFY(!typeInto(main, "Container", "{\"graphics_id\": \"SCENE-01\"}"));
        errorReply(main, QStringLiteral("no log"));
        // the data directory in the way is listed at start, the failed save with its reason
        QCOMPARE(main->property("errorn").toInt(), 3);
        const QString listed = main->property("error").toString();
        QVERIFY2(listed.contains("1. Warning Data directory " + inTheWay + " is not a directory"), qPrintable(listed));
        QVERIFY2(listed.contains("2. Error Can't save the container of SCENE-01: data directory " + inTheWay
                                 + " is not a directory"),
                 qPrintable(listed));
        QVERIFY(main->property("error").toString().contains("no log"));
        QCOMPARE(contents(inTheWay), kept);
    }
};

QTEST_MAIN(TestFaultsStart)

#include "tst_faults_start.moc"
