// Orvane start-up: registers the QML bundle, sets the application identity, and loads the
// output window from qrc:/main.qml. Everything the operator sees lives in the bundle.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlDebuggingEnabler>
#include <QUrl>

#include <cstdio>

#include "programoptions.h"

// Enables QML debugging for every engine of the process (Qt prints its notice about it).
static QQmlDebuggingEnabler qQmlEnableDebuggingHelper(true);

int main(int argc, char *argv[])
{
    // --help and --version answer without a display
    const ProgramOptions::Outcome early = ProgramOptions::early(argc, argv);
    if (early.exitCode >= 0) {
        std::fputs(qPrintable(early.out), stdout);
        return early.exitCode;
    }

    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);

    int code = 0;
    {
        QGuiApplication app(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Quarnet"));
        QCoreApplication::setOrganizationDomain(QStringLiteral("quarnet.example"));
        QCoreApplication::setApplicationName(QStringLiteral("Orvane"));
        QCoreApplication::setApplicationVersion(QStringLiteral("3.14"));

        ProgramOptions options;
        const ProgramOptions::Outcome parsed = options.parse(app.arguments().mid(1));
        if (parsed.exitCode >= 0) {
            std::fputs(qPrintable(parsed.err), stderr);
            return parsed.exitCode;
        }

        {
            QQmlApplicationEngine engine;
            // the parsed options, for the window's capabilities beyond the plain output
            engine.setInitialProperties({{QStringLiteral("programOptions"), QVariant::fromValue<QObject *>(&options)}});
            // Each path goes in front: the bundle root is searched first, then plugins/ beside
            // the executable (never beside the working directory), then Qt's own paths.
            engine.addImportPath(QCoreApplication::applicationDirPath() + QStringLiteral("/plugins"));
            engine.addImportPath(QStringLiteral(":/"));
            engine.load(QUrl(QStringLiteral("qrc:/main.qml"), QUrl::TolerantMode));

            // Without its window (a module missing from plugins/, a broken document) there is
            // nothing for the operator to see or close: end with a failure status at once instead
            // of running unseen until something kills the process. The engine has already written
            // why to the log.
            if (engine.rootObjects().isEmpty())
                code = 1;
            else
                code = app.exec();
        } // the engine and its documents go before the application object
    }
    return code;
}
