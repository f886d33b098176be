#pragma once
// One running program per output. Two programs started with the same --box would both write that
// output's configuration, queue file and settings, each over the other's; the second start sees
// the first through a lock file per output in the application-data directory, beside the files it
// protects. A lock left by a program that died (killed, crashed, the machine reset) names a process
// that no longer runs, or now runs another program, and is taken over.
#include <QLockFile>
#include <QString>

class OutputLock
{
public:
    enum class Outcome {
        Taken,         // this program runs the output
        HeldElsewhere, // another running program has it: see holder()
        Unavailable,   // no lock can be made there (directory missing, a file, read-only)
    };

    // `dir`: the application-data directory; `box`: the output number (--box N).
    OutputLock(const QString &dir, int box);

    Outcome take();

    // The process that runs the output, after take() answered HeldElsewhere; 0 when unknown.
    qint64 holder() const { return m_holder; }
    QString path() const { return m_path; }

    // "output.lock" for output 0, "output-2.lock" for output 2: the files' own naming.
    static QString fileName(int box);

private:
    QString m_path;
    QLockFile m_lock;
    qint64 m_holder = 0;
};
