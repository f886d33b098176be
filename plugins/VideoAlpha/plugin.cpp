// Module VideoAlpha 1.0: importing it makes StraightAlpha and VideoLoop resolve by name.
#include "straightalpha.h"
#include "videoloop.h"

#include <QQmlExtensionPlugin>
#include <QtQml>

class VideoAlphaPlugin : public QQmlExtensionPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QQmlExtensionInterface_iid)

public:
    void registerTypes(const char *uri) override
    {
        qmlRegisterType<StraightAlpha>(uri, 1, 0, "StraightAlpha");
        qmlRegisterType<VideoLoop>(uri, 1, 0, "VideoLoop");
    }
};

#include "plugin.moc"
