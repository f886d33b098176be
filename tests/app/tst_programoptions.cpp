// The command line of the built program (app/programoptions.cpp): --help and --version answer
// without a display, an unknown option or a stray argument gets the usage on stderr and status 2.
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include "programoptions.h"

namespace {

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

// The program with no display at all: the X11 platform would fail to start if it were tried.
Run orvane(const QStringList &args, const QString &platform = QStringLiteral("xcb"))
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", platform);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(ORVANE_BIN_DIR "/Orvane"), args);
    Run run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        return run;
    }
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    // the notice of the QML debugging enabler, written before main runs, is not the program's answer
    run.err = QString::fromLocal8Bit(process.readAllStandardError())
                  .remove(QStringLiteral("QML debugging is enabled. Only use this in a safe environment.\n"));
    return run;
}

} // namespace

class TestProgramOptions : public QObject
{
    Q_OBJECT

private slots:
    // Every option on one line of its own with its help text; the same with anything around it.
    void help()
    {
        for (const QStringList &args :
             {QStringList{"--help"}, QStringList{"--box", "2", "--help"}, QStringList{"-h"}}) {
            const Run run = orvane(args);
            QCOMPARE(run.code, 0);
            QCOMPARE(run.err, QString());
            QVERIFY2(run.out.startsWith("Usage: orvane [options]\n"), qPrintable(run.out));
            const QStringList lines = run.out.split('\n');
            for (const QString option : {"--box N ", "--help ", "--version "}) {
                const QStringList found =
                    lines.filter(QRegularExpression("^\\s+" + QRegularExpression::escape(option)));
                QVERIFY2(found.size() == 1, qPrintable(option + "\n" + run.out));
                // a help text follows the option on its line
                QVERIFY2(found.first().simplified().size() > option.size() + 10, qPrintable(found.first()));
            }
        }
    }

    void version()
    {
        const Run run = orvane({"--version"});
        QCOMPARE(run.code, 0);
        QCOMPARE(run.out, QStringLiteral("Orvane 3.14\n"));
        QCOMPARE(run.err, QString());
    }

    void badCommandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unknown option") << QStringList{"--bogus"} << "Unknown option 'bogus'.";
        QTest::newRow("unknown after --box") << QStringList{"--box", "1", "--boxx", "2"} << "Unknown option 'boxx'.";
        QTest::newRow("stray argument") << QStringList{"extra"} << "Unexpected argument: extra";
        QTest::newRow("stray after --box") << QStringList{"--box", "1", "2"} << "Unexpected argument: 2";
    }

    // The reason and the usage go to stderr; nothing starts (the offscreen platform, as the
    // application object is made before the options beyond --help and --version are read).
    void badCommandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, reason);
        const Run run = orvane(args, QStringLiteral("offscreen"));
        QCOMPARE(run.code, 2);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.startsWith(reason + "\nUsage: orvane [options]\n"), qPrintable(run.err));
        QVERIFY2(run.err.contains("--version"), qPrintable(run.err));
    }

    // The output number other parts of the program use (its lock, its crash reports) is the one
    // the window reads: the word after the first "--box", a plain whole number, else 0.
    void boxAsTheWindowReadsIt()
    {
        const QList<QPair<QStringList, int>> cases = {
            {{"--box", "2"}, 2},
            {{"--box", " 7 "}, 7},
            {{"--box", "-3"}, -3},
            {{"--box", "2.5"}, 0},
            {{"--box", "two"}, 0},
            {{"--box"}, 0},
            {{"--box=2"}, 0},
            {{"--box", "1", "--box", "2"}, 1},
            {{}, 0},
        };
        for (const auto &c : cases) {
            ProgramOptions options;
            QCOMPARE(options.parse(c.first).exitCode, -1);
            QVERIFY2(options.box() == c.second, qPrintable(c.first.join(' ')));
        }
    }
};

QTEST_GUILESS_MAIN(TestProgramOptions)

#include "tst_programoptions.moc"
