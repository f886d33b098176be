#pragma once
// Crash evidence for a machine that runs unattended. A crash (SIGSEGV, SIGABRT, SIGBUS, SIGFPE,
// SIGILL) writes crash-<time>.txt with the signal and a backtrace (glibc's backtrace) into the
// log directory, then lets the signal end the process as it would have, so the service manager
// sees a crash and starts the output again. The next start of the same output offers the
// report's path to the window, which lists it as a Warning.
//
// Everything the handler needs (paths, the header text) is prepared when the handler is installed:
// inside it only async-signal-safe calls run (open, write, rename, clock_gettime, backtrace after
// it has been loaded once).
#include <QObject>
#include <QString>

class CrashReport : public QObject
{
    Q_OBJECT
    // The report the previous run of this output left, or empty; read by the window once complete.
    Q_PROPERTY(QString previousReport READ previousReport CONSTANT)

public:
    // box: the output number (its marker file carries it, as every per-output file does).
    // logDir: the environment value; reports go there when it is an absolute directory, into
    // dataDir/logDir when it is relative, into dataDir when it is unset or cannot be written.
    CrashReport(int box, const QString &logDir, const QString &dataDir, QObject *parent = nullptr);

    // Takes the previous run's marker (so each crash is listed once) and installs the handlers.
    void install();

    QString previousReport() const { return m_previous; }

    // Where a report goes for a given logDir and application-data directory.
    static QString reportDirectory(const QString &logDir, const QString &dataDir);
    // The marker naming the last report of output `box`, in the application-data directory.
    static QString markerPath(int box, const QString &dataDir);

private:
    QString takePreviousReport();

    int m_box;
    QString m_dir;
    QString m_dataDir;
    QString m_previous;
};
