// The stop signals on their own (service/stopsignals.cpp), in a child process that raises them
// before its event loop runs: the first SIGTERM or SIGINT reaches the loop as a stop request,
// a second one ends the process at once, SIGHUP changes nothing.
#include <QProcess>
#include <QtTest>

#include <csignal>

class TestStopSignals : public QObject
{
    Q_OBJECT

private slots:
    void raisedSignals_data()
    {
        QTest::addColumn<QStringList>("raised");
        QTest::addColumn<int>("endedBy");       // 0: exited normally
        QTest::addColumn<QByteArray>("output"); // when it exited normally
        QTest::newRow("TERM") << QStringList{"TERM"} << 0 << QByteArray("raised\nstop 15\n");
        QTest::newRow("INT") << QStringList{"INT"} << 0 << QByteArray("raised\nstop 2\n");
        QTest::newRow("HUP ignored") << QStringList{"HUP", "TERM"} << 0 << QByteArray("raised\nstop 15\n");
        QTest::newRow("HUP after TERM") << QStringList{"TERM", "HUP"} << 0 << QByteArray("raised\nstop 15\n");
        QTest::newRow("second TERM") << QStringList{"TERM", "TERM"} << int(SIGTERM) << QByteArray();
        QTest::newRow("INT then TERM") << QStringList{"INT", "TERM"} << int(SIGTERM) << QByteArray();
        QTest::newRow("TERM then INT") << QStringList{"TERM", "INT"} << int(SIGINT) << QByteArray();
    }

    void raisedSignals()
    {
        QFETCH(QStringList, raised);
        QFETCH(int, endedBy);
        QFETCH(QByteArray, output);
        QProcess child;
        child.start(QStringLiteral(ORVANE_STOPSIGNALS_CHILD), raised);
        QVERIFY(child.waitForFinished(30000));
        const QByteArray printed = child.readAllStandardOutput();
        if (endedBy == 0) {
            QCOMPARE(child.exitStatus(), QProcess::NormalExit);
            QCOMPARE(child.exitCode(), 0);
            QCOMPARE(printed, output);
        } else {
            // ended inside the second raise, before it could print anything
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            QCOMPARE(child.exitCode(), endedBy);
            QCOMPARE(printed, QByteArray());
        }
    }

    // A stop sent from outside while the loop runs, after a hang-up that must not end it.
    void fromOutside()
    {
        QProcess child;
        child.start(QStringLiteral(ORVANE_STOPSIGNALS_CHILD), QStringList());
        QVERIFY(child.waitForReadyRead(30000));
        QCOMPARE(child.readAllStandardOutput(), QByteArray("raised\n"));
        QCOMPARE(::kill(pid_t(child.processId()), SIGHUP), 0);
        QCOMPARE(::kill(pid_t(child.processId()), SIGTERM), 0);
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(child.readAllStandardOutput(), QByteArray("stop 15\n"));
    }
};

QTEST_GUILESS_MAIN(TestStopSignals)

#include "tst_stopsignals.moc"
