#include <allegro5/keycodes.h>

#include <functional>
#include <string>

#include "app/capacity.h"
#include "app/commands.h"
#include "app/level_load.h"
#include "fault_support.h"
#include "level_support.h"
#include "objects/Snow.h"
#include "resources/ImageCache.h"
#include "test_support.h"
#include "world_cap.h"

namespace {

// The commands that add objects: S, Down, and Space with a level of three records.
struct Command {
    const char* name;
    std::function<void()> run;
    std::size_t objectSize;
    std::size_t adds;  // when nothing stops it
};
const Command S{"S", SnowBurst, sizeof(Snow), SNOW_BURST_SIZE};
const Command Down{"Down", [] { PlaceBlocks(10, 20); }, sizeof(Cube), 2};
const Command Space{"Space", LoadLevel, sizeof(Cube), 3};

class WorldLimitsTest : public WorldTest {
protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        folder.Write("LoadLevel.txt", "1,30,40\n2,50,60\n3,70,80\n");
    }
    void TearDown() override
    {
        SetWorldCap(MAX_WORLD_OBJECTS);
        CancelLevelLoads();
        WorldTest::TearDown();
    }

    struct Case {
        const Command& command;
        std::size_t limit;  // the cap, or how many allocations of the object's size succeed
        std::size_t added;
        std::string said;
    };

    TempWorkingDir folder;
};

TEST_F(WorldLimitsTest, AtTheCapACommandAddsWhatFitsAndSaysSoOnce)
{
    const Case cases[] = {
        {S, 100, 25, ""},
        {S, 10, 9, "platformer: the world is full (10 objects): S added 9 of its 25 snowflakes\n"},
        {S, 1, 0, "platformer: the world is full (1 objects): S added 0 of its 25 snowflakes\n"},
        {Down, 2, 1, "platformer: the world is full (2 objects): Down added 1 of its 2 blocks\n"},
        {Space, 3, 2,
         "platformer: the level file \"LoadLevel.txt\" stops at line 3: the world is full (3 objects); 2 blocks added\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.command.name << ", cap " << c.limit);
        StartWorld();
        SetWorldCap(c.limit);
        StandardErrorCapture err;
        c.command.run();
        EXPECT_EQ(objects.size(), 1 + c.added);
        EXPECT_EQ(err.Text(), c.said);
    }
}

TEST_F(WorldLimitsTest, AnAllocationThatFailsStopsOnlyItsCommand)
{
    const Case cases[] = {
        {S, 3, 3, "platformer: memory ran out: S added 3 of its 25 snowflakes\n"},
        {Down, 1, 1, "platformer: memory ran out: Down added 1 of its 2 blocks\n"},
        {Space, 2, 2, "platformer: the level file \"LoadLevel.txt\" stops at line 3: memory ran out; 2 blocks added\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command.name);
        StartWorld();
        StandardErrorCapture err;
        {
            AllocationFailure failure(c.command.objectSize, static_cast<int>(c.limit));
            c.command.run();
        }
        EXPECT_EQ(objects.size(), 1 + c.added);
        EXPECT_EQ(err.Text(), c.said);
        // The game goes on: the next press adds in full.
        c.command.run();
        EXPECT_EQ(objects.size(), 1 + c.added + c.command.adds);
    }
}

}  // namespace
