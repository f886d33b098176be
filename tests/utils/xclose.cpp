// xclose PID TITLE-PREFIX [--find | --minimise]
// Finds the shown X11 windows of process PID whose title begins with TITLE-PREFIX and asks each
// to close the way a window manager's close button does (WM_DELETE_WINDOW). With --find it only
// reports whether such a window is shown; with --minimise it asks the window manager to minimise
// each, as its minimise button does. Exit status 0: found (and asked); 1: none; 2: no
// display or bad arguments.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "x11windows.h"

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: xclose PID TITLE-PREFIX [--find | --minimise]\n");
        return 2;
    }
    const unsigned long pid = std::strtoul(argv[1], nullptr, 10);
    const std::string prefix = argv[2];
    const bool findOnly = argc > 3 && std::strcmp(argv[3], "--find") == 0;
    const bool minimise = argc > 3 && std::strcmp(argv[3], "--minimise") == 0;

    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "xclose: cannot open display\n");
        return 2;
    }
    XSetErrorHandler(x11::ignoreErrors); // a window may go before its close request reaches it
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);

    int found = 0;
    for (const x11::ProcessWindow &window : x11::windowsOf(display, pid)) {
        if (!window.viewable || window.title.compare(0, prefix.size(), prefix) != 0)
            continue;
        ++found;
        if (findOnly)
            continue;
        if (minimise) {
            XIconifyWindow(display, window.id, DefaultScreen(display));
            continue;
        }
        XEvent event;
        std::memset(&event, 0, sizeof event);
        event.xclient.type = ClientMessage;
        event.xclient.window = window.id;
        event.xclient.message_type = protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(deleteWindow);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window.id, False, NoEventMask, &event);
    }
    XFlush(display);
    XCloseDisplay(display);
    return found ? 0 : 1;
}
