#include "app/commands.h"

#include "app/camera.h"
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

// Blocks land by the pointer as the view shows the world: the first one's corner
// POINTER_OFFSET_X left of and POINTER_OFFSET_Y above the world point under the pointer,
// wherever the view is, held at the world's edge or not.
void PlaceBlocks(int mouseX, int mouseY)
{
    float view[2];
    UpdateCamera(view, player->GetX(), player->GetY(), FIGURE_VIEW_WIDTH, FIGURE_VIEW_HEIGHT);
    // Away from the edges the corner is the figure's position less half the window, formed
    // from the figure alone so that the sum stays exact to the float; at an edge the view is
    // held there.
    const float x0 = view[0] > 0 ? player->GetX() - HALF_WINDOW : -POINTER_OFFSET_X;
    const float y0 = view[1] > 0 ? player->GetY() - HALF_WINDOW : -POINTER_OFFSET_Y;
    CommandAdditions placed("Down", "blocks", 2);
    for (int column = 0; column < 2; ++column) {
        const float x = x0 + static_cast<float>(mouseX + column * Cube::SIZE);
        const float y = y0 + static_cast<float>(mouseY);
        if (!placed.Add([&] { return new Cube(x, y, GetImage(BLOCKS_PICTURE)); }))
            return;
    }
}
