#include "plugin.h"
#include "process.h"
#include "qmlutils.h"
#include "serialization.h"

#include <QtQml>

void SerializationPlugin::registerTypes(const char *uri)
{
    qmlRegisterSingletonType<Serialization>(
        uri, 1, 0, "Serialization", [](QQmlEngine *, QJSEngine *js) -> QObject * { return new Serialization(js); });
    qmlRegisterSingletonType<QmlUtils>(uri, 1, 0, "QmlUtils",
                                       [](QQmlEngine *, QJSEngine *js) -> QObject * { return new QmlUtils(js); });
    qmlRegisterSingletonType<Process>(uri, 1, 0, "Process",
                                      [](QQmlEngine *, QJSEngine *) -> QObject * { return new Process; });
}
