#include "app/window_manager.h"

// Windows makes fullscreen windows itself.
bool WindowManagerOffersFullscreen()
{
    return true;
}
