#pragma once
// The X11 windows of one process, found the way a window manager knows them (_NET_WM_PID), with
// what a test asks of them: the title, whether it is shown, where its content and its decoration
// are, and how it is stacked. Plain Xlib, so the xclose helper uses it as the tests do.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <string>
#include <vector>

namespace x11 {

struct ProcessWindow
{
    Window id = 0;
    std::string title;            // _NET_WM_NAME, else WM_NAME
    bool viewable = false;        // mapped, and so are all its ancestors
    int x = 0, y = 0;             // its content on the screen (pixels)
    int width = 0, height = 0;    // its content (pixels)
    long frame[4] = {0, 0, 0, 0}; // decoration left, right, top, bottom (_NET_FRAME_EXTENTS; none without a manager)
    int stacking = -1;            // place of its top-level window among the screen's, from the bottom
};

// Windows come and go while the tree is walked (a program makes helper windows as it starts);
// asking about one that has just gone is no failure, whereas Xlib's default handler would exit.
inline int ignoreErrors(Display *, XErrorEvent *) { return 0; }

namespace detail {

inline std::vector<unsigned long> cardinals(Display *display, Window window, Atom property, long count)
{
    std::vector<unsigned long> values;
    if (property == None)
        return values;
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, count, False, XA_CARDINAL, &type, &format, &items, &after,
                           &data)
            == Success
        && data && type == XA_CARDINAL && format == 32)
        values.assign(reinterpret_cast<unsigned long *>(data), reinterpret_cast<unsigned long *>(data) + items);
    if (data)
        XFree(data);
    return values;
}

inline std::string title(Display *display, Window window)
{
    const Atom netWmName = XInternAtom(display, "_NET_WM_NAME", True);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", True);
    std::string result;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    if (netWmName != None && utf8 != None
        && XGetWindowProperty(display, window, netWmName, 0, 1024, False, utf8, &type, &format, &count, &after, &data)
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

} // namespace detail

// Every window of process `pid` on the display's screen, top-level windows from the bottom of the
// stack up, each followed by the windows inside it (a window manager's frame holds the program's).
inline std::vector<ProcessWindow> windowsOf(Display *display, unsigned long pid)
{
    std::vector<ProcessWindow> found;
    const Atom netWmPid = XInternAtom(display, "_NET_WM_PID", True);
    if (netWmPid == None)
        return found;
    const Atom frameExtents = XInternAtom(display, "_NET_FRAME_EXTENTS", True);
    XErrorHandler previous = XSetErrorHandler(ignoreErrors);
    const Window root = DefaultRootWindow(display);
    Window rootReturn = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    std::vector<Window> tops;
    if (XQueryTree(display, root, &rootReturn, &parent, &children, &count))
        tops.assign(children, children + count);
    if (children)
        XFree(children);
    for (size_t i = 0; i < tops.size(); ++i) {
        std::vector<Window> pending{tops[i]};
        while (!pending.empty()) {
            const Window window = pending.back();
            pending.pop_back();
            Window *kids = nullptr;
            unsigned int n = 0;
            if (XQueryTree(display, window, &rootReturn, &parent, &kids, &n))
                pending.insert(pending.end(), kids, kids + n);
            if (kids)
                XFree(kids);
            const std::vector<unsigned long> owner = detail::cardinals(display, window, netWmPid, 1);
            if (owner.size() != 1 || owner[0] != pid)
                continue;
            XWindowAttributes attributes;
            if (!XGetWindowAttributes(display, window, &attributes))
                continue;
            ProcessWindow w;
            w.id = window;
            w.title = detail::title(display, window);
            w.viewable = attributes.map_state == IsViewable;
            Window child = 0;
            XTranslateCoordinates(display, window, root, 0, 0, &w.x, &w.y, &child);
            w.width = attributes.width;
            w.height = attributes.height;
            const std::vector<unsigned long> extents = detail::cardinals(display, window, frameExtents, 4);
            if (extents.size() == 4)
                for (int side = 0; side < 4; ++side)
                    w.frame[side] = long(extents[side]);
            w.stacking = int(i);
            found.push_back(w);
        }
    }
    // errors of the walk arrive by now, and go to the handler that ignores them
    XSync(display, False);
    XSetErrorHandler(previous);
    return found;
}

} // namespace x11
