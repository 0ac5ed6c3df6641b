#pragma once

// The game's fixed numbers that more than one part of it follows, each written only here.

// The window is square; the view keeps the figure in its middle.
constexpr int WINDOW_SIZE = 600;
constexpr int HALF_WINDOW = WINDOW_SIZE / 2;

// The sky every frame is cleared to, red, green and blue.
constexpr int SKY_RED = 70;
constexpr int SKY_GREEN = 200;
constexpr int SKY_BLUE = 255;

// Black lines ruled across the world from its top-left corner: one every
// RULED_LINE_SPACING pixels down to RULED_LINE_EXTENT, each as long as RULED_LINE_EXTENT.
constexpr int RULED_LINE_SPACING = 15;
constexpr int RULED_LINE_EXTENT = 1000;

// The box the view keeps mid-window for the figure: 19 wide and 16 tall, which is the
// figure's own frame on its side, as the view has always had it.
constexpr int FIGURE_VIEW_WIDTH = 19;
constexpr int FIGURE_VIEW_HEIGHT = 16;

// How far left of and above the pointer the first block of Down lands: the view box's
// middle in whole pixels, so the block's corner shows where the pointer is.
constexpr float POINTER_OFFSET_X = FIGURE_VIEW_WIDTH / 2;
constexpr float POINTER_OFFSET_Y = FIGURE_VIEW_HEIGHT / 2;

// Snowflakes released by one press of S.
constexpr int SNOW_BURST_SIZE = 25;
