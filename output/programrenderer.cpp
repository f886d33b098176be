#include "programrenderer.h"

#include <QDebug>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <QQuickItem>
#include <QQuickRenderControl>
#include <QQuickWindow>
#include <QThread>

#include <chrono>

using Clock = std::chrono::steady_clock;

ProgramRenderer::ProgramRenderer(Delivery delivery, std::function<std::unique_ptr<Pixels>()> spare)
    : m_delivery(std::move(delivery)), m_spare(std::move(spare))
{
    // the scene graph clips with the stencil and sorts opaque items with the depth buffer
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(8);
    auto *context = new QOpenGLContext;
    context->setFormat(format);
    // the windows' scene graphs share with it too (Qt::AA_ShareOpenGLContexts): they draw our textures
    context->setShareContext(QOpenGLContext::globalShareContext());
    if (!context->create()) {
        qWarning().noquote() << "The program output cannot draw: no OpenGL context";
        delete context;
        return;
    }
    m_shares = context->shareContext() != nullptr;
    m_surface = std::make_unique<QOffscreenSurface>();
    m_surface->setFormat(context->format());
    m_surface->create();
    m_control = std::make_unique<QQuickRenderControl>();
    m_window = std::make_unique<QQuickWindow>(m_control.get());
    m_window->setColor(Qt::transparent);

    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("program render"));
    m_worker = new QObject;
    m_worker->moveToThread(m_thread);
    m_context = context;
    m_context->moveToThread(m_thread);
    m_control->prepareThread(m_thread);
    m_thread->start();
    QMetaObject::invokeMethod(
        m_worker, [this] { m_valid = initializeGl(); }, Qt::BlockingQueuedConnection);
    if (!m_valid)
        qWarning().noquote() << "The program output cannot draw: the offscreen scene did not start";
}

ProgramRenderer::~ProgramRenderer() { stop(); }

bool ProgramRenderer::initializeGl()
{
    if (!m_context->makeCurrent(m_surface.get()))
        return false;
    m_control->initialize(m_context);
    return true;
}

void ProgramRenderer::setScene(QQuickItem *item)
{
    if (!m_window || m_stopped)
        return;
    m_item = item;
    if (item)
        item->setParentItem(m_window->contentItem());
}

bool ProgramRenderer::frame()
{
    if (!m_valid || m_stopped || !m_item || m_busy)
        return false;
    const QSize size(qRound(m_item->width()), qRound(m_item->height()));
    if (size.isEmpty())
        return false;
    if (size != m_size) {
        m_size = size;
        m_window->resize(size);
        m_window->contentItem()->setSize(size);
    }
    m_busy = true;
    m_control->polishItems();
    // the items may be read only while the GUI waits here
    QMetaObject::invokeMethod(
        m_worker,
        [this] {
            m_context->makeCurrent(m_surface.get());
            m_control->sync();
        },
        Qt::BlockingQueuedConnection);
    QMetaObject::invokeMethod(
        m_worker, [this] { renderScene(); }, Qt::QueuedConnection);
    return true;
}

void ProgramRenderer::renderScene()
{
    const auto began = Clock::now();
    std::unique_ptr<Pixels> pixels = m_spare ? m_spare() : nullptr;
    if (!pixels)
        pixels = std::make_unique<Pixels>();
    // a buffer keeps its slot; one never seen before (or one of an earlier renderer) gets the next.
    // Textures no window draws need not outlive their frame: then one framebuffer serves all.
    if (!m_shares)
        pixels->slot = 0;
    else if (pixels->slot < 0)
        pixels->slot = static_cast<int>(m_framebuffers.size());
    if (static_cast<size_t>(pixels->slot) >= m_framebuffers.size())
        m_framebuffers.resize(static_cast<size_t>(pixels->slot) + 1, nullptr);
    QOpenGLFramebufferObject *&framebuffer = m_framebuffers[static_cast<size_t>(pixels->slot)];
    if (!framebuffer || framebuffer->size() != m_size) {
        delete framebuffer;
        framebuffer = new QOpenGLFramebufferObject(m_size, QOpenGLFramebufferObject::CombinedDepthStencil);
    }
    m_window->setRenderTarget(framebuffer);
    m_control->render();
    pixels->width = m_size.width();
    pixels->height = m_size.height();
    pixels->texture = framebuffer->texture();
    QOpenGLFunctions *gl = m_context->functions();
    if (m_readBack) {
        // waits for the drawing to complete, as another context drawing the texture needs
        pixels->data.resize(static_cast<size_t>(m_size.width()) * static_cast<size_t>(m_size.height()) * 4);
        framebuffer->bind();
        gl->glPixelStorei(GL_PACK_ALIGNMENT, 4);
        gl->glReadPixels(0, 0, m_size.width(), m_size.height(), GL_RGBA, GL_UNSIGNED_BYTE, pixels->data.data());
        framebuffer->release();
    } else {
        pixels->data.clear(); // keeps its memory for the next read-back
        gl->glFinish();
    }
    const long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - began).count();
    // free before the delivery, which may ask for the next frame at once
    m_busy = false;
    m_delivery(std::move(pixels), ns);
}

void ProgramRenderer::releaseGl()
{
    m_context->makeCurrent(m_surface.get());
    m_control->invalidate();
    for (QOpenGLFramebufferObject *framebuffer : m_framebuffers)
        delete framebuffer;
    m_framebuffers.clear();
    m_context->doneCurrent();
    delete m_context;
    m_context = nullptr;
}

void ProgramRenderer::stop()
{
    if (m_stopped || !m_thread)
        return;
    m_stopped = true;
    // the frame in hand finishes first: the calls run in order on the render thread
    if (m_valid)
        QMetaObject::invokeMethod(
            m_worker, [this] { releaseGl(); }, Qt::BlockingQueuedConnection);
    else
        QMetaObject::invokeMethod(
            m_worker,
            [this] {
                delete m_context;
                m_context = nullptr;
            },
            Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
    m_worker = nullptr;
    delete m_thread;
    m_thread = nullptr;
    if (m_item)
        m_item->setParentItem(nullptr);
    m_window.reset();
    m_control.reset();
    m_surface.reset();
}
