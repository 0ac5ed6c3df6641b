#include "app/input.h"

#include <allegro5/keycodes.h>

#include "app/commands.h"
#include "app/level_load.h"
#include "app/world.h"

void HandleKeyDown(int keycode, int mouseX, int mouseY)
{
    switch (keycode) {
    case ALLEGRO_KEY_R:
        ResetPlayer();
        break;
    case ALLEGRO_KEY_S:
        SnowBurst();
        break;
    case ALLEGRO_KEY_SPACE:
        keys[SPACE] = true;
        LoadLevel();
        break;
    case ALLEGRO_KEY_LEFT:
        keys[LEFT] = true;
        break;
    case ALLEGRO_KEY_RIGHT:
        keys[RIGHT] = true;
        break;
    case ALLEGRO_KEY_UP:
        keys[UP] = true;
        break;
    case ALLEGRO_KEY_DOWN:
        keys[DOWN] = true;
        PlaceBlocks(mouseX, mouseY);
        break;
    default:
        break;
    }
}

void HandleKeyUp(int keycode)
{
    switch (keycode) {
    case ALLEGRO_KEY_SPACE:
        keys[SPACE] = false;
        break;
    case ALLEGRO_KEY_LEFT:
        keys[LEFT] = false;
        break;
    case ALLEGRO_KEY_RIGHT:
        keys[RIGHT] = false;
        break;
    case ALLEGRO_KEY_UP:
        keys[UP] = false;
        break;
    case ALLEGRO_KEY_DOWN:
        keys[DOWN] = false;
        break;
    default:
        break;
    }
}

void ReleaseHeldKeys()
{
    for (bool& key : keys)
        key = false;
}
