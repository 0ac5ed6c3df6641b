#include <allegro5/keycodes.h>
#include <array>
#include <vector>

#include "app/commands.h"
#include "app/input.h"
#include "resources/ImageCache.h"
#include "test_support.h"

namespace {

using Flags = std::array<bool, 5>;

Flags HeldKeys()
{
    return {keys[UP], keys[DOWN], keys[LEFT], keys[RIGHT], keys[SPACE]};
}

void HoldKeys(const Flags& flags)
{
    for (int i = 0; i < 5; ++i)
        keys[i] = flags[i];
}

// Space reads the level from the working directory: every test runs in an empty one.
class InputTest : public WorldTest {
protected:
    TempWorkingDir folder;
};

struct KeyCase {
    const char* name;
    int keycode;
    int flag;             // the KEYS index it holds, or -1
    std::size_t objectsAdded;  // by its command, with no level file
};

const KeyCase kKeys[] = {
    {"R", ALLEGRO_KEY_R, -1, 0},          {"S", ALLEGRO_KEY_S, -1, 25},
    {"Space", ALLEGRO_KEY_SPACE, SPACE, 0}, {"Left", ALLEGRO_KEY_LEFT, LEFT, 0},
    {"Right", ALLEGRO_KEY_RIGHT, RIGHT, 0}, {"Up", ALLEGRO_KEY_UP, UP, 0},
    {"Down", ALLEGRO_KEY_DOWN, DOWN, 2},
};

TEST_F(InputTest, EachKeyHoldsItsOwnFlagAndRunsItsCommand)
{
    for (const KeyCase& k : kKeys) {
        SCOPED_TRACE(k.name);
        StartWorld();
        HandleKeyDown(k.keycode, 10, 20);
        Flags expected{};
        if (k.flag >= 0)
            expected[k.flag] = true;
        EXPECT_EQ(HeldKeys(), expected);
        EXPECT_EQ(objects.size(), 1 + k.objectsAdded);
        EXPECT_EQ(objects[0], player);

        HandleKeyUp(k.keycode);
        EXPECT_EQ(HeldKeys(), Flags{});
        EXPECT_EQ(objects.size(), 1 + k.objectsAdded) << "a key-up runs no command";
    }
}

TEST_F(InputTest, AKeyChangesNoOtherFlag)
{
    for (const KeyCase& k : kKeys) {
        SCOPED_TRACE(k.name);
        HoldKeys({true, true, true, true, true});
        HandleKeyDown(k.keycode, 0, 0);
        EXPECT_EQ(HeldKeys(), (Flags{true, true, true, true, true}));
        HandleKeyUp(k.keycode);
        Flags expected{true, true, true, true, true};
        if (k.flag >= 0)
            expected[k.flag] = false;
        EXPECT_EQ(HeldKeys(), expected);
    }
}

TEST_F(InputTest, OtherKeysDoNothing)
{
    const int others[] = {ALLEGRO_KEY_ESCAPE, ALLEGRO_KEY_A, ALLEGRO_KEY_Q, ALLEGRO_KEY_T, ALLEGRO_KEY_ENTER,
                          ALLEGRO_KEY_TAB, ALLEGRO_KEY_PAD_2, ALLEGRO_KEY_LSHIFT, 0, 17, 20, 74, 76, 81, 86,
                          ALLEGRO_KEY_MAX - 1, -1, 100000};
    PlaceBlocks(0, 0);  // something in the world besides the figure
    const float x = player->GetX(), y = player->GetY();
    for (const Flags& held : {Flags{}, Flags{true, false, true, false, true}}) {
        for (int keycode : others) {
            SCOPED_TRACE(keycode);
            HoldKeys(held);
            HandleKeyDown(keycode, 10, 20);
            HandleKeyUp(keycode);
            EXPECT_EQ(HeldKeys(), held);
            EXPECT_EQ(objects.size(), 3u);
            EXPECT_EQ(player->GetX(), x);
            EXPECT_EQ(player->GetY(), y);
        }
    }
}

TEST_F(InputTest, RightTappedWhileLeftIsHeldLeavesLeftWinning)
{
    HandleKeyDown(ALLEGRO_KEY_LEFT, 0, 0);
    HandleKeyDown(ALLEGRO_KEY_RIGHT, 0, 0);
    ApplyMovementIntent();
    EXPECT_EQ(player->GetDirX(), -1);
    HandleKeyUp(ALLEGRO_KEY_RIGHT);
    EXPECT_TRUE(keys[LEFT]);
    EXPECT_FALSE(keys[RIGHT]);
    ApplyMovementIntent();
    EXPECT_EQ(player->GetDirX(), -1);
}

TEST_F(InputTest, UpPressedAndReleasedBetweenTicksIsNotSeen)
{
    HandleKeyDown(ALLEGRO_KEY_UP, 0, 0);
    HandleKeyUp(ALLEGRO_KEY_UP);
    ApplyMovementIntent();
    EXPECT_EQ(player->GetDirY(), 1) << "the tick sees Up as not held";
}

TEST_F(InputTest, KeyUpWithoutKeyDownIsHarmless)
{
    for (const KeyCase& k : kKeys)
        HandleKeyUp(k.keycode);
    EXPECT_EQ(HeldKeys(), Flags{});
    EXPECT_EQ(objects.size(), 1u);
}

TEST_F(InputTest, SpaceLoadsTheLevelFromTheWorkingDirectory)
{
    folder.Write("LoadLevel.txt", "0,30,552\n1,100,-5\n");
    HandleKeyDown(ALLEGRO_KEY_SPACE, 0, 0);
    EXPECT_TRUE(keys[SPACE]);
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[1]->GetID(), BLOCK);
    EXPECT_EQ(objects[1]->GetX(), 24.0f);
    EXPECT_EQ(objects[2]->GetY(), -5.0f);
}

TEST_F(InputTest, DownPlacesTwoBlocksAtTheGivenPointer)
{
    HandleKeyDown(ALLEGRO_KEY_DOWN, 10, 20);
    ASSERT_EQ(objects.size(), 3u);
    EXPECT_EQ(objects[1]->GetX(), 62.0f);
    EXPECT_EQ(objects[1]->GetY(), 12.0f);  // the view is held at the world's top: y 0 is the window's top
    EXPECT_EQ(objects[2]->GetX(), 86.0f);
    EXPECT_EQ(objects[2]->GetY(), 12.0f);
}

}  // namespace
