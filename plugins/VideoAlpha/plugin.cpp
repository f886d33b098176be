// Module VideoAlpha 1.0: importing it makes StraightAlpha resolve by name.
#include "straightalpha.h"

#include <QQmlExtensionPlugin>
#include <QtQml>

class VideoAlphaPlugin : public QQmlExtensionPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QQmlExtensionInterface_iid)

public:
    void registerTypes(const char *uri) override { qmlRegisterType<StraightAlpha>(uri, 1, 0, "StraightAlpha"); }
};

#include "plugin.moc"
