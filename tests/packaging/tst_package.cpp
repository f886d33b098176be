// The Debian package as a playout machine gets it: CPack makes it from this build into the
// test's temporary directory; its file list and control fields are read with dpkg-deb, its
// desktop entry and systemd units are checked with the tools that read them, and the program is
// started from the unpacked tree under the test's display, where every file it loads from the
// system must come from a package it depends on.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include "../utils/orvaneprocess.h"

namespace {

struct Result
{
    int code = -1;
    QString out;
    QString err;
};

Result run(const QString &program, const QStringList &args, int ms = 120000)
{
    QProcess process;
    process.start(program, args);
    Result result;
    if (!process.waitForFinished(ms)) {
        process.kill();
        process.waitForFinished(5000);
        result.err = program + " did not finish";
        return result;
    }
    result.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

// Package names of a Depends field, alternatives included, without versions.
QSet<QString> packageNames(const QString &field)
{
    QSet<QString> names;
    for (const QString &alternatives : field.split(',')) {
        for (QString name : alternatives.split('|')) {
            name = name.trimmed();
            name = name.left(name.indexOf(QRegularExpression("[ (]|$")));
            if (!name.isEmpty())
                names << name;
        }
    }
    return names;
}

// Loaded only when a layer plays a video, so the start below does not show them.
const QStringList videoPackages{"libqt5multimedia5-plugins", "gstreamer1.0-plugins-base", "gstreamer1.0-plugins-good",
                                "gstreamer1.0-plugins-bad",  "gstreamer1.0-plugins-ugly", "gstreamer1.0-libav"};

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp{qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath()) + "/package-XXXXXX"};
    QString m_deb;
    QString m_root;
    QMap<QString, QString> m_entries; // path in the package -> its dpkg-deb -c line

    QString field(const QString &name)
    {
        const Result r = run("dpkg-deb", {"-f", m_deb, name});
        return r.code == 0 ? r.out.trimmed() : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        const Result arch = run("dpkg", {"--print-architecture"});
        QCOMPARE(arch.code, 0);
        const Result made = run(ORVANE_CPACK, {"--config", ORVANE_CPACK_CONFIG, "-B", m_tmp.filePath("out")}, 240000);
        QVERIFY2(made.code == 0, qPrintable(made.out + made.err));
        m_deb = m_tmp.filePath("out/orvane_" ORVANE_VERSION "_" + arch.out.trimmed() + ".deb");
        QVERIFY2(QFileInfo::exists(m_deb), qPrintable(made.out));

        const Result list = run("dpkg-deb", {"-c", m_deb});
        QCOMPARE(list.code, 0);
        for (const QString &line : list.out.split('\n', Qt::SkipEmptyParts)) {
            const int at = line.indexOf(" ./");
            QVERIFY2(at > 0, qPrintable(line));
            QString path = line.mid(at + 3);
            path = path.left(path.indexOf(" -> ") >= 0 ? path.indexOf(" -> ") : path.size());
            if (!path.endsWith('/'))
                m_entries.insert(path, line);
        }
        m_root = m_tmp.filePath("root");
        const Result unpacked = run("dpkg-deb", {"-x", m_deb, m_root});
        QVERIFY2(unpacked.code == 0, qPrintable(unpacked.err));
    }

