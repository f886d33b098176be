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

// The sink that autoaudiosink settles on here; empty when it cannot be told.
QByteArray chosenAudioSink()
{
    GstElement *sink = gst_element_factory_make("autoaudiosink", nullptr);
    if (!sink)
        return QByteArray();
    gst_object_ref_sink(sink);
    QByteArray name;
    if (gst_element_set_state(sink, GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS) {
        GstIterator *children = gst_bin_iterate_elements(GST_BIN(sink));
        GValue child = G_VALUE_INIT;
        if (gst_iterator_next(children, &child) == GST_ITERATOR_OK) {
            if (GstElementFactory *factory = gst_element_get_factory(GST_ELEMENT(g_value_get_object(&child))))
                name = gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory));
            g_value_unset(&child);
        }
        gst_iterator_free(children);
    }
    gst_element_set_state(sink, GST_STATE_NULL);
    gst_object_unref(sink);
    return name;
}

void warmUp(const QString &playerPlugin, bool chooseAudio)
{
    gst_init(nullptr, nullptr);
    // Without any sound output (no sound server, no device) autoaudiosink tries every audio sink
    // at every video start, on the GUI thread, before it settles on discarding the sound: tens
    // of milliseconds each time. Asked once here, the answer stands for the process.
    if (chooseAudio && chosenAudioSink() == "fakesink")
        qputenv("QT_GSTREAMER_PLAYBIN_AUDIOSINK", "fakesink");
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

VideoPlayback::VideoPlayback(bool startNow)
{
    if (qEnvironmentVariableIsEmpty("QT_GSTREAMER_WINDOW_VIDEOSINK"))
        qputenv("QT_GSTREAMER_WINDOW_VIDEOSINK", "fakesink");
    if (qEnvironmentVariableIsEmpty("QT_GSTREAMER_WIDGET_VIDEOSINK"))
        qputenv("QT_GSTREAMER_WIDGET_VIDEOSINK", "fakesink");
    // Qt's own choice, set now, while no other thread reads the environment: the warm-up may
    // later replace the value, which never moves the environment as adding a variable would.
    m_chooseAudio = qEnvironmentVariableIsEmpty("QT_GSTREAMER_PLAYBIN_AUDIOSINK");
    if (m_chooseAudio)
        qputenv("QT_GSTREAMER_PLAYBIN_AUDIOSINK", "autoaudiosink");
    m_plugin = QLibraryInfo::location(QLibraryInfo::PluginsPath) + QStringLiteral("/mediaservice/libgstmediaplayer.so");
    if (startNow)
        start();
}

void VideoPlayback::start()
{
    if (!m_warmUp.joinable())
        m_warmUp = std::thread(warmUp, m_plugin, m_chooseAudio);
}

VideoPlayback::~VideoPlayback()
{
    if (m_warmUp.joinable())
        m_warmUp.join();
}
