#include "plugin.h"
#include "scenelookup.h"
#include "templateitem.h"

#include <QtQml>

void OrvaneTemplatesPlugin::registerTypes(const char *uri)
{
    // built-in templates live two levels above the module: bin/templates in the build tree,
    // share/orvane/templates beside lib/orvane where the package installs them
    SceneLookup::setModuleDirectory(baseUrl().toLocalFile());
    qmlRegisterSingletonType<SceneLookup>(uri, 1, 0, "SceneLookup",
                                          [](QQmlEngine *, QJSEngine *) -> QObject * { return new SceneLookup; });
    qmlRegisterType<TemplateItem>(uri, 1, 0, "TemplateItem");
}
