#include "stopsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QWindow>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalSocket[2] = {-1, -1}; // [0] written by the handler, [1] read by the event loop
volatile sig_atomic_t stopping = 0;

void onStopSignal(int sig)
{
    if (stopping) {
        // The second request: end now, with the signal's own default action, so whoever sent it
        // sees the process ended by it.
        signal(sig, SIG_DFL);
        raise(sig);
        return;
    }
    stopping = 1;
    const int saved = errno;
    const char byte = char(sig);
    // Non-blocking: if the event loop were so far behind that the buffer is full, one byte is
    // already waiting and another would add nothing.
    (void)!write(signalSocket[0], &byte, 1);
    errno = saved;
}

// A handler that does nothing, rather than SIG_IGN: an ignored signal stays ignored in the
// programs Orvane starts, a handled one goes back to its default in them.
void onHangUp(int) { }

bool setHandler(int sig, void (*handler)(int))
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(sig, &action, nullptr) == 0;
}

} // namespace

bool StopSignals::install()
{
    if (signalSocket[0] < 0 && socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, signalSocket) != 0) {
        std::fprintf(stderr, "Can't watch stop signals: %s\n", std::strerror(errno));
        return false;
    }
    return setHandler(SIGTERM, onStopSignal) && setHandler(SIGINT, onStopSignal) && setHandler(SIGHUP, onHangUp);
}

StopSignals::StopSignals(QObject *parent) : QObject(parent)
{
    if (signalSocket[1] < 0)
        return;
    m_notifier = new QSocketNotifier(signalSocket[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::readSignal);
}

StopSignals::~StopSignals() = default;

void StopSignals::readSignal()
{
    char byte = 0;
    if (read(signalSocket[1], &byte, 1) == 1)
        emit stopRequested(int(byte));
}

void closeLikeTheOperator(QWindow *window)
{
    if (window)
        window->close();
    // The close normally ends the event loop by itself (the last window went); quitting as well
    // covers a window that refused to close or was never shown.
    QCoreApplication::quit();
}
