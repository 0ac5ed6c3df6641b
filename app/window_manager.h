#pragma once

// Whether a window manager is running that offers fullscreen windows. On X11 fullscreen is
// asked of the window manager, and the library then waits up to a second for an answer
// that, without one, never comes: asking first keeps the game from stalling for it.
// True where this cannot be told, so that the library may try.
bool WindowManagerOffersFullscreen();
