// The program output end to end: the real program started with --output, --fps, --program and
// --key, as a service manager or an operator starts it. Bad values end the start with status 2
// and the reason; pipelines get the frames at the rate asked for, and a recording is complete
// when the window is closed or a stop signal ends the program.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString program = QStringLiteral(ORVANE_BIN_DIR "/Orvane");
const QString xclose = QStringLiteral(ORVANE_XCLOSE);

int runXclose(qint64 pid, const QString &title, bool findOnly)
{
    QStringList args{QString::number(pid), title};
    if (findOnly)
        args << "--find";
    QProcess helper;
    helper.start(xclose, args);
    return helper.waitForFinished(10000) ? helper.exitCode() : -1;
}

// "Duration: 0:00:03.100000000" of gst-discoverer-1.0, in seconds; -1 when it reads none.
double discoveredSeconds(const QString &file)
{
    QProcess discoverer;
    discoverer.start(QStringLiteral("gst-discoverer-1.0"), {file});
    if (!discoverer.waitForFinished(30000))
        return -1;
    const QString text = QString::fromLocal8Bit(discoverer.readAllStandardOutput());
    static const QRegularExpression duration(QStringLiteral("Duration: (\\d+):(\\d+):(\\d+\\.\\d+)"));
    const QRegularExpressionMatch m = duration.match(text);
    if (!m.hasMatch())
        return -1;
    return m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60 + m.captured(3).toDouble();
}

} // namespace

