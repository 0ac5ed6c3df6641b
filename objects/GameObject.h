#pragma once

#include <allegro5/allegro.h>

// Kind of a world object; the numbers are fixed (2 to 4 are unused).
enum ObjectID { PLAYER = 0, BLOCK = 1, SNOW = 5 };

// Base of everything in the world. The world list owns every object and drives it
// through the four virtual operations without knowing its class.
class GameObject {
public:
    GameObject() = default;
    virtual ~GameObject() = default;

    virtual void Destroy();
    virtual void Update();
    virtual void Render();
    virtual void Collided(int objectID, GameObject* other);

    void Init(float x, float y, float velX, float velY, int dirX, int dirY, int boundX, int boundY);

    // The accessors stay inline: the collision pass asks them for every pair, every tick.
    float GetX() const { return x; }
    float GetY() const { return y; }
    int GetBoundX() const { return boundX; }
    int GetBoundY() const { return boundY; }
    int GetID() const { return ID; }
    void SetID(int id) { ID = id; }
    bool IsAlive() const { return alive; }
    void SetAlive(bool value) { alive = value; }
    bool IsCollidable() const { return collidable; }
    bool CanCollide() const { return alive && collidable; }

    // Every collidable pair is reported whatever the positions: each Collided decides
    // from the two boxes, and snow relies on hearing of a collision every tick.
    bool CheckCollisions(GameObject* other) const { return other->IsCollidable(); }

    // Read-only views of the motion and animation state.
    float GetVelX() const { return velX; }
    float GetVelY() const { return velY; }
    int GetDirX() const { return dirX; }
    int GetDirY() const { return dirY; }
    int GetMaxFrame() const { return maxFrame; }
    int GetCurFrame() const { return curFrame; }
    int GetFrameCount() const { return frameCount; }
    int GetFrameWidth() const { return frameWidth; }
    int GetFrameHeight() const { return frameHeight; }
    int GetAnimationRow() const { return animationRow; }
    ALLEGRO_BITMAP* GetPicture() const { return image; }

protected:
    int ID = -1;  // no kind until the concrete class sets one
    bool alive = true;
    bool collidable = true;

    float x = 0.0f;
    float y = 0.0f;
    float velX = 0.0f;
    float velY = 0.0f;
    int dirX = 0;
    int dirY = 0;
    int boundX = 0;
    int boundY = 0;

    int maxFrame = 0;
    int curFrame = 0;
    int frameCount = 0;
    int frameDelay = 0;
    int frameWidth = 0;
    int frameHeight = 0;
    int animationRow = 0;

    ALLEGRO_BITMAP* image = nullptr;  // borrowed from the image cache
};
