#include "objects/Cube.h"

#include <random>

Cube::Cube(float x, float y, ALLEGRO_BITMAP* image)
{
    Init(x, y, 0.0f, 0.0f, 0, 0, SIZE, SIZE);
    SetID(BLOCK);
    this->image = image;

    // Each block seeds its own generator so blocks made in one tick still differ.
    std::random_device rd;
    std::mt19937 gen(rd());
    std::uniform_int_distribution<int> dist(0, 3);

    maxFrame = 3;
    curFrame = 0;
    frameCount = dist(gen) * SIZE;  // source x of the chosen look
    frameWidth = SIZE;
    frameHeight = SIZE;
}

void Cube::Destroy()
{
    GameObject::Destroy();
}

void Cube::Update()
{
    GameObject::Update();
}

void Cube::Render()
{
    GameObject::Render();
    if (image == nullptr)
        return;
    al_draw_scaled_bitmap(image, frameCount, 0, frameWidth, frameHeight, x, y, SIZE, SIZE, 0);
}

void Cube::Collided(int, GameObject*) {}

bool Cube::Drawn(DrawnBox& box) const
{
    box = DrawnBox{x, y, static_cast<double>(x) + SIZE, static_cast<double>(y) + SIZE};
    return IsExactly<Cube>();
}
