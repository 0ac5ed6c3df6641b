#include "app/display_link.h"

// Windows has no display server to lose or to keep alive: the window is the machine's own.

void EndGameWhenDisplayIsLost() {}

void HoldDisplayThroughStartUp() {}

void ReleaseDisplayHold() {}

bool DisplayWasReached()
{
    return true;
}

std::string WhyNoWindow(const char*, bool)
{
    return "cannot open the game's window: neither Direct3D nor OpenGL could make it (is the graphics "
           "driver installed?)";
}
