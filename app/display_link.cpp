#include "app/display_link.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include <chrono>
#include <thread>

#include "app/output.h"

namespace {

constexpr int HOLD_TRIES = 5;
constexpr auto HOLD_RETRY_PAUSE = std::chrono::milliseconds(100);

Display* hold = nullptr;
bool reached = false;

bool Named(const char* displayName)
{
    return displayName != nullptr && *displayName != '\0';
}

// No state is kept between runs, so nothing is lost by ending here and now; exit() would
// run the library's shutdown, which never returns once the display is gone.
int EndOnLostDisplay(Display* display)
{
    // The library's connection and the window manager's questions may both find the display
    // gone, each in its own thread: one line, from the first.
    static std::atomic_flag lost = ATOMIC_FLAG_INIT;
    if (lost.test_and_set())
        for (;;)
            pause();
    const char* name = display != nullptr ? DisplayString(display) : nullptr;
    WriteLineWithoutWaiting(STDERR_FILENO, "platformer: lost the connection to the display \"" +
                                               Printable(name != nullptr ? name : "") + "\"; the game ends\n");
    _exit(1);
}

}  // namespace

void EndGameWhenDisplayIsLost()
{
    XInitThreads();  // before any other Xlib call: the library's threads share its connections
    XSetIOErrorHandler(EndOnLostDisplay);
}

void HoldDisplayThroughStartUp()
{
    if (!Named(std::getenv("DISPLAY")))
        return;
    for (int tries = 0; hold == nullptr && tries < HOLD_TRIES; ++tries) {
        if (tries > 0)
            std::this_thread::sleep_for(HOLD_RETRY_PAUSE);
        hold = XOpenDisplay(nullptr);
    }
    reached = hold != nullptr;
}

void ReleaseDisplayHold()
{
    if (hold != nullptr)
        XCloseDisplay(hold);
    hold = nullptr;
}

bool DisplayWasReached()
{
    return reached;
}

std::string WhyNoWindow(const char* displayName, bool displayReached)
{
    if (!Named(displayName))
        return "cannot open the game's window: no display (DISPLAY is not set; start the game from a desktop "
               "session)";
    const std::string shown = "\"" + Printable(displayName) + "\"";
    if (!displayReached)
        return "cannot open the display " + shown + " (is that display running, and may this user use it?)";
    return "the display " + shown +
           " answers, but the game's window or its OpenGL context cannot be made there (does it offer OpenGL?)";
}
