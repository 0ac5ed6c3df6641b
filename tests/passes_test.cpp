#include <allegro5/allegro_primitives.h>
#include <cmath>
#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/draw.h"
#include "app/output.h"
#include "test_support.h"

namespace {

// What the passes asked of the probes, in the order they asked it.
struct Journal {
    std::vector<std::string> calls;
    int destroyCalls = 0;
    int destructions = 0;
};

// A world object that only records what the passes do to it.
class Probe : public GameObject {
public:
    Probe(std::string name, int id, Journal& journal) : name_(std::move(name)), journal_(journal) { SetID(id); }
    ~Probe() override
    {
        ++journal_.destructions;
        journal_.calls.push_back("free " + name_);
    }

    void SetCollidable(bool value) { collidable = value; }

    // Run after the call is recorded, so a test can kill objects in the middle of a pass.
    std::function<void(Probe& self)> onCollided;
    std::function<void()> onRender;

    void Destroy() override
    {
        ++journal_.destroyCalls;
        journal_.calls.push_back("destroy " + name_);
    }
    void Update() override { journal_.calls.push_back("update " + name_); }
    void Render() override
    {
        journal_.calls.push_back("render " + name_);
        if (onRender)
            onRender();
    }
    void Collided(int kind, GameObject* other) override
    {
        const auto* probe = dynamic_cast<const Probe*>(other);
        const std::string otherName = probe != nullptr ? probe->name_ : other == player ? "player" : "?";
        journal_.calls.push_back(name_ + "<-" + otherName + ":" + std::to_string(kind));
        if (onCollided)
            onCollided(*this);
    }

private:
    std::string name_;
    Journal& journal_;
};

class PassesTest : public ::testing::Test {
protected:
    void SetUp() override { ClearWorld(); }
    void TearDown() override { ClearWorld(); }

    // Four probes A to D whose kinds (10 to 13) differ from one another and from every real kind.
    std::vector<Probe*> AddProbes()
    {
        std::vector<Probe*> probes;
        for (int i = 0; i < 4; ++i) {
            probes.push_back(new Probe(std::string(1, char('A' + i)), 10 + i, journal));
            objects.push_back(probes.back());
        }
        return probes;
    }

