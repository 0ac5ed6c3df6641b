#include "app/commands.h"

#include "app/capacity.h"
#include "app/world.h"
#include "objects/Cube.h"
#include "objects/Snow.h"
#include "resources/ImageCache.h"

void ResetPlayer()
{
    player->Init(GetImage(FIGURE_PICTURE));
}

void SnowBurst()
{
    CommandAdditions burst("S", "snowflakes", SNOW_BURST_SIZE);
    for (int i = 0; i < SNOW_BURST_SIZE; ++i)
        if (!burst.Add([] { return new Snow(player->GetX(), player->GetY()); }))
            return;
}

// The view keeps the figure's (x + 9, y + 8) mid-window, so the figure's position less 300
// is 9 left of and 8 above the window's top-left: blocks land that far up and left of the
// pointer. Where the view is held at the world's left or top edge the window's corner is
// the edge itself, and the same offsets apply from there.
void PlaceBlocks(int mouseX, int mouseY)
{
    float x0 = player->GetX() - HALF_WINDOW;
    float y0 = player->GetY() - HALF_WINDOW;
    if (x0 < -POINTER_OFFSET_X)
        x0 = -POINTER_OFFSET_X;
    if (y0 < -POINTER_OFFSET_Y)
        y0 = -POINTER_OFFSET_Y;
    CommandAdditions placed("Down", "blocks", 2);
    for (int column = 0; column < 2; ++column) {
        const float x = x0 + static_cast<float>(mouseX + column * Cube::SIZE);
        const float y = y0 + static_cast<float>(mouseY);
        if (!placed.Add([&] { return new Cube(x, y, GetImage(BLOCKS_PICTURE)); }))
            return;
    }
}
