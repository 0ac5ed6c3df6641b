#include "app/display_link.h"

#include <X11/Xlib.h>
#include <allegro5/allegro_x.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "app/exit_status.h"
#include "app/output.h"

namespace {

constexpr int HOLD_TRIES = 5;
constexpr auto HOLD_RETRY_PAUSE = std::chrono::milliseconds(100);

Display* hold = nullptr;
std::atomic<XID> gameWindow{0};

bool Named(const char* displayName)
{
    return displayName != nullptr && *displayName != '\0';
}

std::string Shown(const char* displayName)
{
    return "\"" + Printable(displayName != nullptr ? displayName : "") + "\"";
}

// The library's connection and the window manager's questions may both find the display
// gone, each in its own thread: one line, from the first; the others wait for the end.
void OnlyTheFirstThreadEnds()
{
    static std::atomic_flag ending = ATOMIC_FLAG_INIT;
    if (ending.test_and_set())
        for (;;)
            pause();
}

// No state is kept between runs, so nothing is lost by ending here and now; exit() would
// run the library's shutdown, which never returns once the display is gone or the library's
// thread waits on a reply that never comes.
int EndOnLostDisplay(Display* display)
{
    OnlyTheFirstThreadEnds();
    TellOnStandardError("platformer: lost the connection to the display " +
                        Shown(display != nullptr ? DisplayString(display) : nullptr) + "; the game ends\n");
    _exit(CANNOT_GO_ON);
}

int EndOnRefusedRequest(Display* display, XErrorEvent* error)
{
    OnlyTheFirstThreadEnds();
    char text[256] = "";
    XGetErrorText(display, error->error_code, text, sizeof text);
    const XID window = gameWindow.load();
    TellOnStandardError(
        WhyDisplayRefused(DisplayString(display), text, window != 0 && error->resourceid == window) + "\n");
    _exit(CANNOT_GO_ON);
}

// Xlib tells a refused connection on standard error itself, once a try, and the game tells
// it in its own line. So while the game opens its connection, standard error goes to a pipe
// that can never make Xlib wait, and what Xlib said there becomes part of the game's line.
class XlibTextHeldBack {
public:
    XlibTextHeldBack()
    {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        saved_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
        if (saved_ < 0 || dup2(ends[1], STDERR_FILENO) < 0) {
            close(ends[0]);
            close(ends[1]);
            if (saved_ >= 0)
                close(saved_);
            saved_ = -1;
            return;
        }
        close(ends[1]);
        reader_ = ends[0];
    }
    ~XlibTextHeldBack() { Release(); }
    XlibTextHeldBack(const XlibTextHeldBack&) = delete;
    XlibTextHeldBack& operator=(const XlibTextHeldBack&) = delete;

    // Standard error as it was, and what was said meanwhile, its lines joined by spaces.
    std::string Release()
    {
        if (reader_ < 0)
            return "";
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        std::clearerr(stderr);  // a line the pipe could not take is no fault of the real stream
        std::string said;
        char chunk[512];
        ssize_t got = 0;
        while ((got = read(reader_, chunk, sizeof chunk)) > 0)
            said.append(chunk, static_cast<std::size_t>(got));
        close(reader_);
        reader_ = -1;
        std::istringstream lines(said);
        std::string line, joined;
        while (std::getline(lines, line)) {
            line.erase(0, line.find_first_not_of(" \t\r"));
            line.erase(line.find_last_not_of(" \t\r") + 1);
            if (!line.empty())
                joined += (joined.empty() ? "" : " ") + line;
        }
        return joined;
    }

private:
    int saved_ = -1;
    int reader_ = -1;
};

}  // namespace

void EndGameOnDisplayFaults()
{
    XInitThreads();  // before any other Xlib call: the library's threads share its connections
    XSetIOErrorHandler(EndOnLostDisplay);
    XSetErrorHandler(EndOnRefusedRequest);
}

DisplayAnswer HoldDisplayThroughStartUp()
{
    DisplayAnswer answer;
    answer.named = Named(std::getenv("DISPLAY"));
    if (!answer.named)
        return answer;
    // A display that refused the game has answered: asking again only repeats its answer.
    for (int tries = 0; hold == nullptr && answer.refusal.empty() && tries < HOLD_TRIES; ++tries) {
        if (tries > 0)
            std::this_thread::sleep_for(HOLD_RETRY_PAUSE);
        XlibTextHeldBack xlibText;
        hold = XOpenDisplay(nullptr);
        answer.refusal = xlibText.Release();
    }
    answer.reached = hold != nullptr;
    if (answer.reached)
        answer.refusal.clear();
    return answer;
}

void ReleaseDisplayHold()
{
    if (hold != nullptr)
        XCloseDisplay(hold);
    hold = nullptr;
}

void UseScreenOfDisplay()
{
    if (hold == nullptr || ScreenCount(hold) < 2)
        return;
    // The library numbers its adapters screen by screen; where a screen has several monitors
    // its numbers are its own, and its choice stands.
    if (al_get_num_video_adapters() == ScreenCount(hold))
        al_set_new_display_adapter(DefaultScreen(hold));
}

void WatchGameWindow(ALLEGRO_DISPLAY* window)
{
    gameWindow = al_get_x_window_id(window);
}

std::string WhyNoWindow(const char* displayName, const DisplayAnswer& answer)
{
    if (!Named(displayName))
        return "cannot open the game's window: no display (DISPLAY is not set; start the game from a desktop "
               "session)";
    const std::string shown = Shown(displayName);
    if (!answer.refusal.empty())
        return "the display " + shown + " refused the game: \"" + Printable(answer.refusal) +
               "\" (may this user use that display? XAUTHORITY names the file of its keys)";
    if (!answer.reached)
        return "cannot open the display " + shown + " (is that display running, and may this user use it?)";
    return "the display " + shown +
           " answers, but the game's window or its OpenGL context cannot be made there (does it offer OpenGL?)";
}

std::string WhyDisplayRefused(const char* displayName, const std::string& error, bool aboutGameWindow)
{
    if (aboutGameWindow)
        return "platformer: the game's window on the display " + Shown(displayName) +
               " is gone (another program destroyed it); the game ends";
    return "platformer: the display " + Shown(displayName) + " refused a request of the game (" + Printable(error) +
           "); the game ends";
}
