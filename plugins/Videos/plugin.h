#pragma once
#include <QQmlExtensionPlugin>

// Module Videos 1.0: the list of the videos folder's videos (VideoList) that the layers pick from.
class VideosPlugin : public QQmlExtensionPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QQmlExtensionInterface_iid)

public:
    void registerTypes(const char *uri) override;
};
