#include <algorithm>
#include <set>
#include <tuple>
#include <vector>

#include "test_support.h"

namespace {

// A speed change as the figure makes it: worked in double, kept as float.
float Step(float v, double delta) { return static_cast<float>(v + delta); }

constexpr float kRestY = Player::FLOOR - Player::HEIGHT;  // 581

class PlayerTest : public WorldTest {
protected:
    void SetUp() override
    {
        probe = StartWorldWith<PlayerProbe>();
    }

    // Lets the figure drop from its start onto the floor line.
    void Settle()
    {
        for (int i = 0; i < 120; ++i)
            Tick();
        ASSERT_TRUE(probe->IsOnGround());
        ASSERT_EQ(probe->GetY(), kRestY);
    }

    void AddBlock(float bx, float by) { objects.push_back(new Cube(bx, by, nullptr)); }

    // Height of the arc's top above the rest line when Up is held for heldTicks from standing.
    float JumpPeak(int heldTicks)
    {
        probe->Init(nullptr);
        Settle();
        float top = kRestY;
        for (int t = 1; t <= 100; ++t) {
            keys[UP] = t <= heldTicks;
            Tick();
            top = std::min(top, probe->GetY());
        }
        keys[UP] = false;
        EXPECT_EQ(probe->GetY(), kRestY);
        return kRestY - top;
    }

