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

    int GetWindMode() const { return maxFrame; }
    float GetScatterX() const { return scatterX; }

protected:
    float scatterX = 0.0f;  // fixed sideways offset of the drawn dot
};
