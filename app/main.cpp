// Orvane start-up: registers the QML bundle, sets the application identity, and loads the
// output window from qrc:/main.qml. Everything the operator sees lives in the bundle.
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlDebuggingEnabler>
#include <QStandardPaths>
#include <QUrl>
#include <QWindow>
#include <QtDebug>

#include <cstdio>
#include <memory>

#include "identity.h"
#include "controlport.h"
#include "controlserver.h"
#include "crashreport.h"
#include "onairstate.h"
#include "outputlock.h"
#include "programoptions.h"
#include "programoutput.h"
#include "stopsignals.h"
#include "tracestamp.h"
#include "videocheck.h"
#include "videofolder.h"
#include "videoplayback.h"
#include "webserver.h"

#ifdef ORVANE_TEST_BUILD
// Test builds only (tests/app/testcrash.cpp): a crash on request, for the crash report's tests.
void armTestCrash(QQmlApplicationEngine &engine);
#endif

// The program output (--program, --key, --output), handed to the window as `programOutput`.
// Made before the window: a pipeline text that does not parse ends the start with its reason.
static bool makeProgramOutput(const ProgramOptions &options, std::unique_ptr<ProgramOutput> &output)
{
    if (!options.programOutput())
        return true;
    QString error;
    output = ProgramOutput::create(options.outputs(), options.fpsNumerator(), options.fpsDenominator(), &error);
    if (!output)
        std::fprintf(stderr, "%s\n", qPrintable(error));
    return output != nullptr;
}

// Enables QML debugging for every engine of the process (Qt prints its notice about it).
static QQmlDebuggingEnabler qQmlEnableDebuggingHelper(true);

// Exit status of a start whose output already runs in another program.
constexpr int alreadyRunningStatus = 3;

// Takes this output's lock; -1 to run on, else the exit status. Without any place for a lock
// (the application-data directory missing, a file or read-only) the output still runs: those
// faults are reported where its files are written.
static int lockOutput(OutputLock &lock, int box)
{
    switch (lock.take()) {
    case OutputLock::Outcome::Taken:
        return -1;
    case OutputLock::Outcome::HeldElsewhere:
        std::fprintf(stderr, "Output %d is already running (process %lld)\n", box,
                     static_cast<long long>(lock.holder()));
        return alreadyRunningStatus;
    case OutputLock::Outcome::Unavailable:
        break;
    }
    qWarning().noquote() << "Can't lock output" << box << "at" << lock.path() << "- running without the lock";
    return -1;
}

static QString applicationDataDir()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dir);
    return dir;
}

// The control port listens before the window exists, so a port that cannot be opened ends the
// start with a reason instead of a window that nobody can reach.
static bool openControlPort(const ProgramOptions &options, ControlServer &control)
{
    control.setToken(ProgramOptions::controlToken());
    if (control.listen(QHostAddress(options.controlBind()), quint16(options.control())))
        return true;
    std::fputs(qPrintable(QStringLiteral("Can't open the control port %1:%2: %3\n")
                              .arg(options.controlBind())
                              .arg(options.control())
                              .arg(control.errorString())),
               stderr);
    return false;
}

// The web page listens before the window exists too, for the same reason.
static bool openWebPort(const ProgramOptions &options, WebServer &web)
{
    if (web.listen(QHostAddress(options.controlBind()), quint16(options.web())))
        return true;
    std::fputs(qPrintable(QStringLiteral("Can't open the web port %1:%2: %3\n")
                              .arg(options.controlBind())
                              .arg(options.web())
                              .arg(web.errorString())),
               stderr);
    return false;
}

// Without a display the window is made but never shown (a shown window has no surface to draw
// on): the layers are drawn by the program output alone. Asked to stop, it goes through the
// steps of a close as if the operator had closed it.
static void closeUnseen(QWindow *window)
{
    if (window) {
        QCloseEvent close;
        QCoreApplication::sendEvent(window, &close);
    }
    QCoreApplication::quit();
}

// Before the application object: the platform that draws without a display. Mesa's EGL without
// a surface renders OpenGL ES into framebuffers; the platform plugin is told to use no screen and
// no input devices.
static void useHeadlessPlatform()
{
    qputenv("QT_QPA_PLATFORM", "eglfs");
    qputenv("QT_QPA_EGLFS_INTEGRATION", "none");
    qputenv("QT_QPA_EGLFS_FB", "/dev/null");
    qputenv("QT_QPA_EGLFS_DISABLE_INPUT", "1");
    qputenv("EGL_PLATFORM", "surfaceless");
}

