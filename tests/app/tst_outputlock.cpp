// One program per output, on real lock files in a temporary directory: a second lock of the same
// output is refused and names the holder, other outputs are free, and locks left by processes
// that are gone, or whose number now belongs to another program, are taken over.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "outputlock.h"

namespace {

// A lock file as a program that no longer runs as the holder would have left it.
bool leaveLock(const QString &path, qint64 pid, const QString &app)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QByteArray::number(pid) + '\n' + app.toUtf8() + '\n' + QSysInfo::machineHostName().toUtf8() + '\n');
    return true;
}

} // namespace

class TestOutputLock : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp{qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath()) + "/lock-XXXXXX"};

private slots:
    void fileNamesFollowTheOutputsFiles()
    {
        QCOMPARE(OutputLock::fileName(0), QStringLiteral("output.lock"));
        QCOMPARE(OutputLock::fileName(2), QStringLiteral("output-2.lock"));
        QCOMPARE(OutputLock::fileName(-3), QStringLiteral("output--3.lock"));
    }

    void oneHolderPerOutput()
    {
        const QString dir = m_tmp.filePath("one");
        QVERIFY(QDir().mkpath(dir));
        {
            OutputLock first(dir, 2);
            QCOMPARE(first.take(), OutputLock::Outcome::Taken);
            QCOMPARE(first.path(), dir + "/output-2.lock");
            QVERIFY(QFile::exists(first.path()));

            OutputLock second(dir, 2);
            QCOMPARE(second.take(), OutputLock::Outcome::HeldElsewhere);
            QCOMPARE(second.holder(), QCoreApplication::applicationPid());

            // other outputs are free
            OutputLock other(dir, 3);
            QCOMPARE(other.take(), OutputLock::Outcome::Taken);
            OutputLock zero(dir, 0);
            QCOMPARE(zero.take(), OutputLock::Outcome::Taken);
        }
        // released with its holder
        QVERIFY(!QFile::exists(dir + "/output-2.lock"));
        OutputLock again(dir, 2);
        QCOMPARE(again.take(), OutputLock::Outcome::Taken);
    }

    void staleLocksAreTakenOver()
    {
        const QString dir = m_tmp.filePath("stale");
        QVERIFY(QDir().mkpath(dir));

        // the holder was killed: its process is gone
        QProcess gone;
        gone.start("true", QStringList());
        QVERIFY(gone.waitForFinished(10000));
        const qint64 deadPid = gone.processId() ? gone.processId() : 999999;
        QVERIFY(leaveLock(dir + "/output-2.lock", deadPid, QCoreApplication::applicationName()));
        OutputLock dead(dir, 2);
        QCOMPARE(dead.take(), OutputLock::Outcome::Taken);

        // the holder's number now belongs to another program
        QProcess other;
        other.start("sleep", {"30"});
        QVERIFY(other.waitForStarted(10000));
        QVERIFY(leaveLock(dir + "/output-4.lock", other.processId(), QCoreApplication::applicationName()));
        OutputLock reused(dir, 4);
        QCOMPARE(reused.take(), OutputLock::Outcome::Taken);
        other.kill();
        other.waitForFinished(5000);

        // an old lock of a program that still runs is not stale: outputs run for days
        QVERIFY(
            leaveLock(dir + "/output-5.lock", QCoreApplication::applicationPid(), QCoreApplication::applicationName()));
        QFile old(dir + "/output-5.lock");
        QVERIFY(old.open(QIODevice::ReadWrite));
        QVERIFY(old.setFileTime(QDateTime::currentDateTime().addDays(-3), QFileDevice::FileModificationTime));
        old.close();
        OutputLock running(dir, 5);
        QCOMPARE(running.take(), OutputLock::Outcome::HeldElsewhere);
        QCOMPARE(running.holder(), QCoreApplication::applicationPid());
    }

    void noPlaceForALock()
    {
        // the directory is missing, or a file stands in its place: the output runs without a lock
        OutputLock missing(m_tmp.filePath("missing"), 1);
        QCOMPARE(missing.take(), OutputLock::Outcome::Unavailable);
        QVERIFY(!QFile::exists(m_tmp.filePath("missing")));
        const QString file = m_tmp.filePath("a-file");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        OutputLock inTheWay(file, 1);
        QCOMPARE(inTheWay.take(), OutputLock::Outcome::Unavailable);
        QVERIFY(QFileInfo(file).isFile());
    }
};

QTEST_GUILESS_MAIN(TestOutputLock)

#include "tst_outputlock.moc"
