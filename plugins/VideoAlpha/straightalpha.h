#pragma once
// A filter for a VideoOutput that tells whether its frames carry straight (not premultiplied)
// alpha. The scene graph blends every item as premultiplied, and Qt Multimedia draws an RGB video
// frame as it comes, without blending: a straight-alpha frame (ProRes 4444 with alpha, for one)
// would cover the layers under it and add its transparent parts' colours to the picture. The
// VideoOutput premultiplies such frames itself while `straight` is true, and shows nothing
// before `seen`, so that not even the first frame is drawn the wrong way.
#include <QAbstractVideoFilter>

class StraightAlpha : public QAbstractVideoFilter
{
    Q_OBJECT
    Q_PROPERTY(bool straight READ straight NOTIFY straightChanged)
    Q_PROPERTY(bool seen READ seen NOTIFY straightChanged)

public:
    // The first one also puts the gate on the players' video sink (see sinkgate.h), before any
    // of its VideoOutput's frames are handed over.
    explicit StraightAlpha(QObject *parent = nullptr);

    // The latest frame's kind; false until the first frame.
    bool straight() const { return m_straight; }
    // Whether a frame has come through, and so `straight` tells its kind.
    bool seen() const { return m_seen; }
    void setStraight(bool straight);
    // Formats whose alpha channel is straight.
    static bool isStraight(QVideoFrame::PixelFormat format);

    QVideoFilterRunnable *createFilterRunnable() override;

signals:
    void straightChanged();

private:
    bool m_straight = false;
    bool m_seen = false;
};
