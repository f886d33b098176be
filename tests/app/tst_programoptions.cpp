// The command line of the built program (app/programoptions.cpp): --help and --version answer
// without a display, an unknown option or a stray argument gets the usage on stderr and status 2.
#include <QRegularExpression>
#include <QTcpServer>
#include <QtTest>

#include "programoptions.h"
#include "../utils/orvaneprocess.h"

namespace {

using Run = OrvaneProcess::Finished;

// The program with no display at all: the X11 platform would fail to start if it were tried.
Run orvane(const QStringList &args, const QString &platform = QStringLiteral("xcb"),
           const QByteArray &controlToken = QByteArray())
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("ORVANE_CONTROL_TOKEN");
    if (!controlToken.isNull())
        env.insert("ORVANE_CONTROL_TOKEN", QString::fromUtf8(controlToken));
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", platform);
    Run run = OrvaneProcess::run(OrvaneProcess::program(), args, env, 30000);
    // the notice of the QML debugging enabler, written before main runs, is not the program's answer
    run.err.remove(QStringLiteral("QML debugging is enabled. Only use this in a safe environment.\n"));
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
            for (const QString option :
                 {"--box N ", "--control PORT ", "--control-bind ADDR ", "--help ", "--version "}) {
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

    void badControlOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("token");
        QTest::addColumn<QString>("reason");
        const QString noPort = "(a port number from 1 to 65535)";
        QTest::newRow("port text") << QStringList{"--control", "abc"} << QByteArray()
                                   << "Bad value for --control: abc " + noPort;
        QTest::newRow("port 0") << QStringList{"--control", "0"} << QByteArray()
                                << "Bad value for --control: 0 " + noPort;
        QTest::newRow("port too high") << QStringList{"--control", "65536"} << QByteArray()
                                       << "Bad value for --control: 65536 " + noPort;
        QTest::newRow("port fraction") << QStringList{"--control", "80.5"} << QByteArray()
                                       << "Bad value for --control: 80.5 " + noPort;
        QTest::newRow("bind alone") << QStringList{"--control-bind", "127.0.0.1"} << QByteArray()
                                    << "--control-bind needs --control PORT";
        QTest::newRow("bind no address")
            << QStringList{"--control", "7000", "--control-bind", "10.1.2.3.4"} << QByteArray()
            << "Bad value for --control-bind: 10.1.2.3.4 (an IP address such as 127.0.0.1 or 0.0.0.0)";
        QTest::newRow("every address, no token")
            << QStringList{"--control", "7000", "--control-bind", "0.0.0.0"} << QByteArray()
            << "--control-bind 0.0.0.0 is reachable from other machines: set ORVANE_CONTROL_TOKEN";
        QTest::newRow("other address, empty token")
            << QStringList{"--control", "7000", "--control-bind", "192.168.7.7"} << QByteArray("")
            << "--control-bind 192.168.7.7 is reachable from other machines: set ORVANE_CONTROL_TOKEN";
        QTest::newRow("web port 0") << QStringList{"--web", "0"} << QByteArray() << "Bad value for --web: 0 " + noPort;
        QTest::newRow("web on every address, no token")
            << QStringList{"--web", "8080", "--control-bind", "0.0.0.0"} << QByteArray()
            << "--control-bind 0.0.0.0 is reachable from other machines: set ORVANE_CONTROL_TOKEN";
    }

    // The control port's options: the reason on stderr, status 2, nothing starts.
    void badControlOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, token);
        QFETCH(QString, reason);
        const Run run = orvane(args, QStringLiteral("offscreen"), token);
        QCOMPARE(run.code, 2);
        QCOMPARE(run.out, QString());
        QCOMPARE(run.err, reason + "\n");
    }

    void badHeadlessOptions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("reason");
        const QString idle = "--headless needs --output or --control: without them it could do nothing";
        const QString feeds = "--headless cannot show --program or --key: there is no display to put them on";
        QTest::newRow("alone") << QStringList{"--headless"} << idle;
        QTest::newRow("with other options")
            << QStringList{"--headless", "--box", "2", "--fps", "50", "--restore"} << idle;
        QTest::newRow("program") << QStringList{"--headless", "--output", "fakesink", "--program"} << feeds;
        QTest::newRow("program on a screen, key")
            << QStringList{"--control", "7000", "--program", "0", "--key", "--headless"} << feeds;
        QTest::newRow("key alone") << QStringList{"--headless", "--control", "7000", "--key"} << feeds;
    }

    // Refused on the platform --headless chooses, with no display: the reason, status 2.
    void badHeadlessOptions()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, reason);
        const Run run = orvane(args);
        QCOMPARE(run.code, 2);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.endsWith(reason + "\n"), qPrintable(run.err));
    }

    // A port that cannot be opened ends the start before any window, with the reason.
    void controlPortTaken()
    {
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost, 0));
        const QString port = QString::number(holder.serverPort());
        const Run run = orvane({"--control", port}, QStringLiteral("offscreen"));
        QCOMPARE(run.code, 2);
        QVERIFY2(run.err.startsWith("Can't open the control port 127.0.0.1:" + port + ": "), qPrintable(run.err));
        const Run web = orvane({"--web", port}, QStringLiteral("offscreen"));
        QCOMPARE(web.code, 2);
        QVERIFY2(web.err.startsWith("Can't open the web port 127.0.0.1:" + port + ": "), qPrintable(web.err));
    }
};

QTEST_GUILESS_MAIN(TestProgramOptions)

#include "tst_programoptions.moc"
