#pragma once
#include <QQmlExtensionPlugin>

// Module OrvaneTemplates 1.0: SceneLookup (where a scene's graphic and data come from),
// TemplateItem (a template loaded as a layer's content) and SceneGraphic (a layer's graphic).
class OrvaneTemplatesPlugin : public QQmlExtensionPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QQmlExtensionInterface_iid)

public:
    void registerTypes(const char *uri) override;
};
