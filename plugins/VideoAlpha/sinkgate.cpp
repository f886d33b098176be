#include "sinkgate.h"

#include <gst/base/gstbasesink.h>
#include <gst/gst.h>
#include <gst/video/gstvideosink.h>

#include <chrono>
#include <condition_variable>
#include <dlfcn.h>
#include <mutex>

namespace SinkGate {
namespace {

// What one sink is doing: whether a state change or flush has unlocked it and not yet taken its
// lock, and how many frames are with Qt's hand-over.
struct Gate
{
    bool unlocked = false;
    int handing = 0;
};

std::mutex gatesMutex;
std::condition_variable handed;
GQuark gateQuark;

GstFlowReturn (*qtShowFrame)(GstVideoSink *, GstBuffer *) = nullptr;
gboolean (*qtUnlock)(GstBaseSink *) = nullptr;
gboolean (*qtUnlockStop)(GstBaseSink *) = nullptr;

// The sink's gate, made on first use; gatesMutex held. It lives as long as the sink.
Gate &gateOf(gpointer sink)
{
    auto *gate = static_cast<Gate *>(g_object_get_qdata(G_OBJECT(sink), gateQuark));
    if (!gate) {
        gate = new Gate;
        g_object_set_qdata_full(G_OBJECT(sink), gateQuark, gate, [](gpointer g) { delete static_cast<Gate *>(g); });
    }
    return *gate;
}

GstFlowReturn showFrame(GstVideoSink *sink, GstBuffer *buffer)
{
    {
        std::lock_guard<std::mutex> lock(gatesMutex);
        Gate &gate = gateOf(sink);
        if (gate.unlocked)
            return GST_FLOW_OK; // the sink is stopping or flushing: the frame would not be shown
        ++gate.handing;
    }
    const GstFlowReturn result = qtShowFrame(sink, buffer);
    {
        std::lock_guard<std::mutex> lock(gatesMutex);
        --gateOf(sink).handing;
    }
    handed.notify_all();
    return result;
}

gboolean unlock(GstBaseSink *sink)
{
    std::unique_lock<std::mutex> lock(gatesMutex);
    Gate &gate = gateOf(sink);
    gate.unlocked = true;
    // Qt's wake reaches only a hand-over already waiting; one that had just begun is woken by the
    // next round.
    while (gate.handing > 0) {
        lock.unlock();
        qtUnlock(sink);
        lock.lock();
        handed.wait_for(lock, std::chrono::milliseconds(1));
    }
    lock.unlock();
    return qtUnlock(sink);
}

gboolean unlockStop(GstBaseSink *sink)
{
    {
        std::lock_guard<std::mutex> lock(gatesMutex);
        gateOf(sink).unlocked = false;
    }
    return qtUnlockStop ? qtUnlockStop(sink) : TRUE;
}

// Qt's sink type, registered by Qt's GStreamer tools library when it makes its first sink;
// registered here first if that has not happened yet.
GType qtSinkType()
{
    if (const GType type = g_type_from_name("QGstVideoRendererSink"))
        return type;
    void *tools = dlopen("libQt5MultimediaGstTools.so.5", RTLD_NOW | RTLD_GLOBAL);
    if (!tools)
        return 0;
    using GetType = GType (*)();
    const auto getType = reinterpret_cast<GetType>(dlsym(tools, "_ZN21QGstVideoRendererSink8get_typeEv"));
    return getType ? getType() : 0;
}

} // namespace

void install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        gst_init(nullptr, nullptr); // what the first player does anyway; at once when it has
        const GType type = qtSinkType();
        if (!type || !g_type_is_a(type, GST_TYPE_VIDEO_SINK))
            return;
        gateQuark = g_quark_from_static_string("orvane-sink-gate");
        // the class stays referenced for the process: the functions below stay in it
        auto *videoSink = static_cast<GstVideoSinkClass *>(g_type_class_ref(type));
        auto *baseSink = GST_BASE_SINK_CLASS(videoSink);
        if (!videoSink->show_frame || !baseSink->unlock)
            return;
        qtShowFrame = videoSink->show_frame;
        qtUnlock = baseSink->unlock;
        qtUnlockStop = baseSink->unlock_stop;
        videoSink->show_frame = showFrame;
        baseSink->unlock = unlock;
        baseSink->unlock_stop = unlockStop;
    });
}

} // namespace SinkGate