    // The program with its plugins beside it, the command, the units, the desktop entry, the icon
    // and the README with every document and picture it links in docs/; nothing of the tests,
    // tools or benchmarks.
    void contents()
    {
        QVERIFY2(m_entries.value("usr/lib/orvane/Orvane").startsWith("-rwxr-xr-x root/root"),
                 qPrintable(m_entries.value("usr/lib/orvane/Orvane")));
        QVERIFY2(m_entries.value("usr/bin/orvane").startsWith("lrwxrwxrwx")
                     && m_entries.value("usr/bin/orvane").endsWith(" -> ../lib/orvane/Orvane"),
                 qPrintable(m_entries.value("usr/bin/orvane")));
        for (const char *file : {"usr/lib/systemd/user/orvane@.service", "usr/lib/systemd/user/orvane.service",
                                 "usr/lib/systemd/user/orvane-headless@.service",
                                 "usr/share/doc/orvane/docs/headless.md", "usr/share/applications/orvane.desktop",
                                 "usr/share/icons/hicolor/scalable/apps/orvane.svg", "usr/share/doc/orvane/README.md"})
            QVERIFY2(m_entries.contains(file), file);

        // every module the build tree runs with is in the package, in the same shape
        int modules = 0;
        QDirIterator it(ORVANE_BIN_DIR "/plugins", QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next().mid(QStringLiteral(ORVANE_BIN_DIR "/").size());
            QVERIFY2(m_entries.contains("usr/lib/orvane/" + file), qPrintable(file));
            ++modules;
        }
        QVERIFY(modules >= 4);

        int documents = 0;
        QDirIterator docs(ORVANE_SOURCE_DIR "/docs", QDir::Files, QDirIterator::Subdirectories);
        while (docs.hasNext()) {
            const QString file = docs.next().mid(QStringLiteral(ORVANE_SOURCE_DIR "/").size());
            QVERIFY2(m_entries.contains("usr/share/doc/orvane/" + file), qPrintable(file));
            ++documents;
        }
        QVERIFY(documents >= 2);

        // and every built-in template, where the templates module finds them
        int templates = 0;
        QDirIterator builtIn(ORVANE_BIN_DIR "/templates", QDir::Files);
        while (builtIn.hasNext()) {
            const QString file = "usr/share/orvane/templates/" + QFileInfo(builtIn.next()).fileName();
            QVERIFY2(m_entries.value(file).startsWith("-rw-r--r-- root/root"), qPrintable(file));
            ++templates;
        }
        QVERIFY(templates >= 6);

        static const QRegularExpression allowed("^usr/(bin/orvane|lib/orvane/|lib/systemd/user/orvane|"
                                                "share/applications/orvane\\.|share/icons/hicolor/|"
                                                "share/doc/orvane/|share/orvane/templates/)");
        for (const QString &path : m_entries.keys()) {
            QVERIFY2(allowed.match(path).hasMatch(), qPrintable(path));
            // the documentation may name them (docs/benchmarks.md), and holds only text and pictures
            if (path.startsWith("usr/share/doc/orvane/"))
                QVERIFY2(path.endsWith(".md") || path.endsWith(".png"), qPrintable(path));
            else
                QVERIFY2(!path.contains(QRegularExpression("tst_|TestBuild|xclose|bench|screengrab")),
                         qPrintable(path));
        }
    }

    void controlFields()
    {
        QCOMPARE(field("Package"), QStringLiteral("orvane"));
        QCOMPARE(field("Version"), QStringLiteral(ORVANE_VERSION));
        QVERIFY(!field("Maintainer").isEmpty());
        QVERIFY(field("Description").startsWith("output controller"));
        const QSet<QString> depends = packageNames(field("Depends"));
        // from dpkg-shlibdeps: what the binaries link
        for (const char *library : {"libc6", "libstdc++6", "libqt5core5a", "libqt5gui5", "libqt5qml5"})
            QVERIFY2(depends.contains(library), qPrintable(field("Depends")));
        for (const QString &package : videoPackages)
            QVERIFY2(depends.contains(package), qPrintable(package + " missing in " + field("Depends")));
        // nothing needed only to build
        for (const QString &name : depends)
            QVERIFY2(!name.endsWith("-dev") && name != "cmake", qPrintable(name));
        // the tools of the README's receiving and checking commands
        QCOMPARE(packageNames(field("Suggests")),
                 QSet<QString>({"gstreamer1.0-tools", "gstreamer1.0-plugins-base-apps"}));
    }

