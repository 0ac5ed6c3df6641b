#pragma once

#include "objects/GameObject.h"

// A snow particle: falls at its own speed, drifts in a wind of its own that changes every
// 41 ticks, and ends once it is below the world's bottom at y 1200.
class Snow : public GameObject {
public:
    static constexpr float BOTTOM = 1200.0f;
    static constexpr int WIND_PERIOD = 40;  // the wind is redrawn on the update after this many

    Snow(float x, float y);

    void Destroy() override;
    void Update() override;
    void Render() override;
    void Collided(int objectID, GameObject* other) override;

    // Collided ignores its partner and only reads y, which nothing changes while pairs are
    // told: the first call of a pass decides, and later ones repeat it.
    CollisionInterest Interest() const override
    {
        return IsExactly<Snow>() ? CollisionInterest::FirstCallOfPass() : GameObject::Interest();
    }
    // The dot, not the box: a circle of DOT_RADIUS around (x / 2 + scatterX, y - 300).
    bool Drawn(DrawnBox& box) const override;

    static constexpr float DOT_RADIUS = 2.0f;

    int GetWindMode() const { return maxFrame; }
    float GetScatterX() const { return scatterX; }

protected:
    float scatterX = 0.0f;  // fixed sideways offset of the drawn dot
};
