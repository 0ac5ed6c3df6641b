#include <utility>
#include <vector>

#include "app/commands.h"
#include "resources/ImageCache.h"
#include "test_support.h"

namespace {

class CommandsTest : public WorldTest {
protected:
    void TearDown() override
    {
        WorldTest::TearDown();
        DestroyAllImages();
    }

    // Walks the figure right for a few ticks so it is away from its start.
    void WalkRight(int ticks)
    {
        keys[RIGHT] = true;
        for (int tick = 0; tick < ticks; ++tick)
            Tick();
        keys[RIGHT] = false;
    }
};

TEST_F(CommandsTest, SnowBurstAddsTwentyFiveFlakesAtTheFigure)
{
    WalkRight(10);
    const float x = player->GetX(), y = player->GetY();
    ASSERT_NE(x, Player::START_X);

    SnowBurst();
    ASSERT_EQ(objects.size(), 26u);
    EXPECT_EQ(objects[0], player);
    for (std::size_t i = 1; i < objects.size(); ++i) {
        EXPECT_EQ(objects[i]->GetID(), SNOW) << i;
        EXPECT_EQ(objects[i]->GetX(), x) << i;
        EXPECT_EQ(objects[i]->GetY(), y) << i;
        EXPECT_TRUE(objects[i]->CanCollide()) << i;
    }

    SnowBurst();
    EXPECT_EQ(objects.size(), 51u);
}

TEST_F(CommandsTest, PlaceBlocksPutsTwoCellsByThePointerWhereverTheViewIs)
{
    struct Case {
        const char* view;
        float playerX, playerY;
        int mouseX, mouseY;
        std::pair<float, float> first;
    };
    const Case cases[] = {
        {"following on both axes", 1000, 581, 300, 300, {1000, 581}},
        {"following, fractional", 291.5f, 600.25f, 7, 9, {-1.5f, 309.25f}},
        {"just following on both axes", 291, 292, 0, 0, {-9, -8}},
        {"held at the top, just after R", 352, 18, 10, 20, {62, 12}},
        {"held at the top, pointer at the corners", 352, 18, 0, 0, {52, -8}},
        {"held at the top, far corner", 352, 18, 599, 599, {651, 591}},
        {"held at the left, figure on the floor", 100, 581, 200, 150, {191, 431}},
        {"held at both edges", 10.5f, 0.25f, 3, 4, {-6, -4}},
        {"held just short of following", 290.5f, 291.5f, 0, 0, {-9, -8}},
        {"held, figure at the world's corner", 0, 0, 50, 60, {41, 52}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.view << ": figure " << c.playerX << "," << c.playerY);
        ClearWorld();
        player = new Player();
        player->Init(nullptr);
        player->GameObject::Init(c.playerX, c.playerY, 0, 0, 0, 0, Player::WIDTH, Player::HEIGHT);
        objects.push_back(player);

        PlaceBlocks(c.mouseX, c.mouseY);
        ASSERT_EQ(objects.size(), 3u);
        EXPECT_EQ(objects[0], player);
        for (int i : {1, 2})
            EXPECT_EQ(objects[i]->GetID(), BLOCK);
        EXPECT_EQ(std::make_pair(objects[1]->GetX(), objects[1]->GetY()), c.first);
        EXPECT_EQ(std::make_pair(objects[2]->GetX(), objects[2]->GetY()),
                  std::make_pair(c.first.first + Cube::SIZE, c.first.second));
    }
}

TEST_F(CommandsTest, CommandsHandOutThePicturesOfTheCache)
{
    TempWorkingDir folder;
    ASSERT_TRUE(WriteSolidPng(BLOCKS_PICTURE, BLOCKS_MIN_WIDTH, BLOCKS_MIN_HEIGHT, al_map_rgb(90, 60, 30)));
    ASSERT_TRUE(WriteSolidPng(FIGURE_PICTURE, FIGURE_MIN_WIDTH, FIGURE_MIN_HEIGHT, al_map_rgb(30, 60, 90)));
    ASSERT_TRUE(LoadImage(BLOCKS_PICTURE));
    ASSERT_TRUE(LoadImage(FIGURE_PICTURE));

    PlaceBlocks(10, 20);
    EXPECT_EQ(objects[1]->GetPicture(), GetImage(BLOCKS_PICTURE));
    EXPECT_EQ(objects[2]->GetPicture(), GetImage(BLOCKS_PICTURE));
    ResetPlayer();
    EXPECT_EQ(player->GetPicture(), GetImage(FIGURE_PICTURE));
}

TEST_F(CommandsTest, ResetPutsTheFigureBackAndKeepsEverythingElse)
{
    // Away from the start: walked right, landed, jumped, with snow and blocks about.
    WalkRight(200);
    ASSERT_TRUE(player->IsOnGround());
    keys[UP] = true;
    for (int tick = 0; tick < 5; ++tick) {
        ApplyMovementIntent();
        UpdatePass();
    }
    ASSERT_EQ(player->GetJumpState(), 0);
    SnowBurst();
    PlaceBlocks(10, 20);
    const std::vector<GameObject*> before = objects;

    ResetPlayer();
    EXPECT_EQ(objects, before);
    EXPECT_EQ(StateOf(*player), FigureAtStart(nullptr));
    EXPECT_TRUE(keys[UP]) << "held keys are left alone";
}

}  // namespace
