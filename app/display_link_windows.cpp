#include "app/display_link.h"

// Windows has no display server to lose, refuse the game or keep alive: the window is the
// machine's own.

void EndGameOnDisplayFaults() {}

DisplayAnswer HoldDisplayThroughStartUp()
{
    return DisplayAnswer{};
}

void ReleaseDisplayHold() {}

void UseScreenOfDisplay() {}

void WatchGameWindow(ALLEGRO_DISPLAY*) {}

std::string WhyNoWindow(const char*, const DisplayAnswer&)
{
    return "cannot open the game's window: neither Direct3D nor OpenGL could make it (is the graphics "
           "driver installed?)";
}

std::string WhyDisplayRefused(const char*, const std::string& error, bool)
{
    return "platformer: the window system refused the game (" + error + "); the game ends";
}
