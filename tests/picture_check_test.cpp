#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>

#include "resources/ImageCache.h"
#include "resources/PictureCheck.h"
#include "test_support.h"

using namespace std::string_literals;

namespace {

constexpr PictureSize kFigureSheet{FIGURE_MIN_WIDTH, FIGURE_MIN_HEIGHT};
constexpr std::uint32_t W = FIGURE_MIN_WIDTH;
constexpr std::uint32_t H = FIGURE_MIN_HEIGHT;
constexpr std::uint32_t MAX = MAX_PICTURE_SIDE;

TEST(PictureCheckTest, JudgesTheDeclaredSizeBeforeDecoding)
{
    using V = HeaderVerdict;
    struct Case {
        const char* what;
        std::string start;
        V::Kind kind;
    };
    const Case cases[] = {
        {"exactly the least size", PngHeader(W, H), V::FITS},
        {"exactly the largest size", PngHeader(MAX, MAX), V::FITS},
        {"only the size bytes", PngHeader(200, 100).substr(0, PNG_SIZE_BYTES), V::FITS},
        {"huge", PngHeader(16000, 16000), V::TOO_BIG},
        {"one too wide", PngHeader(MAX + 1, H), V::TOO_BIG},
        {"one too tall", PngHeader(W, MAX + 1), V::TOO_BIG},
        {"far beyond int", PngHeader(0x7fffffff, 0x7fffffff), V::TOO_BIG},
        {"tiny", PngHeader(8, 8), V::TOO_SMALL},
        {"one too narrow", PngHeader(W - 1, H), V::TOO_SMALL},
        {"one too short", PngHeader(W, H - 1), V::TOO_SMALL},
        {"empty", "", V::EMPTY},
        {"text", "this is not a picture\n", V::NOT_PNG},
        {"another kind of picture", "\xff\xd8\xff\xe0\0\x10JFIF\0"s, V::NOT_PNG},
        {"one byte of something else", "x", V::NOT_PNG},
        {"signature cut short", "\x89PN", V::CUT_SHORT},
        {"signature only", "\x89PNG\r\n\x1a\n", V::CUT_SHORT},
        {"cut inside the height", PngHeader(W, H).substr(0, 22), V::CUT_SHORT},
        {"first chunk not the header", PngHeader(W, H, "IDAT"), V::DAMAGED},
        {"zero width", PngHeader(0, H), V::DAMAGED},
        {"width beyond what PNG allows", PngHeader(0x80000000u, H), V::DAMAGED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CheckPngHeader(c.start, kFigureSheet).kind, c.kind);
    }
}

// A sheet the check lets through must hold every frame its object cuts from it, and the
// table's smallest sheets must pass the check themselves.
TEST(PictureCheckTest, LeastSizesHoldEveryFrameTheObjectsDraw)
{
    Player figure;
    figure.Init(nullptr);
    const int figureRows = 4;  // walking right, left; in the air right, left
    const int blockLooks = 4;
    const struct {
        const char* name;
        int width, height;
    } sheets[] = {
        {FIGURE_PICTURE, figure.GetMaxFrame() * figure.GetFrameWidth(), figureRows * figure.GetFrameHeight()},
        {BLOCKS_PICTURE, blockLooks * Cube::SIZE, Cube::SIZE},
        {BACKGROUND_PICTURE, 1, 1},
    };
    for (const auto& sheet : sheets) {
        SCOPED_TRACE(sheet.name);
        const PictureSize least = LeastSizeOf(sheet.name);
        EXPECT_EQ(least.width, sheet.width);
        EXPECT_EQ(least.height, sheet.height);
        EXPECT_EQ(CheckPngHeader(PngHeader(least.width, least.height), least).kind, HeaderVerdict::FITS);
    }
    EXPECT_EQ(std::size(GAME_PICTURES), std::size(sheets));
}

}  // namespace
