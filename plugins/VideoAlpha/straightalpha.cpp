#include "straightalpha.h"

#include "sinkgate.h"

#include <QPointer>

namespace {

// Runs on the render thread for every frame; passes the frame on as it is and tells the filter,
// on its own thread, when the kind of frame changes.
class Runnable : public QVideoFilterRunnable
{
public:
    explicit Runnable(StraightAlpha *filter) : m_filter(filter) { }

    QVideoFrame run(QVideoFrame *input, const QVideoSurfaceFormat &, RunFlags) override
    {
        const bool straight = StraightAlpha::isStraight(input->pixelFormat());
        if (m_filter && (straight != m_straight || !m_seen)) {
            m_seen = true;
            m_straight = straight;
            QPointer<StraightAlpha> filter = m_filter;
            QMetaObject::invokeMethod(
                m_filter,
                [filter, straight] {
                    if (filter)
                        filter->setStraight(straight);
                },
                Qt::QueuedConnection);
        }
        return *input;
    }

private:
    QPointer<StraightAlpha> m_filter;
    bool m_straight = false;
    bool m_seen = false;
};

} // namespace

StraightAlpha::StraightAlpha(QObject *parent) : QAbstractVideoFilter(parent) { SinkGate::install(); }

void StraightAlpha::setStraight(bool straight)
{
    if (straight == m_straight && m_seen)
        return;
    m_straight = straight;
    m_seen = true;
    emit straightChanged();
}

bool StraightAlpha::isStraight(QVideoFrame::PixelFormat format)
{
    switch (format) {
    case QVideoFrame::Format_ARGB32:
    case QVideoFrame::Format_BGRA32:
    case QVideoFrame::Format_ABGR32:
    case QVideoFrame::Format_AYUV444:
        return true;
    default:
        return false;
    }
}

QVideoFilterRunnable *StraightAlpha::createFilterRunnable() { return new Runnable(this); }
