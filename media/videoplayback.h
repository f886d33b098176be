#pragma once
// How the layers' videos are played, set up once per process before the application object exists.
//
// Qt Multimedia's GStreamer player, for every video a layer starts, also builds a window sink and
// a widget sink that a layer never shows. Without a named sink it tries each video sink that can
// draw into a window, setting it ready on the GUI thread: under X without Xv that reaches the
// DRM/KMS sink, which waits about two seconds for a display device it cannot open, twice per
// start, and every other layer's picture stands still meanwhile. Naming an inert sink for both
// removes the probe. The first start would also load GStreamer's registry and plug-ins on the
// GUI thread; a warm-up on a thread of its own does that at start-up instead, and finds out once
// whether the machine has any sound output: without one the layers' sound is discarded at once
// instead of after trying every audio sink at every start.
#include <QString>

#include <thread>

class VideoPlayback
{
public:
    // Sets the player's environment (only what the user has not set already) and, unless told to
    // wait, starts the warm-up. Make it first thing in main(), before the application object and
    // any thread.
    explicit VideoPlayback(bool startNow = true);
    // Starts the warm-up. The program waits until its command line is known to be good, so that a
    // start ending on a bad option prints its reason alone, without the sound devices' complaints.
    void start();
    // Waits for the warm-up, so that the process never ends in the middle of it.
    ~VideoPlayback();

    VideoPlayback(const VideoPlayback &) = delete;
    VideoPlayback &operator=(const VideoPlayback &) = delete;

private:
    QString m_plugin;
    bool m_chooseAudio = false;
    std::thread m_warmUp;
};
