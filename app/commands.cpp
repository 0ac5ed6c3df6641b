#include "app/commands.h"

#include "app/world.h"
#include "objects/Cube.h"
#include "objects/Snow.h"
#include "resources/ImageCache.h"

void ResetPlayer()
{
    player->Init(GetImage("Quillorn.png"));
}

void SnowBurst()
{
    for (int i = 0; i < SNOW_BURST_SIZE; ++i)
        objects.push_back(new Snow(player->GetX(), player->GetY()));
}

// The window's top-left is taken to be 300 pixels up and left of the figure, not where the
// camera is: near the world's top and left edges the blocks land away from the pointer.
void PlaceBlocks(int mouseX, int mouseY)
{
    const float x0 = player->GetX() - WINDOW_SIZE / 2;
    const float y0 = player->GetY() - WINDOW_SIZE / 2;
    for (int column = 0; column < 2; ++column) {
        const float x = x0 + static_cast<float>(mouseX + column * Cube::SIZE);
        const float y = y0 + static_cast<float>(mouseY);
        objects.push_back(new Cube(x, y, GetImage("Blocks.png")));
    }
}
