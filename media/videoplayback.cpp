#include "videoplayback.h"

#include <QLibrary>
#include <QLibraryInfo>
#include <QtGlobal>

#include <gst/gst.h>

namespace {

// The elements Qt's player makes on the GUI thread at every start: their plug-ins, loaded here
// once, cost nothing there.
const char *const playerElements[] = {"playbin",      "autoaudiosink", "volume",       "identity", "fakesink",
                                      "videoconvert", "videoscale",    "videobalance", "queue"};

void warmUp(const QString &playerPlugin)
{
    gst_init(nullptr, nullptr);
    GstRegistry *registry = gst_registry_get();
    for (const char *name : playerElements) {
        GstPluginFeature *feature = gst_registry_lookup_feature(registry, name);
        if (!feature)
            continue;
        if (GstPluginFeature *loaded = gst_plugin_feature_load(feature))
            gst_object_unref(loaded);
        gst_object_unref(feature);
    }
    // Qt's player plug-in with the libraries it links; a loaded library stays loaded.
    QLibrary player(playerPlugin);
    player.load();
}

} // namespace

VideoPlayback::VideoPlayback()
{
    if (qEnvironmentVariableIsEmpty("QT_GSTREAMER_WINDOW_VIDEOSINK"))
        qputenv("QT_GSTREAMER_WINDOW_VIDEOSINK", "fakesink");
    if (qEnvironmentVariableIsEmpty("QT_GSTREAMER_WIDGET_VIDEOSINK"))
        qputenv("QT_GSTREAMER_WIDGET_VIDEOSINK", "fakesink");
    const QString plugin =
        QLibraryInfo::location(QLibraryInfo::PluginsPath) + QStringLiteral("/mediaservice/libgstmediaplayer.so");
    m_warmUp = std::thread(warmUp, plugin);
}

VideoPlayback::~VideoPlayback()
{
    if (m_warmUp.joinable())
        m_warmUp.join();
}
