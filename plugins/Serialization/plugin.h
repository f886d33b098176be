#pragma once
#include <QQmlExtensionPlugin>

// Module Serialization 1.0: importing it makes Serialization, QmlUtils and Process resolve by name.
class SerializationPlugin : public QQmlExtensionPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QQmlExtensionInterface_iid)

public:
    void registerTypes(const char *uri) override;
};
