#pragma once
// The command line of the program, read in one place. Options beyond --box switch on capabilities
// (feeds, the control port, ...); a start without them behaves as the plain output window.
// The window keeps reading --box itself; everything else reaches QML through this object.
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

class QCommandLineParser;

class ProgramOptions : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int box READ box CONSTANT)
    Q_PROPERTY(int control READ control CONSTANT)
    Q_PROPERTY(int web READ web CONSTANT)
    Q_PROPERTY(QString controlBind READ controlBind CONSTANT)
    // --videos DIR as a file: URL of the folder; empty without the option
    Q_PROPERTY(QUrl videos READ videos CONSTANT)
    // clean feed windows: given or not, and the screen to fill (-1: windowed)
    Q_PROPERTY(bool program READ program CONSTANT)
    Q_PROPERTY(int programScreen READ programScreen CONSTANT)
    Q_PROPERTY(bool key READ key CONSTANT)
    Q_PROPERTY(int keyScreen READ keyScreen CONSTANT)
    // GStreamer pipelines, each fed as "appsrc ! PIPELINE", and the frame rate of the output
    Q_PROPERTY(QStringList outputs READ outputs CONSTANT)
    Q_PROPERTY(int fpsNumerator READ fpsNumerator CONSTANT)
    Q_PROPERTY(int fpsDenominator READ fpsDenominator CONSTANT)
    // --restore: what was on air when the output last ended comes back at the start
    Q_PROPERTY(bool restore READ restore CONSTANT)
    // --headless: no window and no display; the output and the control port alone
    Q_PROPERTY(bool headless READ headless CONSTANT)

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
    // Whether --headless is among the arguments, looked at before the application object exists:
    // it chooses the platform the application object starts on.
    static bool headlessRequested(int argc, char **argv);

    static QString usage();

    int box() const { return m_box; }
    // --control PORT: the TCP port of the control port, 0 without the option
    int control() const { return m_control; }
    // --web PORT: the TCP port of the web page, 0 without the option
    int web() const { return m_web; }
    // --control-bind ADDR: the address both listen on, 127.0.0.1 without the option
    QString controlBind() const { return m_controlBind; }
    // --videos DIR: the videos folder, empty without the option
    QUrl videos() const { return m_videos; }

    // The environment variable that holds the control port's token.
    static QByteArray controlToken();
    bool program() const { return m_program; }
    int programScreen() const { return m_programScreen; }
    bool key() const { return m_key; }
    int keyScreen() const { return m_keyScreen; }
    QStringList outputs() const { return m_outputs; }
    int fpsNumerator() const { return m_fpsNumerator; }
    int fpsDenominator() const { return m_fpsDenominator; }
    bool restore() const { return m_restore; }
    bool headless() const { return m_headless; }
    // the composite leaves the process: a feed window or a pipeline
    bool programOutput() const { return m_program || !m_outputs.isEmpty(); }

private:
    Outcome bad(const QString &message) const;
    static int boxAsTheWindowReadsIt(const QStringList &arguments);
    QString readValues(const QCommandLineParser &parser);
    QString checkControl(const QCommandLineParser &parser);

    int m_box = 0;
    int m_control = 0;
    int m_web = 0;
    QString m_controlBind = QStringLiteral("127.0.0.1");
    QUrl m_videos;
    bool m_program = false;
    int m_programScreen = -1;
    bool m_key = false;
    int m_keyScreen = -1;
    QStringList m_outputs;
    int m_fpsNumerator = 25;
    int m_fpsDenominator = 1;
    bool m_restore = false;
    bool m_headless = false;
};
