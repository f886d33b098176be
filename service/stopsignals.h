#pragma once
// How a service manager or a terminal ends an output. SIGTERM and SIGINT ask for the same end as
// the operator closing the window: the signal handler only writes the signal number into a socket
// pair, and the event loop turns it into stopRequested(), so nothing but that write happens inside
// the handler. A second SIGTERM or SIGINT while the first is being handled ends the process at
// once (for an output stuck in its closing steps). SIGHUP is ignored: a playout machine's terminal
// closing must not take the output off air.
#include <QObject>

class QSocketNotifier;

class StopSignals : public QObject
{
    Q_OBJECT

public:
    // Sets up the socket pair and the handlers. Call once, before the application object exists,
    // so that a signal arriving during start-up is kept until the event loop runs. False (with a
    // message on stderr) when the socket pair cannot be made; the signals keep their default action.
    static bool install();

    // Watches the socket pair from the current thread's event loop; needs the application object.
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

signals:
    // The first SIGTERM or SIGINT; `signal` is its number.
    void stopRequested(int signal);

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
};

class QWindow;

// Closes `window` as its close button does (the window's own closing steps run), then ends the
// event loop with status 0 even when no window was there to close.
void closeLikeTheOperator(QWindow *window);
