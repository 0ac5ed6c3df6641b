#include <allegro5/keycodes.h>

#include <deque>
#include <string>
#include <vector>

#include "app/input.h"
#include "app/level_load.h"
#include "app/loop.h"
#include "level_support.h"
#include "objects/Cube.h"
#include "test_support.h"

namespace {

// The loop fed made-up events, with a clock that starts at 10 s and a timer that is never
// started: each test says what the timer's count is when an event is handled.
class GameLoopTest : public WorldTest {
protected:
    TempWorkingDir folder;  // Space reads the level from here
    ALLEGRO_TIMER* gameTimer = al_create_timer(TICK_SECONDS);
    ALLEGRO_TIMER* otherTimer = al_create_timer(1.0);
    GameLoop loop{gameTimer, 10.0};

    ~GameLoopTest() override
    {
        CancelLevelLoads();
        al_destroy_timer(gameTimer);
        al_destroy_timer(otherTimer);
    }

    void Feed(const ALLEGRO_EVENT& ev, int mouseX = 0, int mouseY = 0) { loop.Handle(ev, mouseX, mouseY, 0); }

    // A timer event queued at count queuedAt, handled when the timer has reached count now.
    void HandleTimer(ALLEGRO_TIMER* source, std::int64_t queuedAt, std::int64_t now)
    {
        loop.Handle(TimerEvent(source, queuedAt), 0, 0, now);
    }
    void Tick() { HandleTimer(gameTimer, 0, 0); }

    // Space on a level of many slices; returns the world's size after its first slice.
    std::size_t StartLoadingALargeLevel()
    {
        std::string level;
        for (int i = 0; i < 5 * RECORDS_PER_SLICE; ++i)
            level += "1,30," + std::to_string(i) + "\n";
        folder.Write("LoadLevel.txt", level);
        Feed(KeyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_SPACE));
        return objects.size();
    }
};

// An Escape pressed in another window, or to close a menu, may be released over the game.
TEST_F(GameLoopTest, CloseAndAnEscapePressTheGameGotEndTheGameNothingElseDoes)
{
    const ALLEGRO_EVENT escapeDown = KeyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_ESCAPE);
    const ALLEGRO_EVENT escapeChar = KeyEvent(ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_KEY_ESCAPE);
    const ALLEGRO_EVENT escapeUp = KeyEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_ESCAPE);
    const struct {
        const char* name;
        std::vector<ALLEGRO_EVENT> events;
        bool ends;
    } cases[] = {
        {"close", {EventOf(ALLEGRO_EVENT_DISPLAY_CLOSE)}, true},
        {"Escape down", {escapeDown}, true},
        {"Escape char alone", {escapeChar}, false},
        {"Escape up alone", {escapeUp}, false},
        {"Escape up and char after the focus came back", {EventOf(ALLEGRO_EVENT_DISPLAY_SWITCH_IN), escapeChar, escapeUp},
         false},
        {"Q down", {KeyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_Q)}, false},
        {"focus lost", {EventOf(ALLEGRO_EVENT_DISPLAY_SWITCH_OUT)}, false},
        {"mouse", {EventOf(ALLEGRO_EVENT_MOUSE_AXES)}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GameLoop fresh(gameTimer, 0);
        for (const ALLEGRO_EVENT& ev : c.events)
            fresh.Handle(ev, 0, 0, 0);
        EXPECT_EQ(fresh.Done(), c.ends);
    }
}

TEST_F(GameLoopTest, ATickUpToFifteenBehindRunsOneMoreBehindIsDropped)
{
    const struct {
        std::int64_t behind;
        bool runs;
    } cases[] = {{0, true}, {1, true}, {MAX_TICKS_BEHIND, true}, {MAX_TICKS_BEHIND + 1, false}, {1000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.behind);
        StartWorld();
        GameLoop fresh(gameTimer, 0);
        const float y = player->GetY();
        fresh.Handle(TimerEvent(gameTimer, 500), 0, 0, 500 + c.behind);
        EXPECT_EQ(player->GetY() != y, c.runs) << "the figure falls only in a tick that runs";
        EXPECT_EQ(fresh.FrameDue(true), c.runs);
    }
}

