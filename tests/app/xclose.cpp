// xclose PID TITLE-PREFIX [--find | --minimise]
// Finds the top-level X11 windows of process PID whose title begins with TITLE-PREFIX and asks
// each to close the way a window manager's close button does (WM_DELETE_WINDOW). With --find it
// only reports whether such a window is mapped; with --minimise it asks the window manager to
// minimise each, as its minimise button does. Exit status 0: found (and asked); 1: none; 2: no
// display or bad arguments.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Windows come and go while the tree is walked (the program creates helper windows as it starts);
// asking about one that has just gone is not a failure, whereas Xlib's default handler would exit.
int ignoreErrors(Display *, XErrorEvent *) { return 0; }

bool readCardinal(Display *display, Window window, Atom property, unsigned long &value)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    const bool ok =
        XGetWindowProperty(display, window, property, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data)
            == Success
        && type == XA_CARDINAL && format == 32 && count == 1;
    if (ok)
        value = *reinterpret_cast<unsigned long *>(data);
    if (data)
        XFree(data);
    return ok;
}

std::string title(Display *display, Window window, Atom netWmName, Atom utf8)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    std::string result;
    if (XGetWindowProperty(display, window, netWmName, 0, 1024, False, utf8, &type, &format, &count, &after, &data)
            == Success
        && data && type == utf8 && format == 8)
        result.assign(reinterpret_cast<char *>(data), count);
    if (data)
        XFree(data);
    if (!result.empty())
        return result;
    char *name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        result = name;
        XFree(name);
    }
    return result;
}

void collect(Display *display, Window window, std::vector<Window> &out)
{
    Window root = 0, parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return;
    for (unsigned int i = 0; i < count; ++i) {
        out.push_back(children[i]);
        collect(display, children[i], out);
    }
    if (children)
        XFree(children);
}

} // namespace

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
    XSetErrorHandler(ignoreErrors);
    const Atom netWmPid = XInternAtom(display, "_NET_WM_PID", False);
    const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);

    std::vector<Window> windows;
    collect(display, DefaultRootWindow(display), windows);
    int found = 0;
    for (Window window : windows) {
        unsigned long owner = 0;
        if (!readCardinal(display, window, netWmPid, owner) || owner != pid)
            continue;
        if (title(display, window, netWmName, utf8).compare(0, prefix.size(), prefix) != 0)
            continue;
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
            continue;
        ++found;
        if (findOnly)
            continue;
        if (minimise) {
            XIconifyWindow(display, window, DefaultScreen(display));
            continue;
        }
        XEvent event;
        std::memset(&event, 0, sizeof event);
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(deleteWindow);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(display, window, False, NoEventMask, &event);
    }
    XFlush(display);
    XCloseDisplay(display);
    return found ? 0 : 1;
}
