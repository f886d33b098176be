#include "programoutput.h"

#include "framepixels.h"
#include "outputpipeline.h"

#include <QDebug>
#include <QTimer>

#include <gst/gst.h>

#include <chrono>
#include <cstring>

using Clock = std::chrono::steady_clock;

std::unique_ptr<ProgramOutput> ProgramOutput::create(const QStringList &pipelines, int fpsNumerator, int fpsDenominator,
                                                     QString *error)
{
    GError *initError = nullptr;
    if (!pipelines.isEmpty() && !gst_init_check(nullptr, nullptr, &initError)) {
        *error = QStringLiteral("GStreamer cannot start: ")
                 + QString::fromUtf8(initError && initError->message ? initError->message : "");
        if (initError)
            g_error_free(initError);
        return nullptr;
    }
    std::unique_ptr<ProgramOutput> output(new ProgramOutput(fpsNumerator, fpsDenominator));
    for (const QString &text : pipelines) {
        QString reason;
        std::unique_ptr<OutputPipeline> pipeline = OutputPipeline::parse(text, &reason);
        if (!pipeline) {
            *error = QStringLiteral("--output \"%1\": %2").arg(text, reason);
            return nullptr;
        }
        const int number = static_cast<int>(output->m_pipelines.size()) + 1;
        ProgramOutput *self = output.get();
        pipeline->onError = [self, number](const QString &message) {
            const QString text = QStringLiteral("Output %1 stopped: %2").arg(number).arg(message);
            QMetaObject::invokeMethod(
                self, [self, text] { emit self->problem(QStringLiteral("Error"), text); }, Qt::QueuedConnection);
        };
        output->m_pipelines.push_back(std::move(pipeline));
    }
    return output;
}

ProgramOutput::ProgramOutput(int fpsNumerator, int fpsDenominator)
    : m_fpsNumerator(fpsNumerator), m_fpsDenominator(fpsDenominator)
{
}

ProgramOutput::~ProgramOutput() { finish(0); }

void ProgramOutput::setSource(QQuickItem *item)
{
    if (item == m_source || m_finished)
        return;
    if (m_source && m_renderer) {
        // a new composite replaces the old one: the old goes back to the window as it was
        stopRenderer();
        m_renderer.reset();
    }
    m_source = item;
    emit sourceChanged();
    if (!item)
        return;
    m_renderer = std::make_unique<ProgramRenderer>(
        [this](std::unique_ptr<Raw> pixels, long long ns) { frameDrawn(std::move(pixels), ns); },
        [this] { return takeSpare(); });
    if (!m_renderer->isValid()) {
        // no frame will come: the pipelines never start, and the operator is told why
        QMetaObject::invokeMethod(
            this,
            [this] {
                emit problem(QStringLiteral("Error"),
                             QStringLiteral("Output stopped: the composite cannot be drawn (no OpenGL context)"));
            },
            Qt::QueuedConnection);
        return;
    }
    m_shares = m_renderer->sharesTextures();
    qInfo().noquote() << (m_shares ? QStringLiteral("The program's views draw its frames from its own textures")
                                   : QStringLiteral("The program's views show copies of its frames (no shared "
                                                    "OpenGL context)"));
    m_renderer->setScene(item);
    if (!m_clock.joinable())
        m_clock = std::thread([this] { run(); });
    requestFrame();
}

void ProgramOutput::setViewed(bool viewed)
{
    if (viewed == m_viewed)
        return;
    m_viewed = viewed;
    emit viewedChanged();
}

ProgramViewSource::Texture ProgramOutput::viewTexture() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_viewTexture;
}

void ProgramOutput::holdViewCopies(bool hold) { m_copyHolders += hold ? 1 : -1; }

bool ProgramOutput::copiesWanted() const { return m_viewed || (m_copyHolders > 0 && !m_shares); }

// GUI thread, before the renderer that drew them stops: no view takes those textures any more.
void ProgramOutput::forgetTextures()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_viewTexture = Texture();
        // a next renderer gives every buffer a framebuffer of its own again
        const auto forget = [](Raw &frame) {
            frame.texture = 0;
            frame.slot = -1;
        };
        for (auto &frame : m_ready)
            forget(*frame);
        for (auto &frame : m_cooling)
            forget(*frame);
        for (auto &frame : m_spares)
            forget(*frame);
        if (m_current)
            forget(*m_current);
    }
    emit frameNumberChanged(); // the views let go of the texture they show
}

// GUI thread: the renderer gives the atlas back, and the textures of its frames go with it; the
// views show nothing of them from then on.
void ProgramOutput::stopRenderer()
{
    forgetTextures();
    m_renderer->stop();
    forgetTextures(); // and those of the frame it finished meanwhile
}

QImage ProgramOutput::viewImage(int *number) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (number)
        *number = m_viewNumber;
    return m_view;
}

