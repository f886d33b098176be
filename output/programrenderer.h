#pragma once
// Draws one item (the window's atlas) on its own, away from every window on screen: the item is
// moved into an offscreen Qt Quick window driven by a render control, drawn into a framebuffer
// on a render thread of its own, and read back. Nothing here depends on the operator's window
// being shown, exposed or focused, nor on a display: it runs the same on a surfaceless EGL.
//
//   GUI thread     frame(): polishes the items, then syncs the scene graph on the render thread
//                  while it waits (the only moment the two touch the items together)
//   render thread  draws the synced scene and reads the pixels back, while the GUI runs on
//
// Each frame is drawn into the framebuffer of its own buffer (a slot), so that a frame drawn before
// keeps its texture while the next is drawn: with a context that shares with the application's
// global share context, the windows on screen draw those textures themselves. The pixels are read
// back only when asked for (the pipelines, copies for views); otherwise the drawing is only finished.
#include <QObject>
#include <QPointer>
#include <QSize>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QOffscreenSurface;
class QOpenGLContext;
class QOpenGLFramebufferObject;
class QQuickItem;
class QQuickRenderControl;
class QQuickWindow;
class QThread;

class ProgramRenderer : public QObject
{
    Q_OBJECT

public:
    // One frame: its pixels, RGBA with premultiplied alpha, bottom row first (as GL reads them),
    // empty when they were not read back; and the texture it was drawn into, which stays as it is
    // until this buffer comes back through `spare` for another frame.
    struct Pixels
    {
        std::vector<uint8_t> data;
        int width = 0;
        int height = 0;
        int slot = -1;        // the framebuffer of this buffer, given on its first frame
        unsigned texture = 0; // that framebuffer's colour texture (in the renderer's context)
    };
    // Called on the render thread with each frame drawn and the time its drawing and read-back took.
    using Delivery = std::function<void(std::unique_ptr<Pixels>, long long ns)>;

    ProgramRenderer(Delivery delivery, std::function<std::unique_ptr<Pixels>()> spare);
    ~ProgramRenderer() override;

    // False when no GL context could be made (the reason is in the log).
    bool isValid() const { return m_valid; }
    // True when the frames' textures can be drawn by the application's windows (the context shares
    // with the global share context).
    bool sharesTextures() const { return m_shares; }
    // Whether the next frames are read back into their pixels (by default they are).
    void setReadBack(bool readBack) { m_readBack = readBack; }
    // Takes `item` into the offscreen window; its size is the frame's size.
    void setScene(QQuickItem *item);
    // GUI thread: starts drawing the next frame. False (nothing started) while the frame before is
    // still being drawn, or before the scene has a size.
    bool frame();
    // GUI thread: waits for the frame in hand, frees every GL resource and gives the item back
    // (without a parent, as the window declared it). Safe to call twice.
    void stop();

private:
    // render thread
    bool initializeGl();
    void renderScene();
    void releaseGl();

    Delivery m_delivery;
    std::function<std::unique_ptr<Pixels>()> m_spare;
    bool m_valid = false;
    bool m_shares = false;
    std::atomic<bool> m_readBack{true};
    bool m_stopped = false;
    QPointer<QQuickItem> m_item;
    QSize m_size;
    std::unique_ptr<QOffscreenSurface> m_surface;
    std::unique_ptr<QQuickRenderControl> m_control;
    std::unique_ptr<QQuickWindow> m_window;
    QOpenGLContext *m_context = nullptr;                    // lives on the render thread
    std::vector<QOpenGLFramebufferObject *> m_framebuffers; // by slot; render thread only
    QThread *m_thread = nullptr;
    QObject *m_worker = nullptr; // lives on the render thread: the queued calls go to it
    std::atomic<bool> m_busy{false};
};
