#include "plugin.h"
#include "videolist.h"

#include <QtQml>

void VideosPlugin::registerTypes(const char *uri) { qmlRegisterType<VideoList>(uri, 1, 0, "VideoList"); }
