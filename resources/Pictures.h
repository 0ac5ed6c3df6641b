#pragma once

// The game's pictures: the names they are looked for under and the sizes the game can draw
// from. The image cache loads them in the order of GAME_PICTURES at start-up.

constexpr const char* BACKGROUND_PICTURE = "Background.png";
constexpr const char* BLOCKS_PICTURE = "Blocks.png";
constexpr const char* FIGURE_PICTURE = "Quillorn.png";

// The figure's sheet is 9 frames of 16 x 19 across and 4 rows; the block sheet holds four
// 24 x 24 looks side by side. Smaller sheets would draw from outside the picture.
constexpr int BACKGROUND_MIN_WIDTH = 1;
constexpr int BACKGROUND_MIN_HEIGHT = 1;
constexpr int BLOCKS_MIN_WIDTH = 96;
constexpr int BLOCKS_MIN_HEIGHT = 24;
constexpr int FIGURE_MIN_WIDTH = 144;
constexpr int FIGURE_MIN_HEIGHT = 76;

// No picture may be larger on either side: decoding a PNG that declares 16000 x 16000
// pixels would take gigabytes for a file of a few hundred kilobytes.
constexpr int MAX_PICTURE_SIDE = 4096;

struct PictureSize {
    int width = 1;
    int height = 1;
};

struct GamePicture {
    const char* name;
    PictureSize least;
};

inline constexpr GamePicture GAME_PICTURES[] = {
    {BACKGROUND_PICTURE, {BACKGROUND_MIN_WIDTH, BACKGROUND_MIN_HEIGHT}},
    {BLOCKS_PICTURE, {BLOCKS_MIN_WIDTH, BLOCKS_MIN_HEIGHT}},
    {FIGURE_PICTURE, {FIGURE_MIN_WIDTH, FIGURE_MIN_HEIGHT}},
};
