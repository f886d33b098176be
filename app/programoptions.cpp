#include "programoptions.h"

#include "videofolder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>
#include <QRegularExpression>

namespace {

// One entry per option: the single place where options and their help lines are listed.
struct OptionSpec
{
    const char *name;
    const char *valueName; // nullptr: a switch without a value
    const char *help;
};

const OptionSpec optionSpecs[] = {
    {"box", "N", "Output number N (0 without it): its own configuration, settings and queue file."},
    {"control", "PORT",
     "Open the control port on 127.0.0.1:PORT: one JSON request per line (see the README); with "
     "ORVANE_CONTROL_TOKEN set, a client says hello with it first."},
    {"control-bind", "ADDR",
     "Listen for --control and --web on ADDR instead (0.0.0.0: every address); an address other than "
     "loopback needs ORVANE_CONTROL_TOKEN."},
    {"web", "PORT",
     "Serve the operator's web page on 127.0.0.1:PORT: the layers, scenes, tally and data from a "
     "browser, over the control port's requests (a WebSocket on the same port)."},
    {"videos", "DIR", "Videos folder for the layers (a path or a file: URL), instead of the user's own videos folder."},
    {"program", "[SCREEN]", "Clean feed window: the composite alone; full screen on SCREEN (0-based) when given."},
    {"key", "[SCREEN]", "With --program: a second feed window showing the composite's alpha as a grey key."},
    {"output", "PIPELINE", "Feed the composite into the GStreamer pipeline \"appsrc ! PIPELINE\"; repeatable."},
    {"fps", "RATE", "Frame rate of the program output: a whole number or a fraction such as 30000/1001 (25)."},
    {"restore", nullptr,
     "Put back on air what this output showed when it last ended (onair[-N].json in the application-data "
     "directory): the same scenes with the same data, without a fade."},
    {"headless", nullptr,
     "Run without a window or a display (no X server needed), with --output or --control: the layers, "
     "the control port and the outputs as with a window."},
    {"help", nullptr, "Print this help and exit."},
    {"version", nullptr, "Print the application name and version and exit."},
};

// Options whose value may be left out ("--program" alone, "--program 1"): the parser knows no
// optional values, so a missing one is written as an empty one before it reads the list.
QStringList withOptionalValues(QStringList args)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg != QLatin1String("--program") && arg != QLatin1String("--key"))
            continue;
        const bool valueFollows = i + 1 < args.size() && !args.at(i + 1).startsWith(QLatin1String("--"));
        if (valueFollows)
            ++i;
        else
            args[i] = arg + QLatin1Char('=');
    }
    return args;
}

// A screen number: empty for a windowed feed (-1); otherwise a whole number from 0.
bool screenNumber(const QString &text, int *screen)
{
    if (text.isEmpty()) {
        *screen = -1;
        return true;
    }
    static const QRegularExpression whole(QStringLiteral("^\\d{1,4}$"));
    if (!whole.match(text).hasMatch())
        return false;
    *screen = text.toInt();
    return true;
}

// "25", "30000/1001": a positive whole number, or a fraction of two, of at most 1000 frames a second.
bool frameRate(const QString &text, int *numerator, int *denominator)
{
    static const QRegularExpression rate(QStringLiteral("^(\\d{1,9})(?:/(\\d{1,9}))?$"));
    const QRegularExpressionMatch m = rate.match(text);
    if (!m.hasMatch())
        return false;
    const long long n = m.captured(1).toLongLong();
    const long long d = m.captured(2).isEmpty() ? 1 : m.captured(2).toLongLong();
    if (n <= 0 || d <= 0 || n > 1000 * d)
        return false;
    *numerator = static_cast<int>(n);
    *denominator = static_cast<int>(d);
    return true;
}

QString versionLine() { return QStringLiteral("Orvane 3.14\n"); }

} // namespace

ProgramOptions::ProgramOptions(QObject *parent) : QObject(parent) { }

QString ProgramOptions::usage()
{
    QString text = QStringLiteral("Usage: orvane [options]\n\nOptions:\n");
    for (const OptionSpec &o : optionSpecs) {
        QString left = QStringLiteral("--") + QLatin1String(o.name);
        if (o.valueName)
            left += QLatin1Char(' ') + QLatin1String(o.valueName);
        text += QStringLiteral("  %1 %2\n").arg(left, -22).arg(QLatin1String(o.help));
    }
    return text;
}

ProgramOptions::Outcome ProgramOptions::early(int argc, char **argv)
{
    Outcome outcome;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--help" || arg == "-h") {
            outcome.exitCode = 0;
            outcome.out = usage();
            return outcome;
        }
        if (arg == "--version") {
            outcome.exitCode = 0;
            outcome.out = versionLine();
            return outcome;
        }
    }
    return outcome;
}

bool ProgramOptions::headlessRequested(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--headless")
            return true;
    }
    return false;
}

ProgramOptions::Outcome ProgramOptions::parse(const QStringList &arguments)
{
    QStringList args = withOptionalValues(arguments);
    // "--box" as the last argument has always meant output 0; the parser would call it an error
    if (!args.isEmpty() && args.last() == QLatin1String("--box"))
        args.removeLast();

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionSpec &o : optionSpecs) {
        if (o.valueName)
            parser.addOption(
                QCommandLineOption(QLatin1String(o.name), QLatin1String(o.help), QLatin1String(o.valueName)));
        else
            parser.addOption(QCommandLineOption(QLatin1String(o.name), QLatin1String(o.help)));
    }
    if (!parser.parse(QStringList{QStringLiteral("orvane")} + args))
        return bad(parser.errorText() + QLatin1Char('\n') + usage().chopped(1));
    if (!parser.positionalArguments().isEmpty())
        return bad(QStringLiteral("Unexpected argument: %1\n").arg(parser.positionalArguments().first())
                   + usage().chopped(1));
    m_box = boxAsTheWindowReadsIt(arguments);
    const QString why = readValues(parser);
    return why.isEmpty() ? Outcome() : bad(why);
}

