#pragma once
// The real program as a child process of a test: every test that starts Orvane (or its test
// build, or the packaged command) does it through this class. environment() gives it a home of
// its own (HOME, XDG_* and logDir inside `home`); its windows are found and closed over X11 with
// the xclose helper (ORVANE_XCLOSE, built from x11windows.h), as a window manager would. Standard
// output and error come merged, in order; run() keeps them apart for a program that just answers.
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <memory>

class OrvaneProcess
{
public:
    // How a program run to its end ended: code is its exit status, -1 after a crash or when it
    // did not end in time (it is then killed).
    struct Finished
    {
        int code = -1;
        QString out;
        QString err;
    };

    static QString program() { return QStringLiteral(ORVANE_BIN_DIR "/Orvane"); }

    static Finished run(const QString &program, const QStringList &args, const QProcessEnvironment &env, int ms = 30000)
    {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(program, args);
        Finished finished;
        if (!process.waitForFinished(ms)) {
            process.kill();
            process.waitForFinished(5000);
            return finished;
        }
        finished.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        finished.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        finished.err = QString::fromLocal8Bit(process.readAllStandardError());
        return finished;
    }

    // A clean environment for a program living in `home`; logDir is home/log.
    static QProcessEnvironment environment(const QString &home)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QList<QPair<QString, QString>> dirs{{"HOME", "/home"},
                                                  {"XDG_DATA_HOME", "/data"},
                                                  {"XDG_CONFIG_HOME", "/config"},
                                                  {"XDG_CACHE_HOME", "/cache"},
                                                  {"logDir", "/log"}};
        for (const auto &dir : dirs) {
            QDir().mkpath(home + dir.second);
            env.insert(dir.first, home + dir.second);
        }
        return env;
    }

    ~OrvaneProcess() { kill(); }

    bool start(const QString &program, const QStringList &args, const QProcessEnvironment &env,
               const QString &workingDirectory = QStringLiteral("/"))
    {
        kill();
        m_output.clear();
        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::MergedChannels);
        m_process->setProcessEnvironment(env);
        m_process->setWorkingDirectory(workingDirectory);
        m_process->start(program, args);
        return m_process->waitForStarted(10000);
    }

    QString output()
    {
        if (m_process)
            m_output += QString::fromLocal8Bit(m_process->readAll());
        return m_output;
    }

    qint64 pid() const { return m_process ? m_process->processId() : 0; }
    bool running() const { return m_process && m_process->state() == QProcess::Running; }
    QProcess *process() const { return m_process.get(); }

    // True once a window of the process titled `titlePrefix`... is mapped; false when the process
    // ends first or nothing shows within the time.
    bool waitForWindow(const QString &titlePrefix, int ms = 60000)
    {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            output();
            if (!running())
                return false;
            if (xclose(titlePrefix, true))
                return true;
            QTest::qWait(200);
        }
        return false;
    }

    // Asks the windows titled `titlePrefix`... to close, as a window manager's close button does,
    // until the process ends; the request is repeated while it lives, so one that meets the window
    // before it handles requests is not lost. True when a window was asked and the process ended.
    bool closeWindow(const QString &titlePrefix, int ms = 30000)
    {
        QDeadlineTimer deadline(ms);
        bool asked = false;
        while (m_process && !deadline.hasExpired()) {
            asked = xclose(titlePrefix, false) || asked;
            if (m_process->waitForFinished(2000) || !running())
                break;
        }
        output();
        return asked && !running();
    }

    // Waits until the trace holds `text` (while the process runs or has just ended).
    bool waitForOutput(const QString &text, int ms = 30000)
    {
        QDeadlineTimer deadline(ms);
        while (!output().contains(text)) {
            if (deadline.hasExpired() || (!running() && !m_process->waitForReadyRead(0)))
                return output().contains(text);
            m_process->waitForReadyRead(200);
        }
        return true;
    }

    bool waitForEnd(int ms = 30000)
    {
        // QProcess answers false for a process that has already ended
        const bool ended = !m_process || m_process->state() == QProcess::NotRunning || m_process->waitForFinished(ms);
        output();
        return ended;
    }

    // As a service manager stops it: SIGTERM, and SIGKILL when it has not ended after `ms`.
    void stop(int ms = 10000)
    {
        if (m_process && m_process->state() != QProcess::NotRunning) {
            m_process->terminate();
            if (!m_process->waitForFinished(ms))
                kill();
        }
        output();
    }

    void kill()
    {
        if (m_process && m_process->state() != QProcess::NotRunning) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }

private:
    bool xclose(const QString &titlePrefix, bool findOnly)
    {
        if (!running())
            return false;
        QStringList args{QString::number(pid()), titlePrefix};
        if (findOnly)
            args << QStringLiteral("--find");
        QProcess helper;
        helper.start(QStringLiteral(ORVANE_XCLOSE), args);
        return helper.waitForFinished(10000) && helper.exitStatus() == QProcess::NormalExit && helper.exitCode() == 0;
    }

    std::unique_ptr<QProcess> m_process;
    QString m_output;
};