    PlayerProbe* probe = nullptr;
};

TEST_F(PlayerTest, HeldJumpRisesSevenTicksThenFallsAndLandsOnTick57)
{
    Settle();
    keys[UP] = true;
    float expected = -2.6f;
    for (int t = 1; t <= 7; ++t) {
        Tick();
        expected = Step(expected, -0.125);
        EXPECT_EQ(probe->GetVelY(), expected) << "tick " << t;
        EXPECT_NEAR(probe->GetVelY(), -2.725 - 0.125 * (t - 1), 1e-5) << "tick " << t;
        EXPECT_EQ(probe->GetJumpState(), 0) << "tick " << t;
    }
    // Eighth tick: past -3.5, so gravity already acts in the same update.
    Tick();
    EXPECT_EQ(probe->GetVelY(), Step(Step(expected, -0.125), 0.1635));
    EXPECT_NEAR(probe->GetVelY(), -3.4365, 1e-5);
    EXPECT_EQ(probe->GetJumpState(), 1);

    float top = probe->GetY();
    int landedOn = 0;
    for (int t = 9; t <= 80 && landedOn == 0; ++t) {
        Tick();
        top = std::min(top, probe->GetY());
        landedOn = probe->IsOnGround() ? t : 0;
    }
    EXPECT_EQ(landedOn, 57);
    EXPECT_EQ(probe->GetY(), kRestY);
    EXPECT_GT(kRestY - top, 59.0f);
    EXPECT_LT(kRestY - top, 60.0f);

    Tick();  // Up still held: takes off again at once
    EXPECT_EQ(probe->GetJumpState(), 0);
    EXPECT_EQ(probe->GetVelY(), Step(-2.6f, -0.125));
}

TEST_F(PlayerTest, ReleasingUpEndsTheRiseSoShorterHoldsJumpLower)
{
    Settle();
    keys[UP] = true;
    for (int t = 0; t < 3; ++t)
        Tick();
    const float rising = probe->GetVelY();
    keys[UP] = false;
    Tick();
    EXPECT_EQ(probe->GetJumpState(), 1);
    EXPECT_EQ(probe->GetVelY(), Step(rising, 0.1635));  // no impulse in the release tick

    const float peaks[] = {JumpPeak(1), JumpPeak(3), JumpPeak(5), JumpPeak(8), JumpPeak(30)};
    EXPECT_LT(peaks[0], peaks[1]);
    EXPECT_LT(peaks[1], peaks[2]);
    EXPECT_LT(peaks[2], peaks[3]);
    EXPECT_EQ(peaks[3], peaks[4]);  // the rise ends by itself on the eighth tick
}

TEST_F(PlayerTest, FallsFromStartAtUpToFivePerTickAndRests)
{
    Tick();
    EXPECT_EQ(probe->GetY(), Player::START_Y + 3.0f);  // dirY is set before the first move
    float topSpeed = 0.0f;
    for (int t = 2; t <= 200; ++t) {
        const float before = probe->GetY();
        Tick();
        ASSERT_LE(probe->GetY() - before, 5.0f) << "tick " << t;
        topSpeed = std::max(topSpeed, probe->GetVelY());
    }
    EXPECT_EQ(topSpeed, 5.0f);
    EXPECT_EQ(probe->GetX(), Player::START_X);
    EXPECT_EQ(probe->GetY(), kRestY);
    EXPECT_TRUE(probe->IsOnGround());
}

TEST_F(PlayerTest, HangsWhileUpIsHeldFromReset)
{
    keys[UP] = true;
    for (int t = 0; t < 30; ++t)
        Tick();
    EXPECT_EQ(probe->GetDirY(), 0);
    EXPECT_EQ(probe->GetY(), Player::START_Y);
    keys[UP] = false;
    Tick();
    EXPECT_EQ(probe->GetDirY(), 1);
    EXPECT_GT(probe->GetY(), Player::START_Y);
}

TEST_F(PlayerTest, WalkingCyclesColumnsOneToEightAndStopShowsStanding)
{
    Settle();
    probe->SetFrameCount(0);
    keys[RIGHT] = true;
    // frameCount passes 3 on every fourth walking tick, and the frame steps then.
    for (int t = 1; t <= 82; ++t) {
        Tick();
        const int steps = t / 4;
        ASSERT_EQ(probe->GetCurFrame(), steps == 0 ? 0 : 1 + (steps - 1) % 8) << "tick " << t;
        ASSERT_EQ(probe->GetAnimationRow(), 0);
        ASSERT_EQ(probe->GetX(), Player::START_X + 3.0f * t);
    }
    keys[RIGHT] = false;
    Tick();  // stopped two ticks into a frame
    EXPECT_EQ(probe->GetCurFrame(), 0);
    EXPECT_EQ(probe->GetFrameCount(), 2);
    EXPECT_EQ(probe->GetX(), Player::START_X + 246.0f);
    keys[LEFT] = true;  // the count goes on from 2: the next frame comes two ticks later
    Tick();
    EXPECT_EQ(std::make_tuple(probe->GetAnimationRow(), probe->GetCurFrame(), probe->GetFrameCount()),
              std::make_tuple(1, 0, 3));
    Tick();
    EXPECT_EQ(std::make_tuple(probe->GetAnimationRow(), probe->GetCurFrame(), probe->GetFrameCount()),
              std::make_tuple(1, 1, 0));
    EXPECT_EQ(probe->GetX(), Player::START_X + 240.0f);
}

TEST_F(PlayerTest, WalkingLeftStopsAtTheWorldsLeftEdge)
{
    Settle();
    keys[LEFT] = true;
    for (int t = 1; t <= 150; ++t) {
        Tick();
        ASSERT_EQ(probe->GetX(), std::max(0.0f, Player::START_X - 3.0f * t)) << "tick " << t;
    }
    EXPECT_EQ(probe->GetDirX(), -1);
    EXPECT_EQ(probe->GetAnimationRow(), 1);  // still walking on the spot, as against a wall

    // From part of a step away: at the edge, not short of it.
    probe->Place(1.5f, kRestY, 0, -1);
    Tick();
    EXPECT_EQ(probe->GetX(), 0.0f);

    keys[LEFT] = false;
    keys[RIGHT] = true;
    Tick();
    EXPECT_EQ(probe->GetX(), 3.0f);
}

TEST_F(PlayerTest, LandingInTheRightAirRowWhileTurningLeftCountsTwoTicks)
{
    // Right held through the fall keeps the right air row; Left comes on the landing tick.
    int rowBefore = -1;
    for (int t = 0; t < 200 && !probe->IsOnGround(); ++t) {
        keys[LEFT] = probe->GetY() + probe->GetVelY() >= kRestY;
        keys[RIGHT] = !keys[LEFT];
        rowBefore = probe->GetAnimationRow();
        Tick();
    }
    EXPECT_EQ(rowBefore, 2);
    EXPECT_EQ(probe->GetAnimationRow(), 1);
    EXPECT_EQ(probe->GetFrameCount(), 2);
}

TEST_F(PlayerTest, AirRowFollowsFacingAndColumnFollowsSpeed)
{
    Settle();  // facing left, as it fell
    keys[RIGHT] = true;
    keys[UP] = true;
    for (int t = 1; t <= 7; ++t) {
        Tick();
        EXPECT_EQ(probe->GetAnimationRow(), 1) << "rising keeps the ground row, tick " << t;
        EXPECT_EQ(probe->GetCurFrame(), 0);
    }
    keys[UP] = false;
    std::vector<int> columns;
    for (int t = 8; t < 100; ++t) {
        Tick();
        if (probe->IsOnGround())
            break;
        const float v = probe->GetVelY();
        EXPECT_EQ(probe->GetCurFrame(), v > 0.0f ? 2 : (v > -1.5 ? 1 : 0)) << "velY " << v;
        EXPECT_EQ(probe->GetAnimationRow(), 2);
        columns.push_back(probe->GetCurFrame());
        keys[RIGHT] = columns.size() < 20;  // then no direction: the row stays
    }
    EXPECT_TRUE(std::is_sorted(columns.begin(), columns.end()));
    EXPECT_EQ(std::set<int>(columns.begin(), columns.end()), (std::set<int>{0, 1, 2}));
    EXPECT_EQ(probe->GetAnimationRow(), 0);  // landed facing right

    probe->Init(nullptr);  // in the air again; turning left flips to the left air row
    keys[RIGHT] = true;
    Tick();
    EXPECT_EQ(probe->GetAnimationRow(), 2);
    keys[RIGHT] = false;
    keys[LEFT] = true;
    Tick();
    EXPECT_EQ(probe->GetAnimationRow(), 3);
}

TEST_F(PlayerTest, InitRestoresTheStartAndKeepsThePictureWhenGivenNone)
{
    FrameSheet sheet(9, 4, Player::WIDTH, Player::HEIGHT);
    FrameSheet other(9, 4, Player::WIDTH, Player::HEIGHT);
    probe->Init(sheet.bitmap());
    Settle();
    keys[LEFT] = keys[UP] = true;
    for (int t = 0; t < 10; ++t)
        Tick();
    probe->SetAlive(false);

    probe->Init(nullptr);
    EXPECT_EQ(StateOf(*probe), FigureAtStart(sheet.bitmap()));
    probe->Init(other.bitmap());
    EXPECT_EQ(probe->GetPicture(), other.bitmap());
}

// Contact responses against one block at (100, 100)-(124, 124).
TEST_F(PlayerTest, CollidedRespondsToTheBlockBox)
{
    const struct {
        const char* what;
        int kind;
        float x, y, velY;
        int dirX;
        float wantX, wantY, wantVelY;
        bool wantOnGround;
        int wantColumn;
    } cases[] = {
        // Look-ahead: set on top before sinking in; not yet when the next step only touches.
        {"lands one step ahead", BLOCK, 104, 79, 3, 0, 104, 81, 0, true, 5},
        {"next step only touches", BLOCK, 104, 79, 2, 0, 104, 79, 2, false, 5},
        // Top contact needs more than 3 pixels of overlap on each side.
        {"left overlap 3", BLOCK, 87, 79, 3, 0, 87, 79, 3, false, 5},
        {"left overlap 4", BLOCK, 88, 79, 3, 0, 88, 81, 0, true, 5},
        {"right overlap 4", BLOCK, 120, 79, 3, 0, 120, 81, 0, true, 5},
        {"right overlap 3", BLOCK, 121, 79, 3, 0, 121, 79, 3, false, 5},
        {"walking right into left face", BLOCK, 90, 100, 0, 1, 84, 100, 0, false, 0},
        {"standing at left face", BLOCK, 90, 100, 0, 0, 84, 100, 0, false, 0},
        {"walking left over left part", BLOCK, 90, 100, 0, -1, 124, 100, 0, false, 0},
        {"walking left into right face", BLOCK, 120, 100, 0, -1, 124, 100, 0, false, 0},
        {"standing at right face", BLOCK, 120, 100, 0, 0, 124, 100, 0, false, 0},
        {"head bump", BLOCK, 104, 126, -3, 0, 104, 126, 0, false, 5},
        {"below, clear of it", BLOCK, 104, 128, -3, 0, 104, 128, -3, false, 5},
        {"snow ignored", SNOW, 104, 79, 3, 0, 104, 79, 3, false, 5},
        {"player kind ignored", PLAYER, 90, 100, 0, 1, 90, 100, 0, false, 5},
    };
    Cube block(100, 100, nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        probe->Init(nullptr);
        probe->Place(c.x, c.y, c.velY, c.dirX);
        probe->SetFrame(5, 3);
        probe->Collided(c.kind, &block);
        EXPECT_EQ(std::make_tuple(probe->GetX(), probe->GetY(), probe->GetVelY()),
                  std::make_tuple(c.wantX, c.wantY, c.wantVelY));
        EXPECT_EQ(probe->IsOnGround(), c.wantOnGround);
        EXPECT_EQ(probe->GetCurFrame(), c.wantColumn);
    }
}

TEST_F(PlayerTest, FallingFigureIsSetOnABlockWithoutSinkingIn)
{
    AddBlock(348, 200);
    for (int t = 0; t < 200; ++t) {
        Tick();
        ASSERT_LE(probe->GetY() + Player::HEIGHT, 200.0f) << "tick " << t;
    }
    EXPECT_EQ(probe->GetY(), 181.0f);
    EXPECT_TRUE(probe->IsOnGround());
}

TEST_F(PlayerTest, HeadBumpUnderABlockEndsTheRiseWhereItIs)
{
    Settle();
    AddBlock(348, 540);  // underside at 564, 17 pixels above the figure's head
    keys[UP] = true;
    bool bumped = false;
    for (int t = 1; t <= 8 && !bumped; ++t) {
        ApplyMovementIntent();
        UpdatePass();
        const float y = probe->GetY();
        const bool rising = probe->GetJumpState() == 0;
        CollisionPass();
        bumped = rising && probe->GetJumpState() == 1;
        if (bumped) {
            EXPECT_EQ(probe->GetVelY(), 0.0f);
            EXPECT_EQ(probe->GetY(), y);
        }
    }
    ASSERT_TRUE(bumped);
    keys[UP] = false;
    for (int t = 0; t < 60; ++t) {
        Tick();
        ASSERT_GE(probe->GetY(), 564.0f);
    }
    EXPECT_EQ(probe->GetY(), kRestY);
}

TEST_F(PlayerTest, WalkingOffABlockFallsOnceOverlapIsThreeOrLess)
{
    AddBlock(340, 300);  // right edge at 364; the figure lands at x 352
    for (int t = 0; t < 100; ++t)
        Tick();
    ASSERT_EQ(probe->GetY(), 281.0f);

    keys[RIGHT] = true;
    for (int overlap : {9, 6}) {
        Tick();
        EXPECT_EQ(probe->GetVelY(), 0.0f) << "held up by the block at overlap " << overlap;
    }
    Tick();  // x 361, overlap 3: no contact, gravity builds up
    EXPECT_EQ(probe->GetY(), 281.0f);
    EXPECT_GT(probe->GetVelY(), 0.0f);
    Tick();
    EXPECT_FALSE(probe->IsOnGround());
    EXPECT_GT(probe->GetY(), 281.0f);

    keys[RIGHT] = false;
    for (int t = 0; t < 120; ++t)
        Tick();
    EXPECT_EQ(probe->GetY(), kRestY);
    EXPECT_EQ(probe->GetX(), 364.0f);  // never pushed back by the block's side
}

TEST_F(PlayerTest, RenderDrawsExactlyTheCurrentFrameAtItsPosition)
{
    FrameSheet sheet(9, 4, Player::WIDTH, Player::HEIGHT);
    const int frames[][2] = {{0, 0}, {8, 3}, {3, 2}, {5, 1}, {2, 3}};
    for (const auto& frame : frames) {
        SCOPED_TRACE(testing::Message() << "column " << frame[0] << " row " << frame[1]);
        probe->Init(sheet.bitmap());
        probe->Place(10, 20);
        probe->SetFrame(frame[0], frame[1]);
        Canvas canvas(48, 48);
        const Canvas::Rgba sky = canvas.At(0, 0);
        probe->Render();
        const Canvas::Rgba want = FrameSheet::Colour(frame[0], frame[1]);
        for (int py = 20; py < 39; ++py)
            for (int px = 10; px < 26; ++px)
                ASSERT_EQ(canvas.At(px, py), want) << px << "," << py;
        const int outside[][2] = {{9, 20}, {26, 20}, {10, 19}, {25, 39}};
        for (const auto& at : outside)
            EXPECT_EQ(canvas.At(at[0], at[1]), sky) << at[0] << "," << at[1];
    }

    // Never given a picture: nothing is drawn.
    Player bare;
    bare.Init(nullptr);
    Canvas canvas(400, 400);
    const Canvas::Rgba sky = canvas.At(0, 0);
    bare.Render();
    for (int py = 0; py < 400; ++py)
        for (int px = 0; px < 400; ++px)
            ASSERT_EQ(canvas.At(px, py), sky);
}

}  // namespace
