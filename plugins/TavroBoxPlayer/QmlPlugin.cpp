#include "QmlPlugin.h"
#include "TavroBoxPlayer.h"

#include <QtQml>

QmlPlugin::QmlPlugin() : QQmlExtensionPlugin(nullptr) { }

QmlPlugin::~QmlPlugin() = default;

void QmlPlugin::registerTypes(const char *uri) { qmlRegisterType<TavroBoxPlayer>(uri, 1, 0, "TavroBoxPlayer"); }
