#pragma once
#include <QQmlExtensionPlugin>

// Registers TavroBoxPlayer 1.0 under whatever module identifier the engine passes.
class QmlPlugin : public QQmlExtensionPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QQmlExtensionInterface")

public:
    QmlPlugin();
    ~QmlPlugin() override;

    void registerTypes(const char *uri) override;
};
