#include <allegro5/keycodes.h>

#include <algorithm>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/capacity.h"
#include "app/level_load.h"
#include "fault_support.h"
#include "level_support.h"
#include "world_cap.h"
#include "test_support.h"

namespace {

// The game's ways in for these, one line each.
void NextLoadSlice() { ContinueLevelLoad(0, 0); }  // a tick on time
void CapTheWorld(std::size_t cap) { SetWorldCap(cap); }
void DropLoads() { CancelLevelLoads(); }

constexpr int LEVEL_RECORDS = RECORDS_PER_SLICE + RECORDS_PER_SLICE / 2;

// The blocks Space brings: a slice of records at the press and on each tick after, press after
// press; a load ends at the level's end (found on the read after its last record) or when the
// world is full.
class Loads {
public:
    int Press(std::size_t size, std::size_t cap)
    {
        ++waiting;
        return open ? 0 : Advance(size, cap);
    }
    int Advance(std::size_t size, std::size_t cap)
    {
        int added = 0;
        while (added < RECORDS_PER_SLICE && (open || waiting > 0)) {
            if (!open) {
                --waiting;
                open = true;
                left = LEVEL_RECORDS;
            }
            while (open && added < RECORDS_PER_SLICE) {
                open = left > 0 && size + added < cap;
                added += open;
                left -= open;
            }
        }
        return added;
    }

private:
    bool open = false;
    int waiting = 0, left = 0;
};

class CommandSequencesTest : public WorldTest {
protected:
    void TearDown() override
    {
        DropLoads();
        SetLevelLoadClock(nullptr);
        CapTheWorld(MAX_WORLD_OBJECTS);
        WorldTest::TearDown();
    }

    // The world is before, less what left, then added objects of kind, none of them already in it.
    void Expect(const std::vector<GameObject*>& before, const std::unordered_set<GameObject*>& left,
                std::size_t added, int kind, std::size_t cap)
    {
        std::vector<GameObject*> kept;
        for (GameObject* o : before)
            if (left.count(o) == 0)
                kept.push_back(o);
        ASSERT_EQ(objects.size(), kept.size() + added);
        ASSERT_TRUE(std::equal(kept.begin(), kept.end(), objects.begin())) << "survivors kept, in order";
        for (GameObject* gone : left)
            live.erase(gone);
        for (std::size_t i = kept.size(); i < objects.size(); ++i) {
            ASSERT_EQ(objects[i]->GetID(), kind) << "added object " << i;
            ASSERT_TRUE(live.insert(objects[i]).second) << "added object " << i << " is in the world already";
        }
        ASSERT_EQ(objects[0], player);
        ASSERT_EQ(player->GetID(), PLAYER);
        ASSERT_LE(objects.size(), cap);
    }

    std::unordered_set<GameObject*> live;  // the world's objects, each once
};

// Random sequences of the player's commands, with ticks between them: after each, the figure is
// first, no object is in the world twice (so none is freed twice), the cap holds, and the world
// holds what the commands added less the snowflakes that fell out.
TEST_F(CommandSequencesTest, TheWorldHoldsWhatTheCommandsAddedLessWhatFellOut)
{
    TempWorkingDir folder;
    std::string level;
    for (int i = 0; i < LEVEL_RECORDS; ++i)
        level += "1," + std::to_string(24 * (i % 50)) + "," + std::to_string(24 * (i / 50)) + "\n";
    folder.Write("LoadLevel.txt", level);
    StandardErrorCapture quiet;  // each refusal of a full world is told there
    SetLevelLoadClock(StoppedClock);  // slices bounded by records alone, as the model counts them
    const int heldKeys[] = {ALLEGRO_KEY_LEFT, ALLEGRO_KEY_RIGHT, ALLEGRO_KEY_UP, ALLEGRO_KEY_DOWN, ALLEGRO_KEY_SPACE};
    int fellOut = 0, refused = 0, slicesAfterPress = 0;

    for (int seed = 0; seed < 8; ++seed) {
        std::mt19937 gen(seed);
        const auto uniform = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(gen); };
        live = {StartWorld()};
        DropLoads();
        std::size_t cap = uniform(60, 2500);
        CapTheWorld(cap);
        Loads loads;
        for (int step = 0; step < 300 && !HasFatalFailure(); ++step) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << ", step " << step);
            std::vector<GameObject*> before = objects;
            const std::size_t room = cap - objects.size();
            std::size_t added = 0;
            int kind = BLOCK;
            switch (uniform(0, 8)) {
            case 0:
                HandleKeyDown(heldKeys[uniform(0, 2)], 0, 0);
                HandleKeyUp(heldKeys[uniform(0, 4)]);
                break;
            case 1:
                HandleKeyDown(ALLEGRO_KEY_R, 0, 0);
                break;
            case 2:
                HandleKeyDown(ALLEGRO_KEY_S, 0, 0);
                added = std::min<std::size_t>(SNOW_BURST_SIZE, room);
                refused += added < SNOW_BURST_SIZE;
                kind = SNOW;
                break;
            case 3:
                HandleKeyDown(ALLEGRO_KEY_DOWN, uniform(0, 599), uniform(0, 599));
                added = std::min<std::size_t>(2, room);
                break;
            case 4:
                added = loads.Press(objects.size(), cap);
                HandleKeyDown(ALLEGRO_KEY_SPACE, 0, 0);
                break;
            case 5:
                cap = objects.size() + uniform(0, 400);
                CapTheWorld(cap);
                break;
            default:
                break;
            }
            Expect(before, {}, added, kind, cap);

            for (int tick = uniform(0, 3); tick > 0 && !HasFatalFailure(); --tick) {
                before = objects;
                std::unordered_set<GameObject*> falling;
                for (GameObject* o : objects)
                    if (o->GetID() == SNOW && o->GetY() + o->GetVelY() * o->GetDirY() > Snow::BOTTOM)
                        falling.insert(o);
                Tick();
                added = loads.Advance(objects.size(), cap);
                NextLoadSlice();
                slicesAfterPress += added > 0;
                fellOut += static_cast<int>(falling.size());
                Expect(before, falling, added, BLOCK, cap);
            }
        }
        ClearWorld();
    }
    // The sequences must have shown what they are for.
    EXPECT_GT(fellOut, 100);
    EXPECT_GT(refused, 10) << "bursts cut short by the cap";
    EXPECT_GT(slicesAfterPress, 2) << "levels loading over the ticks after the press";
}

}  // namespace