TEST_F(GameLoopTest, AFrameWaitsForAnEmptyQueueUnlessTicksWereDropped)
{
    EXPECT_FALSE(loop.FrameDue(true)) << "nothing to show before the first tick";
    Tick();
    EXPECT_FALSE(loop.FrameDue(false));
    EXPECT_TRUE(loop.FrameDue(true));

    HandleTimer(gameTimer, 0, MAX_TICKS_BEHIND + 1);
    EXPECT_TRUE(loop.FrameDue(false)) << "after a dropped tick the queue is not waited for";
    loop.StartFrame(11.0);
    EXPECT_FALSE(loop.FrameDue(true));
    EXPECT_FALSE(loop.FrameDue(false));

    HandleTimer(gameTimer, 0, MAX_TICKS_BEHIND + 1);
    EXPECT_FALSE(loop.FrameDue(true)) << "a dropped tick alone has nothing new to show";
    Tick();
    EXPECT_TRUE(loop.FrameDue(false));
}

// Ticks that keep the queue from ever running dry still let a frame through now and then; and
// once the game has caught up after dropping ticks, frames wait for the queue again.
TEST_F(GameLoopTest, FramesComeWhileTheQueueNeverRunsDryAndWaitAgainOnceCaughtUp)
{
    for (int tick = 1; tick < MAX_TICKS_WITHOUT_FRAME; ++tick) {
        Tick();
        EXPECT_FALSE(loop.FrameDue(false)) << "tick " << tick;
    }
    Tick();
    EXPECT_TRUE(loop.FrameDue(false));
    loop.StartFrame(11.0);
    for (int tick = 0; tick < MAX_TICKS_WITHOUT_FRAME; ++tick)
        HandleTimer(gameTimer, tick, tick + 3);
    EXPECT_TRUE(loop.FrameDue(false)) << "as far behind as ever";
    loop.StartFrame(11.5);

    HandleTimer(gameTimer, 0, MAX_TICKS_BEHIND + 1);
    Tick();
    ASSERT_TRUE(loop.FrameDue(false));
    loop.StartFrame(12.0);
    Tick();
    EXPECT_FALSE(loop.FrameDue(false)) << "caught up: the frame waits for the queued ticks";
}

// A fake clock: ticks cost nothing, each frame costs its rows' ticks. Every tick runs,
// frames are dropped instead, up to a frame that costs as much as a tick may wait.
TEST_F(GameLoopTest, FramesCostingMoreThanFourTicksDropFramesNotTicks)
{
    constexpr std::int64_t DURATION = 600;
    for (const std::int64_t cost : {std::int64_t{2}, std::int64_t{5}, std::int64_t{9}, MAX_TICKS_BEHIND}) {
        SCOPED_TRACE(cost);
        GameLoop fresh(gameTimer, 0);
        std::deque<std::int64_t> queue;
        std::int64_t now = 0, queued = 0, ran = 0, frames = 0;
        const auto queueDueTicks = [&] {
            for (; queued <= now; ++queued)
                queue.push_back(queued);
        };
        while (now < DURATION) {
            queueDueTicks();
            if (queue.empty()) {
                ++now;  // waits for the next tick
                continue;
            }
            const std::int64_t at = queue.front();
            queue.pop_front();
            ran += !IsStaleTick(at, now);
            fresh.Handle(TimerEvent(gameTimer, at), 0, 0, now);
            if (fresh.FrameDue(queue.empty())) {
                fresh.StartFrame(0);
                ++frames;
                now += cost;
            }
        }
        EXPECT_GE(ran, DURATION - cost) << "ticks keep time";
        EXPECT_GE(frames, DURATION / (cost + 1) - 1) << "frames come as often as they fit";
    }
}