// Loads the window with the capabilities in `initial` and runs it until it closes; the exit status.
static int runWindow(const QVariantMap &initial, ProgramOutput *output, StopSignals &stopSignals, bool headless)
{
    int code = 1;
    QQmlApplicationEngine engine;
    // the parsed options and the capabilities they switch on, beyond the plain output
    engine.setInitialProperties(initial);
    // Each path goes in front: the bundle root is searched first, then plugins/ beside
    // the executable (never beside the working directory), then Qt's own paths.
    engine.addImportPath(QCoreApplication::applicationDirPath() + QStringLiteral("/plugins"));
    engine.addImportPath(QStringLiteral(":/"));
    engine.load(QUrl(QStringLiteral("qrc:/main.qml"), QUrl::TolerantMode));

    // Without its window (a module missing from plugins/, a broken document) there is nothing
    // for the operator to see or close: end with a failure status at once instead of running
    // unseen until something kills the process. The engine has already written why to the log.
    if (!engine.rootObjects().isEmpty()) {
        QObject::connect(&stopSignals, &StopSignals::stopRequested, [&engine, headless] {
            auto *window = qobject_cast<QWindow *>(engine.rootObjects().first());
            if (headless)
                closeUnseen(window);
            else
                closeLikeTheOperator(window);
        });
#ifdef ORVANE_TEST_BUILD
        armTestCrash(engine);
#endif
        code = QGuiApplication::exec();
    }
    // the window is closed (by the operator, Save and Exit or a stop signal): pipelines get
    // end-of-stream, so a recording is complete
    if (output)
        output->finish();
    return code; // the engine and its documents go before the application object
}

// One output, once its command line is known to be good: its lock, its capabilities, its window.
static int runOutput(ProgramOptions &options, VideoPlayback &videoPlayback)
{
    // before anything of the output is touched (the crash report takes the last run's marker)
    // and before the video warm-up, so a second start prints its reason alone
    const QString dataDir = applicationDataDir();
    OutputLock lock(dataDir, options.box());
    const int locked = lockOutput(lock, options.box());
    if (locked >= 0)
        return locked;

    videoPlayback.start();
    CrashReport crashReport(options.box(), qEnvironmentVariable("logDir"), dataDir);
    crashReport.install();
    StopSignals stopSignals;
    // what is on air, for a restart; with --restore the last run's, offered to the window
    OnAirState onAir(options.box(), dataDir);
    ControlServer control;
    ControlPort controlPort(control);
    // the layers' videos: the choice of videos folder, and why a video cannot play
    VideoFolder videoFolder(options.videos());
    VideoCheck videoCheck;
    QVariantMap initial{{QStringLiteral("programOptions"), QVariant::fromValue<QObject *>(&options)},
                        {QStringLiteral("crashReport"), QVariant::fromValue<QObject *>(&crashReport)},
                        {QStringLiteral("onAirState"), QVariant::fromValue<QObject *>(&onAir)},
                        {QStringLiteral("videoFolder"), QVariant::fromValue<QObject *>(&videoFolder)},
                        {QStringLiteral("videoCheck"), QVariant::fromValue<QObject *>(&videoCheck)}};
    // the web page's WebSockets are connections of the control port, with or without its TCP port
    WebServer web(&control, WebServer::installedPage());
    if (options.control() > 0 && !openControlPort(options, control))
        return 2;
    if (options.web() > 0) {
        control.setToken(ProgramOptions::controlToken());
        if (!openWebPort(options, web))
            return 2;
    }
    if (options.control() > 0 || options.web() > 0)
        initial.insert(QStringLiteral("controlPort"), QVariant::fromValue<QObject *>(&controlPort));
    std::unique_ptr<ProgramOutput> output; // outlives the window: it ends its streams after it
    if (!makeProgramOutput(options, output))
        return 2;
    if (output) {
        initial.insert(QStringLiteral("programOutput"), QVariant::fromValue<QObject *>(output.get()));
        web.setProgramOutput(output.get());
    }
    if (options.headless()) {
        initial.insert(QStringLiteral("visible"), false);
        qInfo().noquote() << "Running headless: no window; output" << options.box() << "drawn offscreen";
    }
    // only once the start can no longer fail: a start that ends here leaves the file as it was
    onAir.start(options.restore());
    return runWindow(initial, output.get(), stopSignals, options.headless());
}

int main(int argc, char *argv[])
{
    tracestamp::install();

    // --help and --version answer without a display
    const ProgramOptions::Outcome early = ProgramOptions::early(argc, argv);
    if (early.exitCode >= 0) {
        std::fputs(qPrintable(early.out), stdout);
        return early.exitCode;
    }

    // a stop requested while the program starts is kept until its event loop runs
    StopSignals::install();
    // before the application object and its threads: a layer's video start must not hold the
    // other layers
    VideoPlayback videoPlayback(false);
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    if (ProgramOptions::headlessRequested(argc, argv))
        useHeadlessPlatform();
    else
        // the windows' scene graphs share the program output's textures: the feed windows and the
        // preview draw its frames as they are, without copies
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);

    QGuiApplication app(argc, argv);
    // the display-less platform takes the stop signals for its console (and ends the process
    // at once on them): they are this program's again, so a stop still ends the streams whole
    if (QGuiApplication::platformName() == QLatin1String("eglfs"))
        StopSignals::install();
    setOrvaneIdentity();

    ProgramOptions options;
    const ProgramOptions::Outcome parsed = options.parse(app.arguments().mid(1));
    if (parsed.exitCode >= 0) {
        std::fputs(qPrintable(parsed.err), stderr);
        return parsed.exitCode;
    }
    return runOutput(options, videoPlayback);
}
