#include "outputpipeline.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

namespace {

QString takeError(GError *error)
{
    const QString text = error && error->message ? QString::fromUtf8(error->message) : QString();
    if (error)
        g_error_free(error);
    return text;
}

} // namespace

std::unique_ptr<OutputPipeline> OutputPipeline::parse(const QString &text, QString *error)
{
    if (text.trimmed().isEmpty()) {
        *error = QStringLiteral("the pipeline text is empty");
        return nullptr;
    }
    GError *parseError = nullptr;
    const QByteArray description = "appsrc name=orvanesource ! " + text.toUtf8();
    GstElement *element =
        gst_parse_launch_full(description.constData(), nullptr, GST_PARSE_FLAG_FATAL_ERRORS, &parseError);
    if (!element || parseError) {
        *error = takeError(parseError);
        if (error->isEmpty())
            *error = QStringLiteral("the pipeline cannot be built");
        if (element)
            gst_object_unref(element);
        return nullptr;
    }
    GstElement *source = GST_IS_BIN(element) ? gst_bin_get_by_name(GST_BIN(element), "orvanesource") : nullptr;
    if (!GST_IS_PIPELINE(element) || !source) {
        *error = QStringLiteral("the text does not make one pipeline after the source");
        if (source)
            gst_object_unref(source);
        gst_object_unref(element);
        return nullptr;
    }
    std::unique_ptr<OutputPipeline> pipeline(new OutputPipeline);
    pipeline->m_text = text;
    pipeline->m_pipeline = element;
    pipeline->m_source = source;
    // A live source stamped by Orvane's own clock. The queue is bounded by frames alone: the
    // source's own byte limit (200 000 by default, less than one HD frame) would make it drop
    // frames by itself, unseen. It never drops or blocks; push() drops, and counts, instead.
    g_object_set(source, "is-live", TRUE, "format", GST_FORMAT_TIME, "do-timestamp", FALSE, "block", FALSE,
                 "max-buffers", static_cast<guint64>(maxQueued), "max-bytes", static_cast<guint64>(0), "max-time",
                 static_cast<guint64>(0), "leaky-type", GST_APP_LEAKY_TYPE_NONE, nullptr);
    GstBus *bus = gst_pipeline_get_bus(GST_PIPELINE(element));
    gst_bus_set_sync_handler(
        bus, [](GstBus *b, GstMessage *m, gpointer self) { return GstBusSyncReply(busMessage(b, m, self)); },
        pipeline.get(), nullptr);
    gst_object_unref(bus);
    return pipeline;
}

OutputPipeline::~OutputPipeline()
{
    stop();
    if (m_pipeline) {
        GstBus *bus = gst_pipeline_get_bus(GST_PIPELINE(m_pipeline));
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
    }
    if (m_source)
        gst_object_unref(m_source);
    if (m_pipeline)
        gst_object_unref(m_pipeline);
}

// On the thread that posts the message; nothing is kept on the bus, so nobody has to drain it.
int OutputPipeline::busMessage(GstBus *, GstMessage *message, void *data)
{
    auto *self = static_cast<OutputPipeline *>(data);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        GError *error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        QString text = takeError(error);
        if (GST_MESSAGE_SRC(message))
            text = QString::fromUtf8(GST_OBJECT_NAME(GST_MESSAGE_SRC(message))) + QStringLiteral(": ") + text;
        const bool first = !self->m_failed.exchange(true);
        {
            std::lock_guard<std::mutex> lock(self->m_mutex);
            self->m_eos = true; // nothing more will come out of it
        }
        self->m_ended.notify_all();
        if (first && self->onError)
            self->onError(text);
        break;
    }
    case GST_MESSAGE_EOS: {
        {
            std::lock_guard<std::mutex> lock(self->m_mutex);
            self->m_eos = true;
        }
        self->m_ended.notify_all();
        break;
    }
    default:
        break;
    }
    return GST_BUS_DROP;
}

void OutputPipeline::start()
{
    if (m_failed || m_started.exchange(true))
        return;
    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE && !m_failed.exchange(true)
        && onError)
        onError(QStringLiteral("the pipeline cannot start"));
}

void OutputPipeline::push(GstBuffer *buffer, int width, int height)
{
    if (m_failed || !m_started) {
        gst_buffer_unref(buffer);
        return;
    }
    if (width != m_width || height != m_height)
        setFormat(width, height, m_fpsNumerator, m_fpsDenominator);
    // Only this thread adds to the queue, so a frame that finds room keeps it until it is taken.
    if (gst_app_src_get_current_level_buffers(GST_APP_SRC(m_source)) >= maxQueued) {
        ++m_dropped;
        gst_buffer_unref(buffer);
        return;
    }
    if (gst_app_src_push_buffer(GST_APP_SRC(m_source), buffer) != GST_FLOW_OK)
        ++m_dropped;
}

void OutputPipeline::setFormat(int width, int height, int fpsNumerator, int fpsDenominator)
{
    m_width = width;
    m_height = height;
    m_fpsNumerator = fpsNumerator;
    m_fpsDenominator = fpsDenominator;
    GstCaps *caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "RGBA", "width", G_TYPE_INT, width,
                                        "height", G_TYPE_INT, height, "framerate", GST_TYPE_FRACTION, fpsNumerator,
                                        fpsDenominator, "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
    gst_app_src_set_caps(GST_APP_SRC(m_source), caps);
    gst_caps_unref(caps);
    // a frame reaches the source up to one frame period after its time stamp
    g_object_set(m_source, "min-latency",
                 static_cast<gint64>(gst_util_uint64_scale(GST_SECOND, fpsDenominator, fpsNumerator)), nullptr);
}

bool OutputPipeline::endOfStream()
{
    if (!m_started || m_failed)
        return false;
    gst_app_src_end_of_stream(GST_APP_SRC(m_source));
    return true;
}

bool OutputPipeline::waitEnded(std::chrono::steady_clock::time_point deadline)
{
    if (!m_started)
        return false;
    std::unique_lock<std::mutex> lock(m_mutex);
    m_ended.wait_until(lock, deadline, [this] { return m_eos; });
    return m_eos && !m_failed;
}

void OutputPipeline::stop()
{
    if (m_pipeline)
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
}
