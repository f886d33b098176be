#pragma once
// One `--output "PIPELINE"`: the text parsed as `appsrc ! PIPELINE`, fed with RGBA frames of the
// composite. Every call may come from any thread except where noted; bus messages arrive on
// GStreamer's own threads and are handed on through the call-backs.
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

typedef struct _GstElement GstElement;
typedef struct _GstBuffer GstBuffer;
typedef struct _GstBus GstBus;
typedef struct _GstMessage GstMessage;

class OutputPipeline
{
public:
    // Builds the pipeline without starting it. On a text that does not parse, or that names an
    // element which is not installed, returns null and sets `error` to GStreamer's reason.
    static std::unique_ptr<OutputPipeline> parse(const QString &text, QString *error);
    ~OutputPipeline();

    // Called once, on a GStreamer thread, when the pipeline fails: GStreamer's message.
    std::function<void(const QString &)> onError;

    QString text() const { return m_text; }
    bool failed() const { return m_failed; }

    // Goes to PLAYING; may wait for devices or files to open, so never on the GUI thread.
    void start();
    // The frames' size and rate, before the first frame (and again when the size changes).
    void setFormat(int width, int height, int fpsNumerator, int fpsDenominator);
    // Takes the buffer (a reference of it). Called from one thread only. A frame that finds the
    // queue full is dropped here and counted: none is lost without a count.
    void push(GstBuffer *buffer, int width, int height);
    // Frames not handed to the pipeline because it took the ones before too slowly.
    long long dropped() const { return m_dropped; }
    // End-of-stream after the last frame pushed; false when nothing was started.
    bool endOfStream();
    // Waits until the last element has the end-of-stream, an error ends the pipeline, or the
    // deadline passes. True when the stream ended whole.
    bool waitEnded(std::chrono::steady_clock::time_point deadline);
    void stop();

private:
    OutputPipeline() = default;
    static int busMessage(GstBus *bus, GstMessage *message, void *self);

    QString m_text;
    GstElement *m_pipeline = nullptr;
    GstElement *m_source = nullptr;
    // A sink that stalls (a network peer, a slow encoder) loses the newest frames instead of
    // growing the queue without end: four frames of 1920 x 1080 are 33 MB.
    static constexpr unsigned maxQueued = 4;
    int m_width = 0;
    int m_height = 0;
    int m_fpsNumerator = 25;
    int m_fpsDenominator = 1;
    std::atomic<long long> m_dropped{0};
    std::atomic<bool> m_failed{false};
    std::atomic<bool> m_started{false};
    std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_eos = false;
};