class TestOutputCommandLine : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp{QDir(qEnvironmentVariable("ORVANE_TEST_TMP", QDir::tempPath())).filePath("cliXXXXXX")};

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        QVERIFY2(QFileInfo(program).isExecutable(), qPrintable(program));
    }

    void badValuesEndTheStartWithTheReason_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("reason");
        QTest::newRow("fps 0") << QStringList{"--fps", "0"} << "--fps 0: not a frame rate";
        QTest::newRow("fps text") << QStringList{"--fps", "abc"} << "--fps abc: not a frame rate";
        QTest::newRow("fps decimal") << QStringList{"--fps", "29.97"} << "--fps 29.97: not a frame rate";
        QTest::newRow("fps over zero") << QStringList{"--fps", "25/0"} << "--fps 25/0: not a frame rate";
        QTest::newRow("program -1") << QStringList{"--program", "-1"} << "--program -1: not a screen number";
        QTest::newRow("key text") << QStringList{"--program", "--key", "left"} << "--key left: not a screen number";
        QTest::newRow("key alone") << QStringList{"--key"} << "--key goes with --program";
        QTest::newRow("empty pipeline") << QStringList{"--output", " "} << "--output: the pipeline text is empty";
        QTest::newRow("missing element") << QStringList{"--output", "fakesink", "--output", "nosuchsink0"}
                                         << "--output \"nosuchsink0\": no element \"nosuchsink0\"";
        QTest::newRow("unparsable") << QStringList{"--output", "videoconvert !"} << "--output \"videoconvert !\": ";
    }

    void badValuesEndTheStartWithTheReason()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, reason);
        const QString home = m_tmp.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_'));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", home);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(program, arguments);
        QVERIFY(process.waitForFinished(60000));
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 2);
        QVERIFY2(err.contains(reason), qPrintable(err));
        // ended before its window: no configuration was written
        QVERIFY2(!QFileInfo::exists(home + "/Quarnet/Orvane/output_config.json"), qPrintable(home));
    }

    void pipelinesGetTheFramesAtTheRateAndAWholeRecording()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "this test needs an X display");
        const QString raw = m_tmp.filePath("frames.raw");
        const QString recording = m_tmp.filePath("recording.mov");
        const QString slow = m_tmp.filePath("slow.raw");
        // tiny frames to count in one file, a recording whose muxer writes its index at the end,
        // and a pipeline that takes a frame in 80 ms, half the time that 25 frames a second leave
        const QString tiny = "videoscale ! video/x-raw,width=64,height=36 ! filesink location=";
        const QStringList arguments{"--box",
                                    "2",
                                    "--fps",
                                    "25",
                                    "--program",
                                    "7",
                                    "--key",
                                    "0",
                                    "--output",
                                    tiny + raw,
                                    "--output",
                                    "videoconvert ! videoscale ! video/x-raw,width=320,height=180 ! jpegenc ! qtmux ! "
                                    "filesink location="
                                        + recording,
                                    "--output",
                                    "identity sleep-time=80000 ! " + tiny + slow};
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, arguments);
        QVERIFY(process.waitForStarted());
        const qint64 frameBytes = 64 * 36 * 4;
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(raw).size() >= frameBytes, 60000);
        QElapsedTimer running;
        running.start();
        // a screen that does not exist gives a windowed feed, titled for the output; both map under a window manager
        QTRY_COMPARE_WITH_TIMEOUT(runXclose(process.processId(), "Orvane program --box 2", true), 0, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(runXclose(process.processId(), "Orvane key --box 2", true), 0, 20000);
        QTest::qWait(3000);

        QDeadlineTimer deadline(30000);
        while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
            runXclose(process.processId(), "Orvane --box 2", false);
            process.waitForFinished(2000);
        }
        const double seconds = running.elapsed() / 1000.0;
        const QString log = QString::fromLocal8Bit(process.readAll());
        QCOMPARE(process.state(), QProcess::NotRunning);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY2(log.contains("No screen 7 for the program window"), qPrintable(log));

        // every frame sent reached both pipelines, the recording is whole and as long as they are
        static const QRegularExpression sentLine(
            QStringLiteral("Output frames sent \\d+ late \\d+ at exit \\(since start: sent (\\d+) late (\\d+);"));
        const QRegularExpressionMatch sent = sentLine.match(log);
        QVERIFY2(sent.hasMatch(), qPrintable(log));
        const qint64 frames = QFileInfo(raw).size() / frameBytes;
        QCOMPARE(QFileInfo(raw).size() % frameBytes, 0);
        // with the frames a slow pipeline had to drop, counted in the trace, every frame sent is in the file
        const auto dropped = [&log](int output) {
            const QRegularExpression line(QStringLiteral("Output %1 dropped (\\d+) frames").arg(output));
            return line.match(log).captured(1).toLongLong();
        };
        QCOMPARE(frames + dropped(1), sent.captured(1).toLongLong());
        QVERIFY2(dropped(3) > 0, qPrintable(log));
        QCOMPARE(QFileInfo(slow).size() / frameBytes + dropped(3), sent.captured(1).toLongLong());
        QVERIFY2(!log.contains("did not finish its stream"), qPrintable(log));
        const double duration = discoveredSeconds(recording);
        QVERIFY2(qAbs(duration - frames / 25.0) < 0.15,
                 qPrintable(QString("%1 s for %2 frames").arg(duration).arg(frames)));
        // 25 frames a second of the time it ran (loosely: the start and the end are not exact)
        QVERIFY2(frames >= 25 * (seconds - 1) && frames <= 25 * (seconds + 1),
                 qPrintable(QString("%1 frames in %2 s").arg(frames).arg(seconds)));
    }

    void aStopSignalLeavesAWholeRecording()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "this test needs an X display");
        const QString recording = m_tmp.filePath("stopped.mov");
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(program, {"--fps", "10", "--output",
                                "videoconvert ! videoscale ! video/x-raw,width=320,height=180 ! jpegenc ! "
                                "qtmux ! filesink location="
                                    + recording});
        QVERIFY(process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(recording).size() > 0, 60000);
        QTest::qWait(1500);
        // as a service manager stops it
        process.terminate();
        QVERIFY(process.waitForFinished(30000));
        const QString log = QString::fromLocal8Bit(process.readAll());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY2(log.contains("Output frames sent"), qPrintable(log));
        QVERIFY2(!log.contains("did not finish its stream"), qPrintable(log));
        // the muxer wrote its index: the file knows how long it is
        QVERIFY2(discoveredSeconds(recording) > 0.5, qPrintable(log));
    }
};

QTEST_GUILESS_MAIN(TestOutputCommandLine)

#include "tst_outputcommandline.moc"
