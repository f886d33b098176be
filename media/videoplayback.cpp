#include "videoplayback.h"

#include <QLibrary>
#include <QLibraryInfo>
#include <QtGlobal>

#include <gst/gst.h>

namespace {

// The elements Qt's player makes on the GUI thread at every start: their plug-ins, loaded here
// once, cost nothing there.
const char *const playerElements[] = {"playbin",       "autoaudiosink", "volume",     "identity",     "fakesink",
                                      "fakeaudiosink", "videoconvert",  "videoscale", "videobalance", "queue"};

// Whether the machine has a sound output that the layers' players would use: the sound server's
// sink or ALSA's, opened as autoaudiosink would open them first. autoaudiosink itself is not asked:
// with neither, it goes on to the OpenAL sink, whose library can abort the whole process while it
// sets up its mixing thread.
bool hasSoundOutput()
{
    for (const char *name : {"pulsesink", "alsasink"}) {
        GstElement *sink = gst_element_factory_make(name, nullptr);
        if (!sink)
            continue;
        gst_object_ref_sink(sink);
        const bool opens = gst_element_set_state(sink, GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS;
        gst_element_set_state(sink, GST_STATE_NULL);
        gst_object_unref(sink);
        if (opens)
            return true;
    }
    return false;
}

// The sink that discards the sound in time with the picture: the fake audio sink plays it against
// the clock as a sound card would. A plain fakesink takes the whole sound at once, so that the
// player's position runs ahead to the end of the file while the picture plays, and the end of the
// stream comes out of step with the picture at every loop; it is the fallback without the other.
const char *discardingSink()
{
    GstElementFactory *factory = gst_element_factory_find("fakeaudiosink");
    if (!factory)
        return "fakesink";
    gst_object_unref(factory);
    return "fakeaudiosink";
}

void warmUp(const QString &playerPlugin, bool chooseAudio)
{
    gst_init(nullptr, nullptr);
    // Without any sound output (no sound server, no device) autoaudiosink tries every audio sink
    // at every video start, on the GUI thread, before it settles on discarding the sound: tens
    // of milliseconds each time. Asked once here, the answer stands for the process.
    if (chooseAudio && !hasSoundOutput())
        qputenv("QT_GSTREAMER_PLAYBIN_AUDIOSINK", discardingSink());
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