// GUI thread: the next frame is drawn now, whatever the windows on screen do.
void ProgramOutput::requestFrame()
{
    if (!m_renderer || m_finished)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_ready.size() > ahead)
            return; // the frames of this tick and the next are drawn
    }
    // the pixels only for those that take them: with shared textures the views need none
    m_renderer->setReadBack(!m_pipelines.empty() || copiesWanted());
    // before the atlas has its size (the first moments of the window) nothing can be drawn yet;
    // a frame still being drawn asks for the next when it is done
    if (!m_renderer->frame() && m_reads == 0)
        QTimer::singleShot(20, this, &ProgramOutput::requestFrame);
}

void ProgramOutput::publishFrame(int number)
{
    m_frameNumber = number;
    emit frameNumberChanged();
}

std::unique_ptr<ProgramOutput::Raw> ProgramOutput::takeSpare()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_spares.empty())
        return nullptr;
    std::unique_ptr<Raw> spare = std::move(m_spares.back());
    m_spares.pop_back();
    return spare;
}

// Render thread: a frame drawn and read back.
void ProgramOutput::frameDrawn(std::unique_ptr<Raw> pixels, long long ns)
{
    m_readNs += ns;
    ++m_reads;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ready.push_back(std::move(pixels));
        // never more than the frames of the next ticks (only a stalled clock lets them pile up)
        while (m_ready.size() > ahead + 1) {
            m_spares.push_back(std::move(m_ready.front()));
            m_ready.pop_front();
        }
    }
    m_wake.notify_all(); // the clock waits for its first frames
    // one frame ahead again after a late one: the next is drawn at once
    QMetaObject::invokeMethod(this, "requestFrame", Qt::QueuedConnection);
}

// Nanoseconds from the output's start to frame `index`, exact for a fractional rate such as 30000/1001.
unsigned long long ProgramOutput::frameTimeNs(long long index) const
{
    return gst_util_uint64_scale(static_cast<guint64>(index), GST_SECOND * m_fpsDenominator, m_fpsNumerator);
}

// Clock thread: one frame every 1/RATE from the first frame read back, stamped from there.
void ProgramOutput::run()
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait(lock, [this] { return m_stopping || m_ready.size() > ahead; });
        if (m_stopping)
            return;
        for (auto &pipeline : m_pipelines)
            pipeline->setFormat(m_ready.front()->width, m_ready.front()->height, m_fpsNumerator, m_fpsDenominator);
    }
    for (auto &pipeline : m_pipelines)
        pipeline->start();
    const auto start = Clock::now();
    const auto tickTime = [this, start](long long index) {
        return start + std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(frameTimeNs(index)));
    };
    for (long long index = 0;; ++index) {
        bool fresh = false;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_wake.wait_until(lock, tickTime(index), [this] { return m_stopping; })) {
                fresh = !m_ready.empty();
                if (fresh) {
                    if (m_current)
                        retire(std::move(m_current));
                    m_current = std::move(m_ready.front());
                    m_ready.pop_front();
                }
            } else {
                break;
            }
        }
        // the next frame is asked for before this one is converted, so both run side by side
        QMetaObject::invokeMethod(this, "requestFrame", Qt::QueuedConnection);
        sendTick(index, fresh || index == 0);
    }
    if (m_lastBuffer)
        gst_buffer_unref(m_lastBuffer);
    m_lastBuffer = nullptr;
}

// Clock thread, under m_mutex: the frame that left the air. Its texture may still be drawn by a
// window that took it just before: it is drawn again only after `cooling` more frames.
void ProgramOutput::retire(std::unique_ptr<Raw> frame)
{
    if (!m_shares) {
        m_spares.push_back(std::move(frame));
        return;
    }
    m_cooling.push_back(std::move(frame));
    while (m_cooling.size() > cooling) {
        m_spares.push_back(std::move(m_cooling.front()));
        m_cooling.pop_front();
    }
}

void ProgramOutput::sendTick(long long index, bool fresh)
{
    ++m_sent;
    ++m_minuteSent;
    if (!fresh) {
        ++m_late;
        ++m_minuteLate;
    }
    if (!m_pipelines.empty())
        pushToPipelines(index, fresh);
    if (fresh)
        publishView(index);
    const long long perMinute = (60LL * m_fpsNumerator + m_fpsDenominator / 2) / m_fpsDenominator;
    if (m_minuteSent >= perMinute)
        minuteReport(false);
}

