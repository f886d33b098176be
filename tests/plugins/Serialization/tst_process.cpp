// Process.run as the documents call it: a program started detached with its arguments as text,
// and 0 for a program that cannot start.
#include "process.h"
#include "servicetest.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

class ProcessTest : public QObject
{
    Q_OBJECT

private slots:
    void missingProgramsReturnZero()
    {
        Process process;
        QCOMPARE(process.run("/nonexistent/RpcClient.exe", {"--layer", 3}), qint64(0));
        QCOMPARE(process.run("RpcClient.exe", {"--layer", 3}), qint64(0));
        QCOMPARE(process.run(QString(), {}), qint64(0));
        QCOMPARE(process.run(m_tmp.path(), {}), qint64(0));
    }

    void startsDetachedWithTextAndNumberArguments()
    {
        Process process;
        QVERIFY(process.run("/bin/true") > 0);
        const QString out = m_tmp.filePath("args.txt");
        const qint64 pid = process.run(
            "/bin/sh", {"-c", "printf '%s|%s|%s' \"$1\" \"$2\" \"$3\" > \"$0.part\" && mv \"$0.part\" \"$0\"", out,
                        "--layer", 3, 2.5});
        QVERIFY(pid > 0);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(out), 10000);
        QCOMPARE(contents(out), QByteArray("--layer|3|2.5"));
    }

private:
    QTemporaryDir m_tmp{testRoot() + "/process-XXXXXX"};
};

QTEST_GUILESS_MAIN(ProcessTest)

#include "tst_process.moc"
