// Module ProgramFeed 1.0: importing it makes ProgramView resolve by name.
#include "programview.h"

#include <QQmlExtensionPlugin>
#include <QtQml>

class ProgramFeedPlugin : public QQmlExtensionPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QQmlExtensionInterface_iid)

public:
    void registerTypes(const char *uri) override { qmlRegisterType<ProgramView>(uri, 1, 0, "ProgramView"); }
};

#include "plugin.moc"
