#include <algorithm>
#include <cmath>
#include <functional>
#include <set>
#include <tuple>
#include <vector>

#include "objects/Snow.h"
#include "test_support.h"

namespace {

// A particle whose drawn values can be fixed after construction.
struct SnowProbe : Snow {
    using Snow::Snow;
    void Set(float vx, int dx, int mode = 0)
    {
        velX = vx;
        dirX = dx;
        maxFrame = mode;
    }
    void SetFall(float vy) { velY = vy; }
    void HoldWind() { frameCount = 0; }
    void SetScatterX(float sx) { scatterX = sx; }
    void SetY(float py) { y = py; }
};

bool IsWhole(float v) { return std::floor(v) == v; }

TEST(SnowTest, ConstructionDrawsWithinItsRanges)
{
    int left = 0;
    std::set<float> velXs, fallsRight, fallsLeft;
    for (int i = 0; i < 2000; ++i) {
        const Snow s(300.0f, 18.0f);
        ASSERT_EQ(std::make_tuple(s.GetID(), s.IsAlive(), s.IsCollidable(), s.GetX(), s.GetY(), s.GetDirY(),
                                  s.GetBoundX(), s.GetBoundY(), s.GetWindMode(), s.GetFrameCount()),
                  std::make_tuple(int(SNOW), true, true, 300.0f, 18.0f, 1, 0, 0, 0, 0));
        ASSERT_TRUE(IsWhole(s.GetScatterX()) && s.GetScatterX() >= -300.0f && s.GetScatterX() <= 900.0f)
            << s.GetScatterX();
        ASSERT_TRUE(s.GetDirX() == 1 || s.GetDirX() == -1);
        velXs.insert(s.GetVelX());
        left += s.GetDirX() == -1;
        (s.GetDirX() == -1 ? fallsLeft : fallsRight).insert(s.GetVelY());
    }
    EXPECT_EQ(velXs, (std::set<float>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(fallsRight, (std::set<float>{3, 4, 5}));
    EXPECT_EQ(fallsLeft, (std::set<float>{1, 2, 3, 4}));
    EXPECT_GT(left, 150);  // one in eight drifts left: 250 expected
    EXPECT_LT(left, 350);

    // The scatter's bounds are x - 600 and x + 600 cut toward zero.
    for (const float x : {0.5f, -0.5f}) {
        std::set<float> scatters;
        for (int i = 0; i < 20000; ++i)
            scatters.insert(Snow(x, 0.0f).GetScatterX());
        EXPECT_EQ(*scatters.begin(), x > 0 ? -599 : -600) << "x " << x;
        EXPECT_EQ(*scatters.rbegin(), x > 0 ? 600 : 599) << "x " << x;
    }
}

TEST(SnowTest, CalmStartSlowsDriftToOneOverFortyUpdates)
{
    SnowProbe s(0.0f, 0.0f);
    s.Set(3.0f, 1);
    const float fall = s.GetVelY();
    for (int i = 0; i < 40; ++i)
        s.Update();
    EXPECT_NEAR(s.GetVelX(), 1.0f, 1e-5);
    EXPECT_NEAR(s.GetX(), 79.0f, 1e-3);  // 2.95 + 2.90 + ... + 1.00
    EXPECT_EQ(s.GetY(), 40 * fall);
    EXPECT_EQ(std::make_tuple(s.GetVelY(), s.GetDirX(), s.GetDirY(), s.GetWindMode(), s.GetFrameCount()),
              std::make_tuple(fall, 1, 1, 0, 40));
}

TEST(SnowTest, WindIsRedrawnOnEvery41stUpdate)
{
    std::set<int> firstModes;
    int changed = 0;
    for (int flake = 0; flake < 200; ++flake) {
        Snow s(0.0f, 0.0f);
        for (int i = 1; i <= 40; ++i)
            s.Update();
        ASSERT_EQ(s.GetWindMode(), 0);
        s.Update();  // 41st
        ASSERT_EQ(s.GetFrameCount(), 0);
        const int mode = s.GetWindMode();
        ASSERT_TRUE(mode >= 0 && mode <= 15) << mode;
        firstModes.insert(mode);
        for (int i = 1; i <= 40; ++i) {
            s.Update();
            ASSERT_EQ(std::make_pair(s.GetFrameCount(), s.GetWindMode()), std::make_pair(i, mode));
        }
        s.Update();  // 82nd
        ASSERT_EQ(s.GetFrameCount(), 0);
        ASSERT_TRUE(s.GetWindMode() >= 0 && s.GetWindMode() <= 15) << s.GetWindMode();
        changed += s.GetWindMode() != mode;
    }
    EXPECT_GE(firstModes.size(), 10u);
    EXPECT_GT(changed, 100);  // 15 in 16 expected to change
}

// East winds (12 to 15) carry the drift to 2 and west winds (0 to 5) to -2, whichever way
// the flake drifts; the calm between keeps a drift inside those and brings one from outside in.
TEST(SnowTest, WindCarriesTheDriftTowardsItsSpeed)
{
    const struct {
        int mode;
        float from, low, high;
    } cases[] = {
        {12, -3.0f, 1.95f, 2.0f}, {15, 0.0f, 1.95f, 2.0f},  {0, 3.0f, -2.0f, -1.95f}, {5, -3.0f, -2.0f, -1.95f},
        {8, 0.5f, 0.5f, 0.5f},    {11, -1.2f, -1.2f, -1.2f}, {6, 3.0f, 1.9f, 2.0f},    {8, -3.0f, -2.0f, -1.9f},
    };
    for (const auto& c : cases) {
        for (int dirX : {1, -1}) {
            SCOPED_TRACE(testing::Message() << "mode " << c.mode << " from " << c.from << " dirX " << dirX);
            SnowProbe s(0.0f, 0.0f);
            s.Set(c.from, dirX, c.mode);
            float before = 0.0f;
            for (int i = 0; i < 200; ++i) {
                s.HoldWind();
                before = s.GetX();
                s.Update();
            }
            EXPECT_GE(s.GetVelX(), c.low - 1e-3f);
            EXPECT_LE(s.GetVelX(), c.high + 1e-3f);
            EXPECT_NEAR(s.GetX() - before, dirX * s.GetVelX(), 1e-3);  // moves by the new speed
            EXPECT_EQ(s.GetWindMode(), c.mode);
        }
    }
}

TEST(SnowTest, CollidedEndsOnlyBelowTheBottom)
{
    Player figure;
    figure.Init(nullptr);
    Cube block(0, 0, nullptr);
    const std::pair<int, GameObject*> contacts[] = {{PLAYER, &figure}, {BLOCK, &block}, {SNOW, nullptr}, {4, nullptr}};
    for (const auto& contact : contacts) {
        SnowProbe s(0.0f, 0.0f);
        s.SetY(1200.0f);
        s.Collided(contact.first, contact.second);
        EXPECT_TRUE(s.IsAlive()) << "kind " << contact.first;
        s.SetY(1200.5f);
        s.Collided(contact.first, contact.second);
        EXPECT_FALSE(s.IsAlive()) << "kind " << contact.first;
    }
}

class SnowWorldTest : public WorldTest {};

TEST_F(SnowWorldTest, GoneInTheTickThatTakesItPastTheBottom)
{
    const struct {
        float fall;
        int lastTick;
    } cases[] = {{3.0f, 395}, {1.0f, 1183}, {5.0f, 237}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "velY " << c.fall);
        StartWorld();
        auto* flake = new SnowProbe(Player::START_X, Player::START_Y);
        flake->SetFall(c.fall);
        objects.push_back(flake);
        int gone = 0;
        for (int t = 1; t <= 2000 && gone == 0; ++t) {
            ApplyMovementIntent();
            UpdatePass();
            const float y = flake->GetY();
            CollisionPass();
            ASSERT_EQ(flake->IsAlive(), y <= Snow::BOTTOM) << "tick " << t << " y " << y;
            RemovalPass();
            if (std::find(objects.begin(), objects.end(), flake) == objects.end())
                gone = t;
        }
        EXPECT_EQ(gone, c.lastTick);
        EXPECT_EQ(objects, std::vector<GameObject*>{player});
    }
}

// A flake first in the world still hears of the partner after an object that sits out the
// pass, and so still ends below the bottom.
TEST_F(SnowWorldTest, AFlakeFirstInTheWorldEndsPastAnObjectThatCannotCollide)
{
    struct Fixture : Cube {
        Fixture() : Cube(0, 0, nullptr) { collidable = false; }
    };
    const std::function<GameObject*()> sitsOut[] = {
        [] { return new Fixture(); },
        [] {
            auto* dead = new Cube(0, 0, nullptr);
            dead->SetAlive(false);
            return dead;
        },
    };
    for (const auto& make : sitsOut) {
        ClearWorld();
        auto* flake = new SnowProbe(0.0f, 0.0f);
        flake->SetY(Snow::BOTTOM + 1);
        objects = {flake, make(), new Cube(0, 0, nullptr)};
        CollisionPass();
        EXPECT_FALSE(flake->IsAlive());
    }
}

TEST(SnowTest, RenderDrawsASmallWhiteDotAtHalfXPlusScatter)
{
    SnowProbe s(100.0f, 0.0f);
    s.SetY(400.0f);
    s.SetScatterX(500.0f);
    Canvas canvas(600, 200);
    const Canvas::Rgba sky = canvas.At(0, 0);
    const Canvas::Rgba white{255, 255, 255, 255};
    s.Render();

    int left = 600, right = -1, top = 200, bottom = -1;
    for (int py = 0; py < 200; ++py) {
        for (int px = 0; px < 600; ++px) {
            const Canvas::Rgba p = canvas.At(px, py);
            if (p == sky)
                continue;
            ASSERT_EQ(p, white) << px << "," << py;
            left = std::min(left, px);
            right = std::max(right, px);
            top = std::min(top, py);
            bottom = std::max(bottom, py);
        }
    }
    // Radius 2 about the pixel corner (550, 100): pixels 548 to 551 and 98 to 101.
    EXPECT_EQ(std::make_tuple(left, right, top, bottom), std::make_tuple(548, 551, 98, 101));
    for (int px : {549, 550})
        for (int py : {99, 100})
            EXPECT_EQ(canvas.At(px, py), white);
}

}  // namespace
