#pragma once
// The program output of one Orvane: the composite drawn on its own (ProgramRenderer) once per
// frame of --fps, on a steady clock, and handed to every --output pipeline, to the clean feed
// windows and to the window's preview. The window hands over `source`, its atlas, which is drawn
// from then on by the output alone; the rest runs by itself:
//
//   clock thread    at every tick takes the oldest frame drawn (or repeats the last one, counted
//                   as late), converts it, pushes it to the pipelines, and asks the GUI for the next
//   GUI thread      on that request polishes and syncs the atlas for the renderer (a short wait)
//   render thread   draws that frame at full size and reads it back into a spare buffer
//
// The frames are drawn one ahead: at a tick one frame is sent and the next is already drawn, so a
// frame has two periods from its request to its tick. The GUI thread may then be held for most of
// a period (the operator's window syncing, a scene being built) without a late frame; the cost is
// one period more between a change and the output. After a late frame the frames are drawn back to
// back until one is ahead again.
//
// The views (feed windows, preview) draw the frame on air from its texture where the renderer's
// context shares with the windows' (ProgramViewSource): the clock thread only publishes the texture.
// A frame's buffer, and with it its texture, is drawn again only once `cooling` more frames took the
// air after it: a window that took the texture just before its frame left the air has that long to
// draw it. Without shared contexts the frames are copied for the views instead.
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "programrenderer.h"
#include "programviewsource.h"

class OutputPipeline;

class ProgramOutput : public QObject, public ProgramViewSource
{
    Q_OBJECT
    Q_INTERFACES(ProgramViewSource)
    // set by the window: the composite, its atlas (taken out of the window and drawn here)
    Q_PROPERTY(QQuickItem *source READ source WRITE setSource NOTIFY sourceChanged)
    // read by the window
    Q_PROPERTY(int fpsNumerator READ fpsNumerator CONSTANT)
    Q_PROPERTY(int fpsDenominator READ fpsDenominator CONSTANT)
    Q_PROPERTY(int pipelineCount READ pipelineCount CONSTANT)
    // number of the latest frame published for the views
    Q_PROPERTY(int frameNumber READ frameNumber NOTIFY frameNumberChanged)
    // set while something besides the views reads viewImage() (the web page's picture): every
    // frame is copied for it
    Q_PROPERTY(bool viewed READ viewed WRITE setViewed NOTIFY viewedChanged)

public:
    ~ProgramOutput() override;

    // Parses every pipeline text (none for feed windows alone). On a text that does not parse
    // or names a missing element returns null, with "--output PIPELINE: reason" in `error`.
    static std::unique_ptr<ProgramOutput> create(const QStringList &pipelines, int fpsNumerator, int fpsDenominator,
                                                 QString *error);

    QQuickItem *source() const { return m_source; }
    void setSource(QQuickItem *item);
    int fpsNumerator() const { return m_fpsNumerator; }
    int fpsDenominator() const { return m_fpsDenominator; }
    int pipelineCount() const { return static_cast<int>(m_pipelines.size()); }
    int frameNumber() const { return m_frameNumber; }
    bool viewed() const { return m_viewed; }
    void setViewed(bool viewed);

    // The latest frame copied, alpha premultiplied; null before the first one. `number` gets its
    // frame number (frames counted from 0 at the output's start). Frames are copied while `viewed`,
    // or while a view holds copies and the textures cannot be shared.
    QImage viewImage(int *number = nullptr) const override;
    Texture viewTexture() const override;
    void holdViewCopies(bool hold) override;
    // True once the frames go to the views as shared textures.
    bool sharesTextures() const { return m_shares; }
    // Frames sent and, of them, late (repeated because the next was not ready in time).
    long long framesSent() const { return m_sent; }
    long long framesLate() const { return m_late; }
    // What a frame costs, in ms on average since the start: its drawing and read-back on the render
    // thread, and the conversion to straight alpha on the clock thread.
    double readbackMs() const { return m_reads ? m_readNs / 1e6 / m_reads : 0; }
    double conversionMs() const { return m_conversions ? m_conversionNs / 1e6 / m_conversions : 0; }
    // What handing a frame to the views costs the clock thread, in ms on average over the frames
    // handed (a copy, or the texture's publication).
    double publishMs() const { return m_publishes ? m_publishNs / 1e6 / m_publishes : 0; }

    // Ends the clock, sends end-of-stream to every pipeline and waits for them, at most
    // `timeoutMs` in all, then stops them. Called once the window is closed; safe to call twice.
    Q_INVOKABLE void finish(int timeoutMs = 5000);

signals:
    void sourceChanged();
    void frameNumberChanged();
    void viewedChanged();
    // status "Error" (a pipeline stopped) or "Warning" (late frames, or frames a pipeline dropped);
    // text for the error list
    void problem(const QString &status, const QString &text);

private:
    ProgramOutput(int fpsNumerator, int fpsDenominator);
    Q_INVOKABLE void requestFrame();
    Q_INVOKABLE void publishFrame(int number);
    void frameDrawn(std::unique_ptr<ProgramRenderer::Pixels> pixels, long long ns);
    std::unique_ptr<ProgramRenderer::Pixels> takeSpare();
    unsigned long long frameTimeNs(long long index) const;
    void run();
    void sendTick(long long index, bool fresh);
    void pushToPipelines(long long index, bool fresh);
    void publishView(long long index);
    bool copiesWanted() const;
    void forgetTextures();
    void stopRenderer();
    void retire(std::unique_ptr<ProgramRenderer::Pixels> frame);
    void minuteReport(bool atExit);

    using Raw = ProgramRenderer::Pixels;

    const int m_fpsNumerator;
    const int m_fpsDenominator;
    std::vector<std::unique_ptr<OutputPipeline>> m_pipelines;
    QPointer<QQuickItem> m_source;
    std::unique_ptr<ProgramRenderer> m_renderer;
    int m_frameNumber = 0;
    std::atomic<bool> m_viewed{false};
    std::atomic<int> m_copyHolders{0};
    std::atomic<bool> m_shares{false};

    // handed from the render thread to the clock thread under m_mutex
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    static constexpr size_t ahead = 1;          // frames drawn beyond the one a tick takes
    std::deque<std::unique_ptr<Raw>> m_ready;   // frames read back, oldest first, not yet taken
    std::vector<std::unique_ptr<Raw>> m_spares; // buffers for the next read-backs
    static constexpr size_t cooling = 2;        // frames on air before a buffer left by the air is drawn again
    std::deque<std::unique_ptr<Raw>> m_cooling; // buffers that left the air, newest last
    QImage m_view;
    int m_viewNumber = -1;
    Texture m_viewTexture;
    bool m_stopping = false;
    std::thread m_clock;
    bool m_finished = false;

    // clock thread
    std::unique_ptr<Raw> m_current;
    struct _GstBuffer *m_lastBuffer = nullptr;
    std::atomic<long long> m_sent{0};
    std::atomic<long long> m_late{0};
    std::atomic<long long> m_readNs{0};
    std::atomic<long long> m_reads{0};
    std::atomic<long long> m_conversionNs{0};
    std::atomic<long long> m_conversions{0};
    std::atomic<long long> m_publishNs{0};
    std::atomic<long long> m_publishes{0};
    long long m_minuteSent = 0;
    long long m_minuteLate = 0;
    std::vector<long long> m_reportedDropped; // each pipeline's drops at the last report
};
