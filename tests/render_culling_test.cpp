// Leaving out what lies outside the view must not change a single pixel of the frame.

#include <allegro5/allegro_primitives.h>
#include <cmath>
#include <random>
#include <vector>

#include "app/draw.h"
#include "objects/Snow.h"
#include "test_support.h"

namespace {

struct PlacedSnow : Snow {
    PlacedSnow(float x, float y, float scatter) : Snow(x, y) { scatterX = scatter; }
};

// The frame the world gives under this view transform, and how many objects were drawn.
struct Frame {
    std::vector<Rgba> pixels;
    std::size_t drawn = 0;
};

template <class Pass>
Frame Draw(const ALLEGRO_TRANSFORM& view, Pass pass)
{
    Canvas canvas(WINDOW_SIZE, WINDOW_SIZE);
    al_use_transform(&view);
    Frame frame;
    frame.drawn = pass();
    frame.pixels = PixelsOf(canvas.bitmap());
    return frame;
}

// Every object drawn in one held batch, as the render pass draws, with nothing left out.
std::size_t DrawEveryObject()
{
    al_hold_bitmap_drawing(true);
    for (GameObject* object : objects)
        object->Render();
    al_hold_bitmap_drawing(false);
    return objects.size();
}

ALLEGRO_TRANSFORM CameraAt(float x, float y)
{
    ALLEGRO_TRANSFORM t;
    al_identity_transform(&t);
    al_translate_transform(&t, std::floor(-x), std::floor(-y));
    return t;
}

class RenderCullingTest : public WorldTest {
protected:
    FrameSheet blocks{4, 1, Cube::SIZE, Cube::SIZE};
    FrameSheet figureSheet{9, 4, Player::WIDTH, Player::HEIGHT};

    // Blocks and snow scattered over and around the view of a camera at (x, y), on the grid
    // and off it, many straddling its edges; snow whose dot shows while its box does not,
    // and the other way round.
    void Scatter(float x, float y, std::mt19937& gen)
    {
        std::uniform_real_distribution<float> near(-60.0f, WINDOW_SIZE + 60.0f);
        std::uniform_int_distribution<int> cell(-3, 27);
        constexpr int SIZE = Cube::SIZE;
        for (int i = 0; i < 150; ++i) {
            objects.push_back(new Cube(x + near(gen), y + near(gen), blocks.bitmap()));
            objects.push_back(new Cube(std::floor(x / SIZE) * SIZE + static_cast<float>(SIZE * cell(gen)),
                                       std::floor(y / SIZE) * SIZE + static_cast<float>(SIZE * cell(gen)),
                                       blocks.bitmap()));
            // The dot lands near the view: (sx / 2 + scatter, sy - 300).
            const float sx = x + near(gen) * 4.0f - 1200.0f;
            const float dotX = x + near(gen);
            objects.push_back(new PlacedSnow(sx, y + near(gen) + 300.0f, dotX - sx / 2.0f));
        }
        // Box far outside, dot inside; box inside, dot far outside.
        objects.push_back(new PlacedSnow(x + 3000.0f, y + 400.0f, -1200.0f));
        objects.push_back(new PlacedSnow(x + 300.0f, y + 200.0f, 900.0f));
        // Dots just over each edge.
        for (float edge : {-1.9f, -2.1f, 0.0f, WINDOW_SIZE + 1.9f, WINDOW_SIZE + 2.1f})
            objects.push_back(new PlacedSnow(0.0f, y + 300.0f + 300.0f, x + edge));
    }
};

TEST_F(RenderCullingTest, FramesAreTheSameWithAndWithoutTheViewTest)
{
    player->Init(figureSheet.bitmap());
    std::mt19937 gen(99);
    // Camera positions: the world's top-left corner (where the camera stops), far inside it,
    // off by fractions, and very far out.
    const struct {
        float x, y;
    } cameras[] = {{0, 0}, {0, 850}, {1200, 0}, {2377.5f, 1412.25f}, {-300, -300}, {250000, 98000}};
    for (const auto& c : cameras)
        Scatter(c.x, c.y, gen);
    for (const auto& c : cameras) {
        SCOPED_TRACE(testing::Message() << "camera at " << c.x << ", " << c.y);
        player->Init(nullptr);
        const ALLEGRO_TRANSFORM view = CameraAt(c.x, c.y);
        const Frame all = Draw(view, DrawEveryObject);
        const Frame culled = Draw(view, [] { return RenderPass(); });
        EXPECT_TRUE(all.pixels == culled.pixels);
        EXPECT_LT(culled.drawn, objects.size() / 2) << "most of the world lies outside this view";
        EXPECT_GT(culled.drawn, 100u);
    }
}

// When the view cannot be worked out from a plain move, nothing is left out.
TEST_F(RenderCullingTest, AnyOtherTransformDrawsEverything)
{
    std::mt19937 gen(7);
    Scatter(5000, 5000, gen);
    ALLEGRO_TRANSFORM zoomed = CameraAt(5000, 5000);
    al_scale_transform(&zoomed, 0.5f, 0.5f);
    const Frame all = Draw(zoomed, DrawEveryObject);
    const Frame culled = Draw(zoomed, [] { return RenderPass(); });
    EXPECT_TRUE(all.pixels == culled.pixels);
    EXPECT_EQ(culled.drawn, objects.size());
}

}  // namespace
