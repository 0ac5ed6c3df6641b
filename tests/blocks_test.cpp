#include <map>
#include <memory>

#include "objects/Snow.h"
#include "test_support.h"

namespace {

TEST(CubeTest, ConstructionPicksOneOfFourLooksEvenly)
{
    FrameSheet sheet(4, 1, Cube::SIZE, Cube::SIZE);
    std::map<int, int> looks;
    for (int i = 0; i < 400; ++i) {
        const Cube c(12.5f, -7.25f, sheet.bitmap());
        ++looks[c.GetFrameCount()];
        // Everything but the look is fixed.
        ObjectState built;
        built.x = 12.5f, built.y = -7.25f, built.boundX = built.boundY = built.frameWidth = built.frameHeight = 24;
        built.id = BLOCK, built.maxFrame = 3, built.frameCount = c.GetFrameCount(), built.picture = sheet.bitmap();
        ASSERT_EQ(StateOf(c), built);
    }
    ASSERT_EQ(looks.size(), 4u);
    for (int look : {0, 24, 48, 72})
        EXPECT_GE(looks[look], 50) << "look at source x " << look;
}

TEST(CubeTest, UpdateAndCollidedLeaveTheBlockAsBuilt)
{
    Cube block(10.75f, 20.25f, nullptr);
    const ObjectState built = StateOf(block);
    for (int i = 0; i < 1000; ++i)
        block.Update();
    EXPECT_EQ(StateOf(block), built) << "changed by Update";

    Player figure;
    figure.Init(nullptr);
    Cube other(10.75f, 20.25f, nullptr);
    Snow flake(10.75f, 20.25f);
    const std::pair<int, GameObject*> contacts[] = {
        {PLAYER, &figure}, {BLOCK, &other}, {SNOW, &flake}, {3, nullptr}, {BLOCK, &block}};
    for (const auto& contact : contacts) {
        block.Collided(contact.first, contact.second);
        EXPECT_EQ(StateOf(block), built) << "changed by Collided with kind " << contact.first;
    }
}

// Makes blocks until one shows the wanted look.
std::unique_ptr<Cube> BlockWithLook(int look, float x, float y, ALLEGRO_BITMAP* sheet)
{
    for (int i = 0; i < 1000; ++i) {
        auto block = std::make_unique<Cube>(x, y, sheet);
        if (block->GetFrameCount() == look * Cube::SIZE)
            return block;
    }
    return nullptr;
}

// From 20.75 the square covers the pixels whose centres lie past it, 21 to 44: a position cut
// to a whole number first would start at 20. Each block freed leaves the shared sheet usable
// for the next.
TEST(CubeTest, RenderDrawsTheChosenLookAsOneSquareAtTheUnroundedPosition)
{
    FrameSheet sheet(4, 1, Cube::SIZE, Cube::SIZE);
    for (int look = 0; look < 4; ++look) {
        SCOPED_TRACE(testing::Message() << "look " << look);
        auto block = BlockWithLook(look, 20.75f, 10.75f, sheet.bitmap());
        ASSERT_NE(block, nullptr);
        Canvas canvas(64, 64);
        const Canvas::Rgba sky = canvas.At(0, 0);
        block->Render();
        for (int py = 11; py < 35; ++py)
            for (int px = 21; px < 45; ++px)
                ASSERT_EQ(canvas.At(px, py), FrameSheet::Colour(look, 0)) << px << "," << py;
        const int outside[][2] = {{20, 11}, {45, 11}, {21, 10}, {44, 35}};
        for (const auto& at : outside)
            EXPECT_EQ(canvas.At(at[0], at[1]), sky) << at[0] << "," << at[1];
    }
}

}  // namespace