// A loading level takes a slice in a tick on time, none in a late one, which it would only put
// further behind; but a game late in every tick still loads: after MAX_LATE_TICKS_WITHOUT_SLICE
// late ticks without a slice, a late tick takes one, and the count starts again.
TEST_F(GameLoopTest, ALoadingLevelTakesASliceInATickOnTimeOrAfterTooManyLate)
{
    const std::string late(MAX_LATE_TICKS_WITHOUT_SLICE, 'l');
    const std::string none(MAX_LATE_TICKS_WITHOUT_SLICE, '-');
    const struct {
        const char* what;
        std::string ticks;   // o: on time, l: run after the next was due
        std::string slices;  // s: the tick took a slice
    } cases[] = {
        {"on time", "oo", "ss"},
        {"late", "l", "-"},
        {"too many late", late + "l", none + "s"},
        {"after the forced slice", late + "l" + late + "l", none + "s" + none + "s"},
        {"after a slice on time", "lllo" + late + "l", "---s" + none + "s"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StartWorld();
        CancelLevelLoads();
        std::size_t size = StartLoadingALargeLevel();
        std::string slices;
        std::int64_t count = 10;
        for (char tick : c.ticks) {
            HandleTimer(gameTimer, count, tick == 'o' ? count : count + 1);
            ++count;
            slices += objects.size() > size ? 's' : '-';
            size = objects.size();
        }
        EXPECT_EQ(slices, c.slices);
    }
}

TEST_F(GameLoopTest, EachFrameRateLineMeasuresFromThePreviousFrame)
{
    Tick();
    EXPECT_EQ(loop.StartFrame(10.0 + 1.0 / 60), "60\n") << "the first frame measures from the start";
    Tick();
    EXPECT_EQ(loop.StartFrame(10.0 + 1.0 / 60 + 0.5), "2\n");
}

TEST_F(GameLoopTest, EveryTimerEventRemovesTheDeadWhetherOrNotItTicks)
{
    const struct {
        ALLEGRO_TIMER* source;
        std::int64_t behind;
    } events[] = {{gameTimer, 0}, {gameTimer, MAX_TICKS_BEHIND + 1}, {otherTimer, 0}};
    for (const auto& e : events) {
        auto* dead = new Cube(0, 0, nullptr);
        dead->SetAlive(false);
        objects.push_back(dead);
        HandleTimer(e.source, 0, e.behind);
        EXPECT_EQ(objects.size(), 1u);
    }
}

TEST_F(GameLoopTest, KeysGetThePointerPolledForTheirEvent)
{
    Feed(KeyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_DOWN), 100, 20);
    Feed(KeyEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_DOWN));
    EXPECT_FALSE(keys[DOWN]);
    HandleKeyDown(ALLEGRO_KEY_DOWN, 100, 20);
    ASSERT_EQ(objects.size(), 5u);
    EXPECT_EQ(objects[1]->GetX(), objects[3]->GetX());
    EXPECT_EQ(objects[1]->GetY(), objects[3]->GetY());
}

// Keys released in another window never reach the game: losing the focus releases them all,
// and the next tick stops the figure and ends its rising jump.
TEST_F(GameLoopTest, LosingTheFocusReleasesEveryHeldKey)
{
    for (int i = 0; i < 400 && !player->IsOnGround(); ++i)
        Tick();
    ASSERT_TRUE(player->IsOnGround());
    for (int key : {ALLEGRO_KEY_UP, ALLEGRO_KEY_DOWN, ALLEGRO_KEY_LEFT, ALLEGRO_KEY_RIGHT, ALLEGRO_KEY_SPACE})
        Feed(KeyEvent(ALLEGRO_EVENT_KEY_DOWN, key));
    Tick();
    Tick();
    ASSERT_EQ(player->GetDirX(), -1);
    ASSERT_EQ(player->GetJumpState(), 0) << "rising";

    Feed(EventOf(ALLEGRO_EVENT_DISPLAY_SWITCH_OUT));
    for (bool key : keys)
        EXPECT_FALSE(key);
    const float x = player->GetX();
    Tick();
    EXPECT_EQ(player->GetX(), x) << "the figure stops";
    EXPECT_EQ(player->GetJumpState(), 1) << "the rise ends";
}

}  // namespace