// Bad values of --box keep their old meaning, output 0, exactly as the window reads them: the
// argument after the first "--box" word. "--box=2" is not that word, so the program's other
// per-output parts (its lock, its crash report) must not see 2 either.
int ProgramOptions::boxAsTheWindowReadsIt(const QStringList &arguments)
{
    static const QRegularExpression whole(QStringLiteral("^\\s*[+-]?\\d+\\s*$"));
    const int at = arguments.indexOf(QStringLiteral("--box"));
    const QString box = at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : QString();
    return whole.match(box).hasMatch() ? box.toInt() : 0;
}

// The values of the options beyond --box; the reason of the first bad one, else empty.
QString ProgramOptions::readValues(const QCommandLineParser &parser)
{
    const QString why = checkControl(parser);
    if (!why.isEmpty())
        return why;
    if (parser.isSet(QStringLiteral("videos"))) {
        const QString videos = parser.value(QStringLiteral("videos"));
        m_videos = VideoFolder::folderUrl(videos);
        if (m_videos.isEmpty())
            return QStringLiteral("Bad value for --videos: \"%1\" (a folder: a path or a file: URL)").arg(videos);
    }
    m_program = parser.isSet(QStringLiteral("program"));
    if (m_program && !screenNumber(parser.value(QStringLiteral("program")), &m_programScreen))
        return QStringLiteral("--program %1: not a screen number (0, 1, ...)").arg(parser.value("program"));
    m_key = parser.isSet(QStringLiteral("key"));
    if (m_key && !screenNumber(parser.value(QStringLiteral("key")), &m_keyScreen))
        return QStringLiteral("--key %1: not a screen number (0, 1, ...)").arg(parser.value("key"));
    m_headless = parser.isSet(QStringLiteral("headless"));
    if (m_headless && (m_program || m_key))
        return QStringLiteral("--headless cannot show --program or --key: there is no display to put them on");
    if (m_key && !m_program)
        return QStringLiteral("--key goes with --program: the key window follows the program window");
    m_restore = parser.isSet(QStringLiteral("restore"));
    m_outputs = parser.values(QStringLiteral("output"));
    for (const QString &pipeline : qAsConst(m_outputs)) {
        if (pipeline.trimmed().isEmpty())
            return QStringLiteral("--output: the pipeline text is empty");
    }
    if (parser.isSet(QStringLiteral("fps"))
        && !frameRate(parser.value(QStringLiteral("fps")), &m_fpsNumerator, &m_fpsDenominator))
        return QStringLiteral("--fps %1: not a frame rate (a whole number above 0 or a fraction such as "
                              "30000/1001, at most 1000)")
            .arg(parser.value(QStringLiteral("fps")));
    if (m_headless && m_outputs.isEmpty() && m_control == 0)
        return QStringLiteral("--headless needs --output or --control: without them it could do nothing");
    return QString();
}

ProgramOptions::Outcome ProgramOptions::bad(const QString &message) const
{
    Outcome outcome;
    outcome.exitCode = 2;
    outcome.err = message + QLatin1Char('\n');
    return outcome;
}

QByteArray ProgramOptions::controlToken() { return qgetenv("ORVANE_CONTROL_TOKEN"); }

// A TCP port number, or 0.
static int portNumber(const QString &text)
{
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    return ok && number >= 1 && number <= 65535 ? number : 0;
}

// The reason the control options (--control, --web, --control-bind) cannot be used, or nothing.
QString ProgramOptions::checkControl(const QCommandLineParser &parser)
{
    const QString port = parser.value(QStringLiteral("control"));
    const QString web = parser.value(QStringLiteral("web"));
    const QString bind = parser.value(QStringLiteral("control-bind"));
    const bool bindGiven = parser.isSet(QStringLiteral("control-bind"));
    if (port.isEmpty() && web.isEmpty()) {
        if (bindGiven)
            return QStringLiteral("--control-bind needs --control PORT");
        return QString();
    }
    m_control = port.isEmpty() ? 0 : portNumber(port);
    if (!port.isEmpty() && m_control == 0)
        return QStringLiteral("Bad value for --control: %1 (a port number from 1 to 65535)").arg(port);
    m_web = web.isEmpty() ? 0 : portNumber(web);
    if (!web.isEmpty() && m_web == 0)
        return QStringLiteral("Bad value for --web: %1 (a port number from 1 to 65535)").arg(web);
    if (!bindGiven)
        return QString();
    QHostAddress address;
    if (bind == QLatin1String("localhost"))
        address = QHostAddress::LocalHost;
    else if (!address.setAddress(bind))
        return QStringLiteral("Bad value for --control-bind: %1 (an IP address such as 127.0.0.1 or 0.0.0.0)")
            .arg(bind);
    // anyone who can reach the port could put graphics on air: off this machine only with a token
    if (!address.isLoopback() && controlToken().isEmpty())
        return QStringLiteral("--control-bind %1 is reachable from other machines: set ORVANE_CONTROL_TOKEN").arg(bind);
    m_controlBind = address.toString();
    return QString();
}
