#pragma once
// The real program as a child process of a test, in a home of its own: HOME, XDG_* and logDir
// point into `home`, and its window is found over X11 with the xclose helper (ORVANE_XCLOSE).
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include <memory>

class OrvaneProcess
{
public:
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
            QProcess helper;
            helper.start(QStringLiteral(ORVANE_XCLOSE), {QString::number(pid()), titlePrefix, "--find"});
            if (helper.waitForFinished(10000) && helper.exitCode() == 0)
                return true;
            QTest::qWait(200);
        }
        return false;
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
        const bool ended = !m_process || m_process->waitForFinished(ms);
        output();
        return ended;
    }

    void kill()
    {
        if (m_process && m_process->state() != QProcess::NotRunning) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }

private:
    std::unique_ptr<QProcess> m_process;
    QString m_output;
};
