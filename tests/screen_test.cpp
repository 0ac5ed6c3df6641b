// The window at any size: where the picture goes, what it shows, and where Down puts blocks.

#include <allegro5/keycodes.h>

#include <random>
#include <string>
#include <vector>

#include "app/draw.h"
#include "app/input.h"
#include "app/loop.h"
#include "app/screen.h"
#include "objects/Snow.h"
#include "test_support.h"

namespace {

constexpr int SCREEN_WIDTH = 1920, SCREEN_HEIGHT = 1080;

// A window on a 1920x1080 screen that remembers what it was asked; fullscreen when it covers
// the screen. Its window manager answers when the test says.
struct FakeWindow : GameWindow {
    int width = WINDOW_SIZE;
    int height = WINDOW_SIZE;
    bool libraryAsks = true;  // false: the library cannot even ask
    bool answersAtOnce = false;  // the window has its new size when the ask returns
    bool hidden = false;
    int acknowledged = 0;
    std::vector<bool> asked;
    std::vector<std::pair<int, int>> resizedTo;
    std::vector<std::string> said;

    int Width() const override { return width; }
    int Height() const override { return height; }
    bool AskFullscreen(bool on) override
    {
        asked.push_back(on);
        if (answersAtOnce) {
            width = on ? SCREEN_WIDTH : WINDOW_SIZE;
            height = on ? SCREEN_HEIGHT : WINDOW_SIZE;
        }
        return libraryAsks;
    }
    bool Fullscreen() const override { return width == SCREEN_WIDTH && height == SCREEN_HEIGHT; }
    bool Hidden() const override { return hidden; }
    void AcknowledgeResize() override { ++acknowledged; }
    void Resize(int w, int h) override { resizedTo.emplace_back(w, h); }
    void Say(const char* line) override { said.emplace_back(line); }
};

class ScreenTest : public WorldTest {
protected:
    ALLEGRO_TIMER* gameTimer = al_create_timer(TICK_SECONDS);
    FakeWindow window;
    GameLoop loop{gameTimer, 0.0, &window};
    std::int64_t now = 0;  // the game timer's count, as of the latest tick

    ~ScreenTest() override { al_destroy_timer(gameTimer); }

    void Tick(std::int64_t timerCount)
    {
        now = timerCount;
        loop.Handle(TimerEvent(gameTimer, timerCount), 0, 0, now);
    }
    // The window manager gives the window this size.
    void Resized(int w, int h)
    {
        window.width = w;
        window.height = h;
        ALLEGRO_EVENT ev = EventOf(ALLEGRO_EVENT_DISPLAY_RESIZE);
        ev.display.width = w;
        ev.display.height = h;
        loop.Handle(ev, 0, 0, now);
    }
    void Press(const ALLEGRO_EVENT& ev, int mouseX = 0, int mouseY = 0) { loop.Handle(ev, mouseX, mouseY, now); }
    // Presses F11 this many times, then a frame comes.
    void PressF11(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            Press(KeyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_F11));
        Frame();
    }
    void Frame() { loop.StartFrame(0); }
};

TEST(PictureBox, TheWindowOpensAtTheLargestWholeMultipleInTwoThirdsOfTheMonitor)
{
    const struct {
        int width, height, side;
    } monitors[] = {{1024, 768, 600},  {800, 600, 600},    {1920, 1080, 600},  {2560, 1440, 600},
                    {3840, 2160, 1200}, {2160, 3840, 1200}, {5120, 2880, 1800}, {7680, 4320, 2400}};
    for (const auto& m : monitors)
        EXPECT_EQ(StartWindowSize(m.width, m.height), m.side) << m.width << "x" << m.height;
}

// For every size of window, a pointer over a game pixel places the blocks where a pointer
// over that pixel places them in the 600 by 600 window; over the black, at the nearest edge.
TEST_F(ScreenTest, DownPlacesBlocksUnderThePointerAtEverySize)
{
    const struct {
        int width, height;
    } windows[] = {{600, 600},  {1200, 1200}, {1800, 1300}, {1920, 1080}, {1080, 1920},
                   {3840, 2160}, {900, 700},   {601, 601},   {300, 300},   {150, 400}};
    const GamePixel targets[] = {{0, 0}, {599, 599}, {10, 20}, {300, 300}, {433, 17}, {0, 599}};
    for (const auto& w : windows) {
        const PictureBox box = FitPicture(w.width, w.height);
        for (const GamePixel& g : targets) {
            SCOPED_TRACE(testing::Message() << w.width << "x" << w.height << ", game pixel " << g.x << "," << g.y);
            // The window pixel showing the middle of the game pixel.
            const int px = box.left + (2 * g.x + 1) * box.size / (2 * WINDOW_SIZE);
            const int py = box.top + (2 * g.y + 1) * box.size / (2 * WINDOW_SIZE);
            window.width = w.width;
            window.height = w.height;
            StartWorld();
            HandleKeyDown(ALLEGRO_KEY_DOWN, g.x, g.y);  // the 600 by 600 window
            const float todayX = objects[1]->GetX(), todayY = objects[1]->GetY();
            // A shrunk window shows several game pixels in one of its own: any of them will do.
            const float slack = box.size < WINDOW_SIZE ? WINDOW_SIZE / box.size : 0;
            StartWorld();
            Press(KeyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_DOWN), px, py);
            ASSERT_EQ(objects.size(), 3u);
            EXPECT_NEAR(objects[1]->GetX(), todayX, slack);
            EXPECT_NEAR(objects[1]->GetY(), todayY, slack);
        }
    }
    // Over the black, beyond the window's edges, and on the picture's last pixels.
    const struct {
        int width, height, px, py;
        GamePixel game;
    } edges[] = {{1920, 1080, 100, 540, {0, 300}},    {1920, 1080, 1900, 1079, {599, 599}},
                 {1920, 1080, 419, 0, {0, 0}},        {1920, 1080, 420, 0, {0, 0}},
                 {1920, 1080, 1499, 0, {599, 0}},     {1920, 1080, 1500, 0, {599, 0}},
                 {1080, 1920, 540, 200, {300, 0}},    {1080, 1920, 540, 1600, {300, 599}},
                 {600, 600, -40, 700, {0, 599}},      {1200, 1200, 2, 3, {1, 1}}};
    for (const auto& e : edges) {
        SCOPED_TRACE(testing::Message() << e.width << "x" << e.height << ", pointer " << e.px << "," << e.py);
        EXPECT_EQ(PointerToGame(e.width, e.height, e.px, e.py), e.game);
    }
}

