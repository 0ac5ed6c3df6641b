#pragma once

#include <allegro5/allegro.h>

#include <string>

// The game's hold on the X display, apart from what the library does with it.

// From now on, a display the game cannot go on with ends the game at once: one line on
// standard error and status 1. That is a lost connection (a logout, a dropped remote
// session), or a request the display refuses (the game's window destroyed by another
// program). Xlib's own handlers print their own text and end the game through exit(), and
// the library's exit-time shutdown then waits forever for the library's thread.
void EndGameOnDisplayFaults();

// What the display answered when the game first asked for it.
struct DisplayAnswer {
    bool named = false;    // DISPLAY names one
    bool reached = false;  // it took the game's connection
    std::string refusal;   // when it refused it and said why, its words (a missing key, ...)
};

// An X server whose last client leaves resets itself, dropping every connection still being
// set up, the library's among them; the window then fails although the display is fine.
// The game holds a connection of its own through start-up so that the server has a client
// all along, and tries to open it a few times, since its own attempt can meet a reset too.
DisplayAnswer HoldDisplayThroughStartUp();
void ReleaseDisplayHold();

// On a display of several X screens, asks the library for the window on the screen DISPLAY
// names (":0.1" is screen 1). Left to itself, the library picks a screen by asking X about
// the input focus in a way that fails while no window has the focus. Needs the hold.
void UseScreenOfDisplay();

// The game's window, once made, so that a fault about it is told as such.
void WatchGameWindow(ALLEGRO_DISPLAY* window);

// Why the window could not be opened, for a person, given DISPLAY's value (null when unset)
// and what the display answered.
std::string WhyNoWindow(const char* displayName, const DisplayAnswer& answer);

// The line told when the display refuses a request of the game (the error's text as Xlib
// gives it), without its line break.
std::string WhyDisplayRefused(const char* displayName, const std::string& error, bool aboutGameWindow);
