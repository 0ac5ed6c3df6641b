#include "test_support.h"

TEST_F(WorldTest, FigureFallsToTheFloorLine)
{
    for (int tick = 0; tick < 200; ++tick)
        Tick();
    EXPECT_FLOAT_EQ(player->GetY(), 581.0f);
    EXPECT_TRUE(player->IsOnGround());
}