// Drawn into a picture of its own, the world is bit for bit the frame the window shows at
// 600 by 600, and what lies outside the view is still left out.
TEST_F(ScreenTest, ThePictureBeforeScalingIsTheWindowsOwnFrame)
{
    FrameSheet blocks{4, 1, Cube::SIZE, Cube::SIZE};
    FrameSheet figure{9, 4, Player::WIDTH, Player::HEIGHT};
    player->Init(figure.bitmap());
    player->GameObject::Init(2000, 700, 0, 0, 0, 0, Player::WIDTH, Player::HEIGHT);
    std::mt19937 gen(15);
    std::uniform_real_distribution<float> anywhere(-500.0f, 4000.0f);
    for (int i = 0; i < 600; ++i) {
        objects.push_back(new Cube(anywhere(gen), anywhere(gen), blocks.bitmap()));
        objects.push_back(new Snow(anywhere(gen), anywhere(gen)));
    }

    // A wide window: the tick sets the view on it, and the picture is drawn apart.
    Canvas wide(1500, 800, al_map_rgb(1, 2, 3));
    Tick(0);
    ALLEGRO_BITMAP* picture = al_create_bitmap(WINDOW_SIZE, WINDOW_SIZE);
    const std::size_t drawn = DrawPicture(picture, loop.Camera());
    EXPECT_EQ(al_get_target_bitmap(), wide.bitmap());

    // The plain frame of the same tick, drawn straight into a 600 by 600 window.
    Canvas today(WINDOW_SIZE, WINDOW_SIZE);
    al_use_transform(&loop.Camera());
    DrawWorld();
    EXPECT_TRUE(PixelsOf(picture) == PixelsOf(today.bitmap()));
    EXPECT_LT(drawn, objects.size() / 2) << "what is out of view is left out";
    EXPECT_GT(drawn, 10u);
    al_destroy_bitmap(picture);
}

// Enlarged, every window pixel shows the game pixel a pointer there maps to (at whole-number
// scales, equal squares); the rest of the window is black.
TEST(ShowPicture, EachWindowPixelShowsTheGamePixelThePointerMapsToWithBlackAround)
{
    ALLEGRO_BITMAP* picture = al_create_bitmap(WINDOW_SIZE, WINDOW_SIZE);
    ALLEGRO_LOCKED_REGION* region = al_lock_bitmap(picture, ALLEGRO_PIXEL_FORMAT_ABGR_8888, ALLEGRO_LOCK_WRITEONLY);
    std::mt19937 gen(6);
    for (int y = 0; y < WINDOW_SIZE; ++y) {
        auto* row = static_cast<unsigned char*>(region->data) + y * region->pitch;
        for (int i = 0; i < WINDOW_SIZE * 4; ++i)
            row[i] = i % 4 == 3 ? 255 : static_cast<unsigned char>(gen() % 255 + 1);
    }
    al_unlock_bitmap(picture);
    const std::vector<Rgba> game = PixelsOf(picture);

    const struct {
        int width, height;
    } windows[] = {{1300, 1200}, {1200, 1801}, {600, 600}, {1920, 1080}, {1000, 1403}};
    for (const auto& w : windows) {
        SCOPED_TRACE(testing::Message() << w.width << "x" << w.height);
        Canvas window(w.width, w.height, al_map_rgb(200, 0, 200));
        ShowPicture(picture, window.bitmap(), nullptr);
        const std::vector<Rgba> shown = PixelsOf(window.bitmap());
        const PictureBox box = FitPicture(w.width, w.height);
        const Rgba black{0, 0, 0, 255};
        int wrong = 0;
        for (int y = 0; y < w.height; ++y) {
            for (int x = 0; x < w.width; ++x) {
                const bool inside = x >= box.left && x < box.left + box.size && y >= box.top && y < box.top + box.size;
                const GamePixel g = PointerToGame(w.width, w.height, x, y);
                wrong += !(shown[y * w.width + x] == (inside ? game[g.y * WINDOW_SIZE + g.x] : black));
            }
        }
        EXPECT_EQ(wrong, 0);
    }
    al_destroy_bitmap(picture);
}

