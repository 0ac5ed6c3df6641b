#include "app/window_manager.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <allegro5/allegro_x.h>

namespace {

int IgnoreError(Display*, XErrorEvent*)
{
    return 0;
}

// The game's own connection for these questions, opened at the first and kept: one is asked
// in every frame, and a new connection each time would cost more than the answer.
class Connection {
public:
    ~Connection()
    {
        if (x_ != nullptr)
            XCloseDisplay(x_);
    }
    Display* Get()
    {
        if (x_ == nullptr && !tried_) {
            tried_ = true;
            x_ = XOpenDisplay(nullptr);
        }
        return x_;
    }

private:
    Display* x_ = nullptr;
    bool tried_ = false;
};
Connection connection;

// A window manager that has gone leaves its check window's id behind, and a window may go
// while it is asked about: such a question is answered "no", never by ending the game.
class IgnoringErrors {
public:
    explicit IgnoringErrors(Display* x) : x_(x), previous_(XSetErrorHandler(IgnoreError)) {}
    ~IgnoringErrors()
    {
        XSync(x_, False);
        XSetErrorHandler(previous_);
    }
    IgnoringErrors(const IgnoringErrors&) = delete;
    IgnoringErrors& operator=(const IgnoringErrors&) = delete;

private:
    Display* x_;
    XErrorHandler previous_;
};

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

// A live window manager names its check window on the root, and the check window, still
// there, names itself.
bool OffersFullscreen(Display* x)
{
    IgnoringErrors quietly(x);
    const Window root = DefaultRootWindow(x);
    const Atom check = XInternAtom(x, "_NET_SUPPORTING_WM_CHECK", True);
    const Atom supported = XInternAtom(x, "_NET_SUPPORTED", True);
    const Atom fullscreen = XInternAtom(x, "_NET_WM_STATE_FULLSCREEN", True);
    if (check == None || supported == None || fullscreen == None)
        return false;
    const Window manager = WindowProperty(x, root, check);
    return manager != 0 && WindowProperty(x, manager, check) == manager && ListsAtom(x, root, supported, fullscreen);
}

}  // namespace

bool AskWindowManagerForFullscreen(ALLEGRO_DISPLAY* display, bool on)
{
    Display* x = connection.Get();
    if (x == nullptr || !OffersFullscreen(x))
        return false;
    // Add or remove, never toggle: asks repeated while the window manager is stalled still
    // end in the state asked for last.
    XEvent ask{};
    ask.xclient.type = ClientMessage;
    ask.xclient.window = al_get_x_window_id(display);
    ask.xclient.message_type = XInternAtom(x, "_NET_WM_STATE", False);
    ask.xclient.format = 32;
    ask.xclient.data.l[0] = on ? 1 : 0;
    ask.xclient.data.l[1] = static_cast<long>(XInternAtom(x, "_NET_WM_STATE_FULLSCREEN", False));
    ask.xclient.data.l[3] = 1;  // from an application
    XSendEvent(x, DefaultRootWindow(x), False, SubstructureRedirectMask | SubstructureNotifyMask, &ask);
    XFlush(x);
    return true;
}

bool WindowIsFullscreen(ALLEGRO_DISPLAY* display)
{
    Display* x = connection.Get();
    if (x == nullptr)
        return false;
    IgnoringErrors quietly(x);
    return ListsAtom(x, al_get_x_window_id(display), XInternAtom(x, "_NET_WM_STATE", False),
                     XInternAtom(x, "_NET_WM_STATE_FULLSCREEN", False));
}

bool WindowIsHidden(ALLEGRO_DISPLAY* display)
{
    Display* x = connection.Get();
    if (x == nullptr)
        return false;
    IgnoringErrors quietly(x);
    XWindowAttributes attributes;
    // Iconified, the window manager unmaps the window; a parent unmapped leaves it unviewable.
    return XGetWindowAttributes(x, al_get_x_window_id(display), &attributes) != 0 &&
           attributes.map_state != IsViewable;
}
