#pragma once

#include <string>

// The game's hold on the X display, apart from what the library does with it.

// From now on, losing the display (a logout, a dropped remote session) ends the game at
// once: one line on standard error and status 1. Xlib's own handler ends it through exit(),
// and the library's exit-time shutdown then waits forever for the game's thread, itself
// waiting for events that will never come.
void EndGameWhenDisplayIsLost();

// An X server whose last client leaves resets itself, dropping every connection still being
// set up, the library's among them; the window then fails although the display is fine.
// The game holds a connection of its own through start-up so that the server has a client
// all along, and tries to open it a few times, since its own attempt can meet a reset too.
void HoldDisplayThroughStartUp();
void ReleaseDisplayHold();
bool DisplayWasReached();  // the hold's connection was made

// Why the window could not be opened, for a person, given DISPLAY's value (null when unset).
std::string WhyNoWindow(const char* displayName, bool reached);