    void desktopEntryAndUnits()
    {
        const QString desktop = m_root + "/usr/share/applications/orvane.desktop";
        const Result valid = run("desktop-file-validate", {desktop});
        QVERIFY2(valid.code == 0 && valid.out.isEmpty(), qPrintable(valid.out + valid.err));
        QSettings entry(desktop, QSettings::IniFormat);
        QCOMPARE(entry.value("Desktop Entry/Exec").toString(), QStringLiteral("orvane"));
        QVERIFY(QFileInfo(m_root + "/usr/bin/orvane").isExecutable());
        QCOMPARE(entry.value("Desktop Entry/Icon").toString(), QStringLiteral("orvane"));

        // systemd reads the units as shipped, with the command taken from the unpacked tree
        const QString units = m_tmp.filePath("units");
        QVERIFY(QDir().mkpath(units));
        for (const char *unit : {"orvane@.service", "orvane.service", "orvane-headless@.service"}) {
            QFile in(m_root + "/usr/lib/systemd/user/" + unit);
            QVERIFY(in.open(QIODevice::ReadOnly));
            QString text = QString::fromUtf8(in.readAll());
            QVERIFY(text.contains("\nExecStart=/usr/bin/orvane"));
            QVERIFY2(text.contains("\nRestart=always\n") && text.contains("\nStartLimitBurst=5\n")
                         && text.contains("\nStartLimitIntervalSec=60\n"),
                     unit);
            text.replace("ExecStart=/usr/bin/orvane", "ExecStart=" + m_root + "/usr/bin/orvane");
            QFile out(units + "/" + unit);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(text.toUtf8());
        }
        const Result verified =
            run("systemd-analyze", {"verify", "--user", units + "/orvane@2.service", units + "/orvane.service",
                                    units + "/orvane-headless@2.service"});
        QVERIFY2(verified.code == 0 && verified.out.isEmpty() && verified.err.isEmpty(),
                 qPrintable(verified.out + verified.err));
    }

    // The command from the unpacked tree, from the root directory: its window comes up with every
    // layer, its modules are the tree's own, and every file it loads from the system belongs to a
    // package the package depends on (directly, so that a fresh machine gets it).
    void startsFromTheUnpackedTree()
    {
        const QString home = m_tmp.filePath("home");
        QProcessEnvironment env = OrvaneProcess::environment(home);
        env.insert("QML_IMPORT_TRACE", "1");
        env.insert("QT_DEBUG_PLUGINS", "1");
        OrvaneProcess orvane;
        QVERIFY(orvane.start(m_root + "/usr/bin/orvane", {"--box", "1"}, env));
        QVERIFY2(orvane.waitForWindow("orvane --box 1"), qPrintable(orvane.output().right(4000)));
        QVERIFY2(orvane.waitForOutput("mainRenders=12"), qPrintable(orvane.output().right(4000)));
        QCOMPARE(::kill(pid_t(orvane.pid()), SIGTERM), 0);
        QVERIFY(orvane.waitForEnd());
        QCOMPARE(orvane.process()->exitStatus(), QProcess::NormalExit);
        QCOMPARE(orvane.process()->exitCode(), 0);

        const QString log = orvane.output();
        QVERIFY2(log.contains("loaded \"" + m_root + "/usr/lib/orvane/plugins/Serialization/qmldir\""),
                 qPrintable(log.right(4000)));
        QVERIFY(!log.contains(ORVANE_BIN_DIR));
        QVERIFY2(!log.contains("is not installed") && !log.contains("module \""), qPrintable(log.right(4000)));

        QStringList systemFiles;
        static const QRegularExpression loaded("loaded (?:library )?\"(/usr/[^\"]+)\"");
        auto matches = loaded.globalMatch(log);
        while (matches.hasNext())
            systemFiles << matches.next().captured(1);
        systemFiles.removeDuplicates();
        QVERIFY2(systemFiles.size() > 10, qPrintable(systemFiles.join('\n')));

        const Result owners = run("dpkg", QStringList{"-S"} + systemFiles);
        QVERIFY2(owners.code == 0, qPrintable(owners.err));
        const QSet<QString> depends = packageNames(field("Depends"));
        for (const QString &line : owners.out.split('\n', Qt::SkipEmptyParts)) {
            const int colon = line.indexOf(": /");
            if (colon < 0)
                continue;
            bool named = false;
            for (QString owner : line.left(colon).split(", "))
                named =
                    named || depends.contains(owner.left(owner.indexOf(':') >= 0 ? owner.indexOf(':') : owner.size()));
            QVERIFY2(named, qPrintable(line + "\nnot in Depends: " + field("Depends")));
        }
    }
};

QTEST_GUILESS_MAIN(TestPackage)

#include "tst_package.moc"
