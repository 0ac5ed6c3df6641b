#pragma once

#include "app/rules.h"  // SNOW_BURST_SIZE, POINTER_OFFSET_X and POINTER_OFFSET_Y

// What R, S and Down do. Each appends to the world or re-initialises the figure; none
// removes anything. (Space loads the level: see level_load.h.)

void ResetPlayer();
void SnowBurst();
void PlaceBlocks(int mouseX, int mouseY);