// The frame of tick `index` to every pipeline, stamped from the pipelines' start: the current
// pixels in straight alpha, or a repeat of the frame before when none came in time.
void ProgramOutput::pushToPipelines(long long index, bool fresh)
{
    const int width = m_current->width;
    const int height = m_current->height;
    GstBuffer *buffer = nullptr;
    if (fresh || !m_lastBuffer) {
        const auto began = Clock::now();
        buffer = gst_buffer_new_allocate(nullptr, m_current->data.size(), nullptr);
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
            // GL reads the bottom row first; GStreamer takes the top row first
            const size_t row = static_cast<size_t>(width) * 4;
            for (int y = 0; y < height; ++y)
                framepixels::toStraight(m_current->data.data() + row * static_cast<size_t>(height - 1 - y),
                                        map.data + row * static_cast<size_t>(y), width);
            gst_buffer_unmap(buffer, &map);
        }
        m_conversionNs += std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - began).count();
        ++m_conversions;
    } else {
        // a repeat shares the pixels of the frame before
        buffer = gst_buffer_copy(m_lastBuffer);
    }
    const guint64 pts = frameTimeNs(index);
    GST_BUFFER_PTS(buffer) = pts;
    GST_BUFFER_DTS(buffer) = pts;
    GST_BUFFER_DURATION(buffer) = frameTimeNs(index + 1) - pts;
    GST_BUFFER_OFFSET(buffer) = static_cast<guint64>(index);
    for (auto &pipeline : m_pipelines)
        pipeline->push(gst_buffer_ref(buffer), width, height);
    if (m_lastBuffer)
        gst_buffer_unref(m_lastBuffer);
    m_lastBuffer = buffer;
}

// The frame on air for the views: its texture where they share it, a copy where it is wanted
// (and read back); the views are told on the GUI thread.
void ProgramOutput::publishView(long long index)
{
    const bool copy = copiesWanted() && !m_current->data.empty();
    if (!copy && !m_shares)
        return;
    const auto began = Clock::now();
    const int number = static_cast<int>(index & 0x7fffffff);
    QImage view;
    if (copy) {
        view = QImage(m_current->width, m_current->height, QImage::Format_RGBA8888_Premultiplied);
        const size_t row = static_cast<size_t>(m_current->width) * 4;
        for (int y = 0; y < m_current->height; ++y)
            std::memcpy(view.scanLine(y), m_current->data.data() + row * static_cast<size_t>(m_current->height - 1 - y),
                        row);
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (copy) {
            m_view = view;
            m_viewNumber = number;
        }
        if (m_shares && m_current->texture)
            m_viewTexture = Texture{m_current->texture, QSize(m_current->width, m_current->height), number};
    }
    m_publishNs += std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - began).count();
    ++m_publishes;
    QMetaObject::invokeMethod(this, "publishFrame", Qt::QueuedConnection, Q_ARG(int, number));
}

// Frames sent and late, traced every minute and at exit; a minute with more than 1 % late
// frames is a Warning for the operator.
void ProgramOutput::minuteReport(bool atExit)
{
    const long long sent = m_minuteSent;
    const long long late = m_minuteLate;
    m_minuteSent = 0;
    m_minuteLate = 0;
    qInfo().noquote() << QStringLiteral("Output frames sent %1 late %2%3 (since start: sent %4 late %5; "
                                        "read-back %6 ms, conversion %7 ms a frame)")
                             .arg(sent)
                             .arg(late)
                             .arg(atExit ? QStringLiteral(" at exit") : QStringLiteral(" in the last minute"))
                             .arg(m_sent.load())
                             .arg(m_late.load())
                             .arg(readbackMs(), 0, 'f', 1)
                             .arg(conversionMs(), 0, 'f', 1);
    QStringList warnings;
    if (late * 100 > sent)
        warnings << QStringLiteral("Output late frames %1 of %2").arg(late).arg(sent);
    m_reportedDropped.resize(m_pipelines.size(), 0);
    for (size_t i = 0; i < m_pipelines.size(); ++i) {
        const long long dropped = m_pipelines[i]->dropped();
        const long long minuteDropped = dropped - m_reportedDropped[i];
        m_reportedDropped[i] = dropped;
        if (dropped)
            qInfo().noquote() << QStringLiteral("Output %1 dropped %2 frames it took too slowly (since start)")
                                     .arg(i + 1)
                                     .arg(dropped);
        // a frame sent but dropped never reached that pipeline: it is as bad as a late one
        if (minuteDropped * 100 > sent)
            warnings << QStringLiteral("Output %1 dropped frames %2 of %3").arg(i + 1).arg(minuteDropped).arg(sent);
    }
    if (atExit)
        return;
    for (const QString &text : qAsConst(warnings))
        QMetaObject::invokeMethod(
            this, [this, text] { emit problem(QStringLiteral("Warning"), text); }, Qt::QueuedConnection);
}

void ProgramOutput::finish(int timeoutMs)
{
    if (m_finished)
        return;
    m_finished = true;
    // the atlas goes back to the window before the window's document is destroyed
    if (m_renderer)
        stopRenderer();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_clock.joinable()) {
        m_clock.join();
        minuteReport(true);
    }
    // End-of-stream to all first, then one deadline for all: a muxer writes its index on it.
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<bool> ending;
    for (auto &pipeline : m_pipelines)
        ending.push_back(pipeline->endOfStream());
    for (size_t i = 0; i < m_pipelines.size(); ++i) {
        if (ending[i] && !m_pipelines[i]->waitEnded(deadline))
            qWarning().noquote()
                << QStringLiteral("Output %1 did not finish its stream within %2 ms").arg(i + 1).arg(timeoutMs);
        m_pipelines[i]->stop();
    }
}
