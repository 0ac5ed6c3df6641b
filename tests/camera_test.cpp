#include <tuple>

#include "app/camera.h"
#include "app/draw.h"
#include "test_support.h"

namespace {

TEST(CameraTest, CentresTheFollowedPointButNeverShowsBelowZero)
{
    const struct {
        float x, y;
        int width, height;
        float wantX, wantY;
    } cases[] = {
        {352, 18, 19, 16, 61, 0},                // the start: held at the top
        {290, 500, 19, 16, 0, 208},              // left of 291: held at the left
        {290.5f, 291.5f, 19, 16, 0, 0},          // just negative on both
        {291, 292, 19, 16, 0, 0},                // exactly 0 on both
        {291.5f, 292.25f, 19, 16, 0.5f, 0.25f},  // just positive: kept
        {5000, 4000, 19, 16, 4709, 3708},        // no bound right or down
        {300, 300, 20, 17, 10, 8},               // halves are whole: 17 / 2 is 8
    };
    for (const auto& c : cases) {
        float camera[2] = {123.0f, -45.0f};
        UpdateCamera(camera, c.x, c.y, c.width, c.height);
        EXPECT_EQ(camera[0], c.wantX) << "at " << c.x << "," << c.y;
        EXPECT_EQ(camera[1], c.wantY) << "at " << c.x << "," << c.y;
    }
}

class FollowTest : public WorldTest {
protected:
    void SetUp() override
    {
        placed = StartWorldWith<PlayerProbe>();
    }
    PlayerProbe* placed = nullptr;
};

TEST_F(FollowTest, ViewShiftIsTheNextWholePixelBeyondTheCamera)
{
    const struct {
        float x, y, cameraX, cameraY, shiftX, shiftY;
    } cases[] = {
        {301.25f, 302.25f, 10.25f, 10.25f, -11, -11},
        {352.5f, 18, 61.5f, 0, -62, 0},
        {352, 18, 61, 0, -61, 0},
        {100, 100, 0, 0, 0, 0},
        {1000, 900, 709, 608, -709, -608},  // whole, past both edges: drawn at (291, 292)
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "at " << c.x << "," << c.y);
        placed->Place(c.x, c.y);
        float camera[2] = {0, 0};
        ALLEGRO_TRANSFORM view;
        AimCamera(camera, view);
        EXPECT_EQ(camera[0], c.cameraX);  // kept unrounded
        EXPECT_EQ(camera[1], c.cameraY);
        EXPECT_EQ(std::make_tuple(view.m[3][0], view.m[3][1], view.m[0][0], view.m[1][1]),
                  std::make_tuple(c.shiftX, c.shiftY, 1.0f, 1.0f));
    }
}

// The figure as the window shows it: the frame's top-left corner lands on (wantX, wantY).
void ExpectFigureDrawnAt(const Canvas& canvas, int wantX, int wantY)
{
    const Canvas::Rgba frame = FrameSheet::Colour(player->GetCurFrame(), player->GetAnimationRow());
    const Canvas::Rgba sky = canvas.At(0, 599);
    EXPECT_EQ(canvas.At(wantX, wantY), frame);
    EXPECT_EQ(canvas.At(wantX + 15, wantY + 18), frame);
    EXPECT_EQ(canvas.At(wantX - 1, wantY), sky);
    EXPECT_EQ(canvas.At(wantX, wantY - 1), sky);
    EXPECT_EQ(canvas.At(wantX + 16, wantY + 18), sky);
    EXPECT_EQ(canvas.At(wantX + 15, wantY + 19), sky);
}

TEST_F(FollowTest, FigureIsDrawnWhereTheViewPutsIt)
{
    FrameSheet sheet(9, 4, Player::WIDTH, Player::HEIGHT);
    placed->Init(sheet.bitmap());
    Canvas canvas(600, 600);
    float camera[2] = {0, 0};
    ALLEGRO_TRANSFORM view;

    AimCamera(camera, view);  // at the start the view is held at the top
    al_use_transform(&view);
    RenderPass();
    ExpectFigureDrawnAt(canvas, 291, 18);

    // Fallen onto the floor line and walked right: whole positions, the view free.
    keys[RIGHT] = true;
    for (int t = 0; t < 150; ++t) {
        RunTick(camera, view);
        RemovalPass();
    }
    ASSERT_EQ(player->GetY(), 581.0f);
    ASSERT_EQ(player->GetX(), 802.0f);
    al_clear_to_color(al_map_rgb(SKY_RED, SKY_GREEN, SKY_BLUE));
    RenderPass();
    ExpectFigureDrawnAt(canvas, 291, 292);
}

}  // namespace
