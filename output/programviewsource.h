#pragma once
// What a view of the program output (a clean feed window, the operator's preview) takes from it.
// Header only: the views live in a QML plug-in that reaches the output through this interface,
// without linking the output's code a second time.
//
// Where the output's OpenGL context shares its objects with the windows' contexts, each frame on
// air is also published as the texture it was drawn into: a view draws it as it is, without the
// frame passing through main memory. Otherwise (no shared context) a view shows copies of the
// frames, made while at least one view holds them.
#include <QImage>
#include <QObject>
#include <QSize>

class ProgramViewSource
{
public:
    // The frame on air as a texture of the output's context: GL rows, bottom row first, alpha
    // premultiplied. `texture` 0 when there is none (before the first frame, once the output
    // stopped, or without shared contexts). The texture keeps this frame for at least two frame
    // periods after the next frame takes the air; only the output deletes it, when it stops.
    struct Texture
    {
        unsigned texture = 0;
        QSize size;
        int number = -1;
    };

    virtual ~ProgramViewSource() = default;
    // Any thread.
    virtual Texture viewTexture() const = 0;
    // The latest frame copied (alpha premultiplied, top row first); null before the first copy.
    virtual QImage viewImage(int *number = nullptr) const = 0;
    // A view that is on screen holds the copies while it may need them (`hold` true, then false
    // once): they are made for it only where the texture cannot be shared.
    virtual void holdViewCopies(bool hold) = 0;
};

#define ProgramViewSource_iid "org.orvane.ProgramViewSource/1.0"
Q_DECLARE_INTERFACE(ProgramViewSource, ProgramViewSource_iid)
