#pragma once

#include "objects/GameObject.h"

// A fixed 24 by 24 block with one of the four looks of the block sheet.
class Cube : public GameObject {
public:
    static constexpr int SIZE = 24;

    Cube(float x, float y, ALLEGRO_BITMAP* image);

    void Destroy() override;
    void Update() override;
    void Render() override;
    void Collided(int objectID, GameObject* other) override;

    // A block never reacts to anything.
    CollisionInterest Interest() const override
    {
        return IsExactly<Cube>() ? CollisionInterest::Nothing() : GameObject::Interest();
    }
    // Render draws one SIZE by SIZE square at (x, y).
    bool Drawn(DrawnBox& box) const override;
};
