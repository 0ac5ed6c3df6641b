#pragma once

#include <allegro5/allegro.h>
#include <cstdint>
#include <initializer_list>
#include <typeinfo>

// Kind of a world object; the numbers are fixed (2 to 4 are unused).
enum ObjectID { PLAYER = 0, BLOCK = 1, SNOW = 5 };

// Which calls of Collided can change an object, as its kind knows from its own Collided.
// The collision pass skips only the calls this rules out. It assumes what every kind keeps
// to: Collided changes nothing but its own object. A kind that says nothing hears of every
// pair, as it always has, and so does a subclass of a kind that declares, until it declares too.
class CollisionInterest {
public:
    static constexpr int MAX_KIND = 63;  // partner kinds a list may name: 0 to MAX_KIND

    // Any partner, every call: the default.
    static constexpr CollisionInterest EveryPartner() { return CollisionInterest(Mode::EveryCall, ALL_KINDS); }
    // Only partners whose kind passed to Collided is one of these; other calls change nothing.
    static constexpr CollisionInterest OnlyKinds(std::initializer_list<int> kinds)
    {
        std::uint64_t mask = 0;
        for (int kind : kinds) {
            if (kind < 0 || kind > MAX_KIND)
                return EveryPartner();  // a kind no mask can hold: rule nothing out
            mask |= std::uint64_t{1} << kind;
        }
        return CollisionInterest(Mode::EveryCall, mask);
    }
    static constexpr CollisionInterest Nothing() { return CollisionInterest(Mode::EveryCall, 0); }
    // Any partner, but the reaction ignores who the partner is and a second call in the same
    // pass can change nothing the first did not.
    static constexpr CollisionInterest FirstCallOfPass() { return CollisionInterest(Mode::FirstCall, ALL_KINDS); }

    bool EveryCallMatters() const { return mode == Mode::EveryCall && kinds == ALL_KINDS; }
    bool OnlyFirstCallMatters() const { return mode == Mode::FirstCall; }
    // Bit k set: a call naming partner kind k may change the object.
    std::uint64_t KindMask() const { return kinds; }

private:
    enum class Mode : unsigned char { EveryCall, FirstCall };
    static constexpr std::uint64_t ALL_KINDS = ~std::uint64_t{0};

    constexpr CollisionInterest(Mode mode, std::uint64_t kinds) : mode(mode), kinds(kinds) {}

    Mode mode;
    std::uint64_t kinds;
};

// A box in world coordinates (right and bottom included): where an object's Render may put
// pixels, or the part of the world the view shows.
struct DrawnBox {
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
};

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

    // What this kind's Collided reacts to (see CollisionInterest); every call by default.
    virtual CollisionInterest Interest() const { return CollisionInterest::EveryPartner(); }
    // Where this kind draws: false (the default) when it cannot say, and it is then always drawn.
    virtual bool Drawn(DrawnBox& box) const
    {
        (void)box;
        return false;
    }

    void Init(float x, float y, float velX, float velY, int dirX, int dirY, int boundX, int boundY);

    // A kind's Interest and Drawn hold for that very class: a subclass may change Collided or
    // Render, so it hears of every pair and is always drawn until it says otherwise itself.
    template <class Kind>
    bool IsExactly() const
    {
        return typeid(*this) == typeid(Kind);
    }

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
