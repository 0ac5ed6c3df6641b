#include <allegro5/keycodes.h>
#include <array>
#include <utility>
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
    int flag;                  // the KEYS index it holds, or -1
    std::size_t objectsAdded;  // by its command, with no level file
    float firstX, firstY;      // where the first of them is, with the pointer at (10, 20)
};

const KeyCase kKeys[] = {
    {"R", ALLEGRO_KEY_R, -1, 0, 0, 0},          {"S", ALLEGRO_KEY_S, -1, 25, 352, 18},  // at the figure
    {"Space", ALLEGRO_KEY_SPACE, SPACE, 0, 0, 0}, {"Left", ALLEGRO_KEY_LEFT, LEFT, 0, 0, 0},
    {"Right", ALLEGRO_KEY_RIGHT, RIGHT, 0, 0, 0}, {"Up", ALLEGRO_KEY_UP, UP, 0, 0, 0},
    {"Down", ALLEGRO_KEY_DOWN, DOWN, 2, 62, 12},  // the view is held at the world's top
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
        ASSERT_EQ(objects.size(), 1 + k.objectsAdded);
        EXPECT_EQ(objects[0], player);
        if (k.objectsAdded > 0) {
            EXPECT_EQ(std::make_pair(objects[1]->GetX(), objects[1]->GetY()), std::make_pair(k.firstX, k.firstY));
        }

        HandleKeyUp(k.keycode);
        EXPECT_EQ(HeldKeys(), Flags{});
        EXPECT_EQ(objects.size(), 1 + k.objectsAdded) << "a key-up runs no command";
    }
}

// A key-up clears its own flag whether or not its key-down came, and nothing else.
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

        const std::size_t before = objects.size();
        HoldKeys({});
        HandleKeyUp(k.keycode);
        EXPECT_EQ(HeldKeys(), Flags{});
        EXPECT_EQ(objects.size(), before);
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

}  // namespace
