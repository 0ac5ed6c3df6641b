#pragma once

#include "objects/GameObject.h"

// The figure the player steers: walks, jumps while Up is held, falls, stands on the
// floor line and on blocks, and animates from a 9 by 4 sheet of 16 by 19 frames.
class Player : public GameObject {
public:
    static constexpr float START_X = 352.0f;
    static constexpr float START_Y = 18.0f;
    static constexpr int WIDTH = 16;
    static constexpr int HEIGHT = 19;
    static constexpr int FLOOR = 600;  // the floor line, the window's bottom edge at the start

    Player() = default;

    void Init(ALLEGRO_BITMAP* image);

    void MoveLeft() { dirX = -1; }
    void MoveRight() { dirX = 1; }
    void Jump();
    void ResetAnimation(int position);

    void Destroy() override;
    void Update() override;
    void Render() override;
    void Collided(int objectID, GameObject* other) override;

    // Collided returns at once for any kind but a block (told by the kind passed, whatever
    // the class of the partner).
    CollisionInterest Interest() const override
    {
        return IsExactly<Player>() ? CollisionInterest::OnlyKinds({BLOCK}) : GameObject::Interest();
    }
    // Render cuts one frameWidth by frameHeight frame drawn unscaled at (x, y).
    bool Drawn(DrawnBox& box) const override
    {
        box = DrawnBox{x, y, static_cast<double>(x) + frameWidth, static_cast<double>(y) + frameHeight};
        return IsExactly<Player>();
    }

    int GetJumpState() const { return jumpState; }
    bool IsOnGround() const { return onGround; }

private:
    int jumpState = 0;  // 0 rising under the jump impulse, 1 falling (also while standing)
    bool onGround = false;
};
