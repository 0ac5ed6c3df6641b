#pragma once

// What R, S and Down do. Each appends to the world or re-initialises the figure; none
// removes anything. (Space loads the level: see level.h.)

void ResetPlayer();
void SnowBurst();
void PlaceBlocks(int mouseX, int mouseY);

constexpr int SNOW_BURST_SIZE = 25;

// How far left of and above the pointer the first block lands.
constexpr float POINTER_OFFSET_X = 9;
constexpr float POINTER_OFFSET_Y = 8;
