#pragma once

#include <allegro5/allegro.h>

// What the game asks of the window manager, and what it can tell of its own window. On X11
// fullscreen is asked of the window manager, which answers when it likes (or, stalled or
// gone, never): nothing here waits for an answer.

// Asks the window manager to make the window fullscreen (or bring it back); false when no
// live window manager offers it. The answer comes later as a resize.
bool AskWindowManagerForFullscreen(ALLEGRO_DISPLAY* display, bool on);

// Whether the window is fullscreen now, as its window manager has made it.
bool WindowIsFullscreen(ALLEGRO_DISPLAY* display);

// Whether nobody can see the window: iconified or unmapped.
bool WindowIsHidden(ALLEGRO_DISPLAY* display);
