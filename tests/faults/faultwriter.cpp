// Child of tst_faults_kill: runs the output window (qml/main.qml with the real host services)
// and writes one of its files over and over through the window's own save functions, until it
// is killed. Prints "ready" once the first write is whole.
//   orvane-faultwriter config|queue|container
#include "faults.h"

#include <QDir>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QStandardPaths>
#include <QVariant>

#include <cstdio>
#include "../utils/mainwindow.h"
#include "../utils/orvanetest.h"

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    setOrvaneIdentity();
    const QString mode = app.arguments().value(1);

    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dataDir + QStringLiteral("/Layers/SCENE-01"));

    QQmlApplicationEngine engine;
    loadMainDocument(engine);
    if (engine.rootObjects().isEmpty())
        return 2;
    QObject *window = engine.rootObjects().first();
    window->setProperty("currentIndex", 0);

    const char *function = mode == QLatin1String("config")  ? "saveConfig"
                           : mode == QLatin1String("queue") ? "saveQueue"
                                                            : "saveCurrentGfxc";
    auto text = [&mode](int version) {
        return mode == QLatin1String("config")  ? faults::configText(version)
               : mode == QLatin1String("queue") ? faults::queueText(version)
                                                : faults::containerText(version);
    };
    for (long i = 0;; ++i) {
        QVariant saved;
        QMetaObject::invokeMethod(window, function, Q_RETURN_ARG(QVariant, saved), Q_ARG(QVariant, text(i % 2)));
        if (!saved.toBool())
            return 3;
        if (i == 0) {
            std::printf("ready\n");
            std::fflush(stdout);
        }
        QCoreApplication::processEvents();
    }
}
