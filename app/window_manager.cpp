#include "app/window_manager.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

int IgnoreError(Display*, XErrorEvent*)
{
    return 0;
}

// The window named by a window-valued property, or 0.
Window WindowProperty(Display* x, Window of, Atom property)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Window found = 0;
    if (XGetWindowProperty(x, of, property, 0, 1, False, XA_WINDOW, &type, &format, &count, &after, &data) ==
            Success &&
        type == XA_WINDOW && format == 32 && count == 1)
        found = *reinterpret_cast<Window*>(data);
    if (data != nullptr)
        XFree(data);
    return found;
}

bool ListsAtom(Display* x, Window of, Atom property, Atom wanted)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool listed = false;
    if (XGetWindowProperty(x, of, property, 0, 4096, False, XA_ATOM, &type, &format, &count, &after, &data) ==
            Success &&
        type == XA_ATOM && format == 32) {
        const Atom* atoms = reinterpret_cast<const Atom*>(data);
        for (unsigned long i = 0; i < count && !listed; ++i)
            listed = atoms[i] == wanted;
    }
    if (data != nullptr)
        XFree(data);
    return listed;
}

}  // namespace

bool WindowManagerOffersFullscreen()
{
    Display* x = XOpenDisplay(nullptr);
    if (x == nullptr)
        return true;
    // A window manager that has gone leaves its check window's id behind: asking about a
    // window that no longer exists must not end the game.
    XErrorHandler previous = XSetErrorHandler(IgnoreError);
    const Window root = DefaultRootWindow(x);
    const Atom check = XInternAtom(x, "_NET_SUPPORTING_WM_CHECK", True);
    const Atom supported = XInternAtom(x, "_NET_SUPPORTED", True);
    const Atom fullscreen = XInternAtom(x, "_NET_WM_STATE_FULLSCREEN", True);
    bool offers = false;
    if (check != None && supported != None && fullscreen != None) {
        const Window manager = WindowProperty(x, root, check);
        offers = manager != 0 && WindowProperty(x, manager, check) == manager &&
                 ListsAtom(x, root, supported, fullscreen);
    }
    XSync(x, False);
    XSetErrorHandler(previous);
    XCloseDisplay(x);
    return offers;
}
