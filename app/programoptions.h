#pragma once
// The command line of the program, read in one place. Options beyond --box switch on capabilities
// (feeds, the control port, ...); a start without them behaves as the plain output window.
// The window keeps reading --box itself; everything else reaches QML through this object.
#include <QObject>
#include <QString>
#include <QStringList>

class ProgramOptions : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int box READ box CONSTANT)

public:
    // What the start-up does with a command line: run, or print and exit with a status.
    struct Outcome
    {
        int exitCode = -1; // -1: run the program
        QString out;       // for standard output (--help, --version)
        QString err;       // for standard error (bad options: the reason and the usage)
    };

    explicit ProgramOptions(QObject *parent = nullptr);

    // Reads the arguments after the program name. Qt's own options (-platform and the like) are
    // taken out by the application object before this sees them.
    Outcome parse(const QStringList &arguments);

    // Only --help and --version, looked for before the application object exists, so that both
    // work without a display.
    static Outcome early(int argc, char **argv);

    static QString usage();

    int box() const { return m_box; }

private:
    int m_box = 0;
};
