// The start-up baseline: starts like Orvane (same attributes, identity and engine) but loads an
// empty window of the same size from its own bundle.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlDebuggingEnabler>
#include <QUrl>
#include "../tests/utils/orvanetest.h"

// Orvane enables QML debugging for every engine; so does the baseline.
static QQmlDebuggingEnabler qQmlEnableDebuggingHelper(true);

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QGuiApplication app(argc, argv);
    setOrvaneIdentity();
    QQmlApplicationEngine engine;
    engine.load(QUrl(QStringLiteral("qrc:/bare.qml")));
    if (engine.rootObjects().isEmpty())
        return 1;
    return app.exec();
}