    Journal journal;
};

using Calls = std::vector<std::string>;

struct CollisionCase {
    const char* what;
    std::function<void(std::vector<Probe*>&)> arrange;
    Calls expected;
};

TEST_F(PassesTest, CollisionPassTellsEachLivePairOnceEarlierFirst)
{
    const Calls everyPair = {"A<-B:11", "B<-A:10", "A<-C:12", "C<-A:10", "A<-D:13", "D<-A:10",
                             "B<-C:12", "C<-B:11", "B<-D:13", "D<-B:11", "C<-D:13", "D<-C:12"};
    const std::vector<CollisionCase> cases = {
        {"all live and collidable", [](std::vector<Probe*>&) {}, everyPair},
        {"dead and non-collidable objects sit out",
         [](std::vector<Probe*>& p) {
             p[1]->SetAlive(false);
             p[2]->SetCollidable(false);
         },
         {"A<-D:13", "D<-A:10"}},
        {"one live object hears nothing",
         [](std::vector<Probe*>& p) {
             for (int i = 1; i < 4; ++i)
                 p[i]->SetAlive(false);
         },
         {}},
        // a is asked once, before its row: dying on its first call it still meets C and D.
        {"a dying in its own row meets the rest of it",
         [](std::vector<Probe*>& p) { p[0]->onCollided = [](Probe& self) { self.SetAlive(false); }; },
         everyPair},
        // b is asked when it is reached: C, killed while A hears of B, is left out from then on.
        {"an object killed earlier in the pass is skipped later",
         [](std::vector<Probe*>& p) {
             Probe* c = p[2];
             p[0]->onCollided = [c](Probe&) { c->SetAlive(false); };
         },
         {"A<-B:11", "B<-A:10", "A<-D:13", "D<-A:10", "B<-D:13", "D<-B:11"}},
        {"b dying as a partner loses its own row",
         [](std::vector<Probe*>& p) { p[1]->onCollided = [](Probe& self) { self.SetAlive(false); }; },
         {"A<-B:11", "B<-A:10", "A<-C:12", "C<-A:10", "A<-D:13", "D<-A:10", "C<-D:13", "D<-C:12"}},
    };
    for (const CollisionCase& c : cases) {
        SCOPED_TRACE(c.what);
        ClearWorld();
        journal.calls.clear();
        std::vector<Probe*> probes = AddProbes();
        c.arrange(probes);
        CollisionPass();
        EXPECT_EQ(journal.calls, c.expected);
        EXPECT_EQ(objects.size(), 4u) << "the collision pass adds and removes nothing";
    }
}

// Another object hears of the figure once per pass, with the figure's kind.
TEST_F(PassesTest, CollisionPassTellsOfTheFigureByItsKind)
{
    StartWorld();
    objects.push_back(new Probe("A", 10, journal));
    CollisionPass();
    CollisionPass();
    EXPECT_EQ(journal.calls, (Calls{"A<-player:0", "A<-player:0"}));
}

TEST_F(PassesTest, RemovalPassFreesTheDeadWithoutDestroyAndKeepsOrder)
{
    struct Case {
        std::vector<bool> alive;
        Calls survivors;
    };
    const std::vector<Case> cases = {
        {{true, true, true, true}, {"A", "B", "C", "D"}},
        {{true, false, true, false}, {"A", "C"}},
        {{false, false, true, true}, {"C", "D"}},  // two neighbours dying together
        {{false, true, true, false}, {"B", "C"}},
        {{false, false, false, false}, {}},
    };
    for (const Case& c : cases) {
        ClearWorld();
        journal = Journal{};
        std::vector<Probe*> probes = AddProbes();
        Calls freed;
        for (std::size_t i = 0; i < probes.size(); ++i) {
            probes[i]->SetAlive(c.alive[i]);
            if (!c.alive[i])
                freed.push_back("free " + std::string(1, char('A' + i)));
        }
        RemovalPass();
        Calls left;
        for (GameObject* object : objects)
            left.push_back(std::string(1, char('A' + object->GetID() - 10)));
        EXPECT_EQ(left, c.survivors);
        EXPECT_EQ(journal.calls, freed);
        EXPECT_EQ(journal.destroyCalls, 0) << "the dead are freed without Destroy";
    }
}

TEST_F(PassesTest, UpdateAndRenderWalkTheListInOrder)
{
    AddProbes();
    UpdatePass();
    RenderPass();
    EXPECT_EQ(journal.calls, (Calls{"update A", "update B", "update C", "update D", "render A", "render B",
                                    "render C", "render D"}));
}

TEST_F(PassesTest, DestroyPassTellsThenFreesEveryObjectAndEmptyingUntoldOnlyFrees)
{
    const struct {
        const char* what;
        std::function<void()> empty;
        Calls calls;
    } cases[] = {
        {"shutdown", DestroyPass,
         {"destroy A", "free A", "destroy B", "free B", "destroy C", "free C", "destroy D", "free D"}},
        {"untold", [] { EmptyWorld(false); }, {"free A", "free B", "free C", "free D"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        journal = Journal{};
        StartWorld();
        AddProbes();
        objects[2]->SetAlive(false);  // the dead are emptied out too: nothing asks
        c.empty();
        EXPECT_EQ(journal.calls, c.calls);
        EXPECT_TRUE(objects.empty());
        EXPECT_EQ(player, nullptr);
    }
}

TEST_F(PassesTest, MovementIntentFollowsTheHeldKeys)
{
    struct Case {
        const char* what;
        bool left, right, up;
        int dirX, curFrame, dirY;
    };
    // Posed beforehand with frame 5 and dirX 1, in the air; dirY is 0 from the start.
    const Case cases[] = {
        {"nothing held stops and resets", false, false, false, 0, 0, 1},
        {"left", true, false, false, -1, 5, 1},
        {"right", false, true, false, 1, 5, 1},
        {"left wins over right", true, true, false, -1, 5, 1},
        {"up held keeps dirY", false, false, true, 0, 0, 0},
        {"right and up", false, true, true, 1, 5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto* figure = StartWorldWith<PlayerProbe>();
        figure->Place(figure->GetX(), figure->GetY(), figure->GetVelY(), 1);
        figure->SetFrame(5, figure->GetAnimationRow());
        keys[LEFT] = c.left;
        keys[RIGHT] = c.right;
        keys[UP] = c.up;
        ApplyMovementIntent();
        EXPECT_EQ(figure->GetDirX(), c.dirX);
        EXPECT_EQ(figure->GetCurFrame(), c.curFrame);
        EXPECT_EQ(figure->GetDirY(), c.dirY);
        EXPECT_EQ(figure->GetJumpState(), 1);
    }
}

// The steps tests and benchmarks run are the game's tick exactly, less the transform put in force.
TEST_F(PassesTest, StepWorldIsRunTickLeavingTheDrawingTransformAlone)
{
    struct Run {
        float x, y, cameraX, cameraY, shiftX, shiftY, inForceX;
    };
    auto run = [](void (*tick)(float*, ALLEGRO_TRANSFORM&)) {
        Canvas canvas(WINDOW_SIZE, WINDOW_SIZE);
        StartWorld();
        keys[RIGHT] = true;
        float cameraPosition[2] = {0, 0};
        ALLEGRO_TRANSFORM camera;
        for (int t = 0; t < 150; ++t) {
            keys[UP] = t % 40 < 10;
            tick(cameraPosition, camera);
            RemovalPass();
        }
        return Run{player->GetX(), player->GetY(), cameraPosition[0], cameraPosition[1],
                   camera.m[3][0], camera.m[3][1], al_get_current_transform()->m[3][0]};
    };
    const Run game = run(RunTick);
    const Run steps = run([](float* cameraPosition, ALLEGRO_TRANSFORM& camera) { StepWorld(cameraPosition, camera); });
    ASSERT_NE(game.shiftX, 0.0f);  // the view has scrolled
    EXPECT_EQ(std::make_tuple(steps.x, steps.y, steps.cameraX, steps.cameraY, steps.shiftX, steps.shiftY),
              std::make_tuple(game.x, game.y, game.cameraX, game.cameraY, game.shiftX, game.shiftY));
    EXPECT_EQ(game.inForceX, game.shiftX);
    EXPECT_EQ(steps.inForceX, 0.0f) << "the canvas's own transform stays in force";
}

TEST(FrameRateTest, PrintsOneLineLikePercentGOfTheNarrowedRate)
{
    struct Case {
        double lastTime, now;
        const char* printed;
    };
    const Case cases[] = {
        {1.0, 1.0 + 1.0 / 60, "60\n"},
        {0.0, 0.0333, "30.03\n"},
        {5.0, 5.5, "2\n"},
        {0.0, 0.007, "142.857\n"},
        {2.0, 5.0, "0.333333\n"},
        {0.0, 1e-7, "1e+07\n"},
        // The rate is narrowed to float before printing: in double this one prints "1".
        {0.0, 1.0 / 1.0000049999, "1.00001\n"},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        double lastTime = c.lastTime;
        PrintFrameRate(lastTime, c.now, out);
        EXPECT_EQ(out.str(), c.printed) << "interval " << c.now - c.lastTime;
        EXPECT_EQ(lastTime, c.now);
    }
}

const Canvas::Rgba kBlack{0, 0, 0, 255};
const Canvas::Rgba kSky{SKY_RED, SKY_GREEN, SKY_BLUE, 255};

// Black on every 15th row from firstRow, sky everywhere else, on a few columns.
void ExpectRuledRows(const Canvas& canvas, int firstRow)
{
    for (int x : {0, 1, 299, 599}) {
        for (int y = 0; y < WINDOW_SIZE; ++y) {
            const bool ruled = (y - firstRow + RULED_LINE_SPACING) % RULED_LINE_SPACING == 0;
            ASSERT_EQ(canvas.At(x, y), ruled ? kBlack : kSky) << "x " << x << ", y " << y;
        }
    }
}

void UseView(float dx, float dy)
{
    ALLEGRO_TRANSFORM view;
    al_identity_transform(&view);
    al_translate_transform(&view, dx, dy);
    al_use_transform(&view);
    al_clear_to_color(al_map_rgb(kSky.r, kSky.g, kSky.b));
}

TEST(DrawTest, RuledLinesEveryFifteenPixelsMoveWithTheView)
{
    // Each line on the row of its own y, one row thick: not on the border between two rows,
    // where each renderer picks a row of its own (Direct3D the upper, OpenGL the lower).
    Canvas canvas(WINDOW_SIZE, WINDOW_SIZE);
    DrawRuledLines();
    ExpectRuledRows(canvas, 0);

    UseView(-61, -7);
    DrawRuledLines();
    ExpectRuledRows(canvas, 8);

    // Far right and down: the lines end at world x 1000 and the last one is at world y 990.
    UseView(-450, -500);
    DrawRuledLines();
    EXPECT_EQ(canvas.At(549, 490), kBlack);
    EXPECT_EQ(canvas.At(551, 490), kSky);
    EXPECT_EQ(canvas.At(100, 505), kSky);
}

TEST_F(PassesTest, DrawWorldDrawsTheObjectsOverTheLines)
{
    Canvas canvas(WINDOW_SIZE, WINDOW_SIZE);
    AddProbes();
    static_cast<Probe*>(objects[0])->onRender = [] {
        al_draw_filled_rectangle(0, 0, 20, 20, al_map_rgb(255, 0, 0));
    };
    DrawWorld();
    EXPECT_EQ(journal.calls, (Calls{"render A", "render B", "render C", "render D"}));
    EXPECT_EQ(canvas.At(10, 15), (Canvas::Rgba{255, 0, 0, 255})) << "the object, not the line under it";
    EXPECT_EQ(canvas.At(30, 15), kBlack);
    EXPECT_EQ(canvas.At(30, 16), kSky);
}

}  // namespace
