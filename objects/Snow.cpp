#include "objects/Snow.h"

#include <allegro5/allegro_primitives.h>
#include <random>

Snow::Snow(float x, float y)
{
    Init(x, y, 1.0f, 3.0f, 1, 1, 0, 0);
    SetID(SNOW);

    std::random_device rd;
    std::mt19937 gen(rd());
    std::uniform_int_distribution<int> distX(static_cast<int>(x - 600.0f), static_cast<int>(x + 600.0f));
    std::uniform_int_distribution<int> distY(1, 4);
    std::uniform_int_distribution<int> distVelY(3, 5);
    std::uniform_int_distribution<int> distVelX(1, 7);
    std::uniform_int_distribution<int> distDirX(0, 7);

    // The order of the draws is part of the particle's character; keep it.
    velX = distVelX(gen);
    velY = distVelY(gen);
    if (distDirX(gen) > 6) {
        dirX = -1;  // one particle in eight drifts the other way, and falls slower
        velY = distY(gen);
    } else {
        dirX = 1;
    }
    frameCount = 0;
    scatterX = distX(gen);
}

void Snow::Destroy()
{
    GameObject::Destroy();
}

// maxFrame holds the wind mode (0 to 15): 0-5 push velX towards -2, 12-15 towards 2,
// 6-11 hold it wherever it is between them. The 0.05 steps are worked in double.
void Snow::Update()
{
    frameCount++;
    if (frameCount > WIND_PERIOD) {
        std::random_device rd;
        std::mt19937 gen(rd());
        std::uniform_int_distribution<int> distXr(0, 15);
        maxFrame = distXr(gen);
        frameCount = 0;
    }

    if (maxFrame >= 6) {
        if (velX >= 2.0)
            velX = velX - 0.05;
        else
            velX = velX + 0.05;
    }
    if (maxFrame < 12) {
        if (velX <= -2.0)
            velX = velX + 0.05;
        else
            velX = velX - 0.05;
    }

    GameObject::Update();
}

void Snow::Render()
{
    GameObject::Render();
    // Shapes may not be drawn while sprite drawing is held: let the sprites queued so far
    // out first, so that whatever came earlier in the world is still drawn under the dot.
    const bool spritesHeld = al_is_bitmap_drawing_held();
    if (spritesHeld)
        al_hold_bitmap_drawing(false);
    al_draw_filled_circle(x / 2.0 + scatterX, y - 300.0, DOT_RADIUS, al_map_rgb(255, 255, 255));
    if (spritesHeld)
        al_hold_bitmap_drawing(true);
}

bool Snow::Drawn(DrawnBox& box) const
{
    const double centreX = x / 2.0 + scatterX;
    const double centreY = y - 300.0;
    box = DrawnBox{centreX - DOT_RADIUS, centreY - DOT_RADIUS, centreX + DOT_RADIUS, centreY + DOT_RADIUS};
    return IsExactly<Snow>();
}

// Told of a collision every tick, so this is where a particle below the world ends.
void Snow::Collided(int, GameObject*)
{
    if (y > BOTTOM)
        SetAlive(false);
}