TEST_F(ScreenTest, F11AndAltEnterSwitchAndTheWindowComesBackAtItsSize)
{
    Resized(900, 700);
    PressF11();
    EXPECT_EQ(window.asked, std::vector<bool>{true});
    Resized(SCREEN_WIDTH, SCREEN_HEIGHT);

    // The window manager brings the window back at another size: the game asks for its own.
    Press(KeyEvent(ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_KEY_ENTER, ALLEGRO_KEYMOD_ALT));
    Frame();
    Resized(600, 600);
    EXPECT_EQ(window.resizedTo, (std::vector<std::pair<int, int>>{{900, 700}}));

    // Not a switch: a repeated Alt+Enter, Enter alone, F11's key-up and character.
    Press(KeyEvent(ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_KEY_ENTER, ALLEGRO_KEYMOD_ALT, true));
    Press(KeyEvent(ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_KEY_ENTER));
    Press(KeyEvent(ALLEGRO_EVENT_KEY_UP, ALLEGRO_KEY_F11));
    Press(KeyEvent(ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_KEY_F11));
    Press(KeyEvent(ALLEGRO_EVENT_KEY_CHAR, ALLEGRO_KEY_PAD_ENTER, ALLEGRO_KEYMOD_ALT));
    Frame();
    EXPECT_EQ(window.asked, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(window.acknowledged, 3);
    EXPECT_TRUE(window.said.empty());
}

// Presses queued together, or made while the window manager has not answered yet, make at
// most one switch at a time, to the state asked for last; Escape is never held back.
TEST_F(ScreenTest, ABurstOfF11IsOneSwitchToTheStateAskedForLast)
{
    window.answersAtOnce = true;
    PressF11(5);
    EXPECT_EQ(window.asked, std::vector<bool>{true});
    Tick(1);
    PressF11(2);
    EXPECT_EQ(window.asked, std::vector<bool>{true}) << "an even burst asks for nothing";
    window.answersAtOnce = false;
    PressF11(3);
    PressF11(3);  // one of these, after the answer to the first three
    Resized(900, 700);
    Frame();
    EXPECT_EQ(window.asked, (std::vector<bool>{true, false, true}));
    Press(KeyEvent(ALLEGRO_EVENT_KEY_DOWN, ALLEGRO_KEY_ESCAPE));
    EXPECT_TRUE(loop.Done()) << "while a switch waits for its answer";
}

// The window manager may change one side only, or answer after the player was told that it
// did not (stalled, or restarted): whatever the window then is, the next F11 asks for the other.
TEST_F(ScreenTest, AnyAnswerIsTakenAndTheNextF11AsksForTheOther)
{
    Resized(600, SCREEN_HEIGHT);
    PressF11();
    Resized(SCREEN_WIDTH, SCREEN_HEIGHT);
    PressF11();
    Tick(FULLSCREEN_ANSWER_TICKS + 1);
    EXPECT_EQ(window.said.size(), 1u);
    Resized(600, SCREEN_HEIGHT);
    PressF11();
    EXPECT_EQ(window.asked, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(window.said.size(), 1u);
}

// Without a window manager nothing answers: after a while the player is told, once, and the
// game goes on in its window. Moving the window is no answer.
TEST_F(ScreenTest, AnUnansweredOrRefusedSwitchIsToldOnceAndTheGameGoesOn)
{
    Tick(100);
    PressF11();
    Resized(600, 600);  // a move
    Tick(100 + FULLSCREEN_ANSWER_TICKS - 1);
    EXPECT_TRUE(window.said.empty());
    Tick(100 + FULLSCREEN_ANSWER_TICKS);
    Tick(500);
    ASSERT_EQ(window.said.size(), 1u);
    EXPECT_EQ(window.said[0].rfind("platformer: ", 0), 0u);
    EXPECT_TRUE(loop.FrameDue(true));
    EXPECT_FALSE(loop.Done());

    window.libraryAsks = false;
    PressF11();
    Tick(1000);
    EXPECT_EQ(window.said.size(), 2u);
    EXPECT_EQ(window.asked, (std::vector<bool>{true, true}));
}

// Nobody sees a hidden window: its frames are saved, the world goes on, and the first frame
// comes as soon as it is shown again.
TEST_F(ScreenTest, AHiddenWindowGetsNoFramesButTheWorldGoesOn)
{
    window.hidden = true;
    const float y = player->GetY();
    for (std::int64_t count = 0; count < 10; ++count) {
        Tick(count);
        EXPECT_FALSE(loop.FrameDue(true));
    }
    EXPECT_NE(player->GetY(), y) << "the figure falls";
    window.hidden = false;
    EXPECT_TRUE(loop.FrameDue(true));
}

}  // namespace
