// The real program started the way an operator starts it: from any working directory, its
// modules found beside the executable, its window opened and closed like a window manager does.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <X11/Xlib.h>

#include "../utils/orvaneprocess.h"

namespace {

const QString binDir = QStringLiteral(ORVANE_BIN_DIR);
const QString program = OrvaneProcess::program();
const QString xclose = QStringLiteral(ORVANE_XCLOSE);
constexpr int startTimeout = 60000;

bool put(const QString &file, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(file).path());
    QFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(data) == data.size();
}

// What the engine writes when the main document or one of its imports cannot be loaded.
QStringList loadErrors(const QString &log)
{
    static const QRegularExpression component(QStringLiteral("qrc:/[^ ]*:\\d+:\\d+: "));
    static const QRegularExpression missingPlugin(QStringLiteral("plugin \".*\" not found"));
    QStringList errors;
    for (const QString &line : log.split('\n')) {
        if (line.contains("is not installed") || line.contains("failed to load component")
            || line.contains("plugin cannot be loaded") || missingPlugin.match(line).hasMatch()
            || component.match(line).hasMatch())
            errors << line;
    }
    return errors;
}

} // namespace

class StartupTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        QVERIFY2(QFileInfo(program).isExecutable(), qPrintable(program));
        QVERIFY2(QFileInfo(xclose).isExecutable(), qPrintable(xclose));
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "the start-up tests need an X display");
        // The X server resets when its last client leaves, and refuses connections while it does;
        // one connection held for the whole run keeps it up between the programs started here.
        m_display = XOpenDisplay(nullptr);
        QVERIFY2(m_display, "cannot open the X display");
    }

    void cleanupTestCase()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }

    void cleanup() { m_run.kill(); }

    void findsItsModulesBesideItselfAndExitsZeroWhenClosed()
    {
        // A decoy plugins/ in the working directory would break the load if it were looked at.
        const QString work = m_tmp.filePath("elsewhere");
        QVERIFY(put(work + "/plugins/Serialization/qmldir", "module Serialization\nplugin NoSuchLibrary\n"));
        QVERIFY(put(work + "/plugins/TavroBoxPlayer/qmldir", "module TavroBoxPlayer\nplugin NoSuchLibrary\n"));

        start(program, work);
        waitForWindow();
        QVERIFY2(loadErrors(output()).isEmpty(), qPrintable(output()));

        closeAndWait();
        QCOMPARE(m_run.process()->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_run.process()->exitCode(), 0);
        QVERIFY2(loadErrors(output()).isEmpty(), qPrintable(output()));
    }

    void startsFromTheRootDirectory()
    {
        start(program, "/");
        waitForWindow();
        QVERIFY2(loadErrors(output()).isEmpty(), qPrintable(output()));
        closeAndWait();
        QCOMPARE(m_run.process()->exitCode(), 0);
    }

    void aCopyWithoutPluginsLacksTheServices()
    {
        // Beside the copy there is no plugins/, while the working directory holds the real one.
        const QString lonely = m_tmp.filePath("lonely/Orvane");
        QVERIFY(QDir().mkpath(m_tmp.filePath("lonely")));
        QVERIFY(QFile::copy(program, lonely));
        QVERIFY(QFile::setPermissions(lonely, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        start(lonely, binDir);
        QVERIFY2(m_run.waitForEnd(startTimeout), qPrintable(output()));
        QVERIFY2(output().contains("module \"Serialization\" is not installed"), qPrintable(output()));
        // No window came up, and the failure shows in the exit status.
        QCOMPARE(m_run.process()->exitStatus(), QProcess::NormalExit);
        QVERIFY(m_run.process()->exitCode() != 0);
    }

    void theBundleIsSearchedBeforeOtherImportPaths()
    {
        // Broken modules of the same names on Qt's own import path must not be picked up.
        const QString shadow = m_tmp.filePath("shadow");
        for (const char *module : {"TimeScheduler", "MixerThemeManager"}) {
            const QString dir = shadow + "/" + module;
            QVERIFY(put(dir + "/qmldir", QByteArray("singleton ") + module + " 1.0 " + module + ".qml\n"));
            QVERIFY(put(dir + "/" + module + ".qml", "pragma Singleton\nimport QtQml 2.12\nQtObject { shadowed: }\n"));
        }
        // The same broken modules inside plugins/ beside a copy of the program, which holds the
        // real service and player modules too.
        const QString copy = m_tmp.filePath("copy");
        QVERIFY(QDir().mkpath(copy));
        QVERIFY(QFile::copy(program, copy + "/Orvane"));
        QVERIFY(QFile::setPermissions(copy + "/Orvane", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        for (const QString &dir : {binDir + "/plugins", shadow}) {
            QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString file = it.next();
                const QString target = copy + "/plugins" + file.mid(dir.size());
                QVERIFY(QDir().mkpath(QFileInfo(target).path()));
                QVERIFY2(QFile::copy(file, target), qPrintable(target));
            }
        }
        QVERIFY(QFileInfo::exists(copy + "/plugins/TimeScheduler/qmldir"));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QML2_IMPORT_PATH", shadow);
        start(copy + "/Orvane", m_tmp.path(), env);
        waitForWindow();
        QVERIFY2(loadErrors(output()).isEmpty(), qPrintable(output()));
        QVERIFY2(!output().contains(shadow) && !output().contains(copy + "/plugins/TimeScheduler"),
                 qPrintable(output()));
        closeAndWait();
        QCOMPARE(m_run.process()->exitCode(), 0);
    }

private:
    void start(const QString &executable, const QString &workingDirectory,
               const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        QVERIFY2(m_run.start(executable, QStringList(), env, workingDirectory),
                 qPrintable(m_run.process()->errorString()));
    }

    QString output() { return m_run.output(); }

    void waitForWindow()
    {
        QVERIFY2(m_run.waitForWindow("Orvane", startTimeout), qPrintable("no window titled Orvane\n" + output()));
    }

    // Asks the window to close, as a window manager does, and waits for the process to end.
    void closeAndWait() { QVERIFY2(m_run.closeWindow("Orvane"), qPrintable("no window to close\n" + output())); }

    QTemporaryDir m_tmp{qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath()) + "/startup-XXXXXX"};
    OrvaneProcess m_run;
    Display *m_display = nullptr;
};

QTEST_GUILESS_MAIN(StartupTest)

#include "tst_startup.moc"
