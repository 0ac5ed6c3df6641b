#include "app/window_manager.h"

#include <allegro5/allegro_windows.h>

// Windows makes fullscreen windows itself, at once: the resize that follows is the answer.
bool AskWindowManagerForFullscreen(ALLEGRO_DISPLAY* display, bool on)
{
    return al_set_display_flag(display, ALLEGRO_FULLSCREEN_WINDOW, on);
}

bool WindowIsFullscreen(ALLEGRO_DISPLAY* display)
{
    return (al_get_display_flags(display) & ALLEGRO_FULLSCREEN_WINDOW) != 0;
}

bool WindowIsHidden(ALLEGRO_DISPLAY* display)
{
    return IsIconic(al_get_win_window_handle(display)) != 0;
}
