#pragma once
// Qt Multimedia's GStreamer video sink hands every frame to its VideoOutput on the GUI thread and
// waits up to 300 ms for it to be taken. GStreamer wakes such a wait (the sink's unlock) before a
// state change or a flush takes the sink's lock, but Qt's sink forgets that wake: a frame that
// falls due in between waits its full 300 ms for the GUI thread, and the GUI thread, which made
// the change (a new source, a pause, a player going away), waits for that frame. The gate makes
// the wake hold until the change has the lock: unlock returns only once no frame is being handed
// over, and a frame that comes before the change is through is dropped instead of handed over.
namespace SinkGate {

// Puts the gate on Qt's video sink, once per process; later calls do nothing. Call it on the
// GUI thread (where Qt makes its sinks) before the first player starts. Without Qt's sink (another
// Qt build) nothing changes.
void install();

} // namespace SinkGate
