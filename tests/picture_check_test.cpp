#include <gtest/gtest.h>

#include <string>

#include "resources/PictureCheck.h"
#include "test_support.h"

using namespace std::string_literals;

namespace {

const PictureSize kFigureSheet{144, 76};

TEST(PictureCheckTest, JudgesTheDeclaredSizeBeforeDecoding)
{
    using V = HeaderVerdict;
    struct Case {
        const char* what;
        std::string start;
        V::Kind kind;
    };
    const Case cases[] = {
        {"exactly the least size", PngHeader(144, 76), V::FITS},
        {"exactly the largest size", PngHeader(4096, 4096), V::FITS},
        {"only the size bytes", PngHeader(200, 100).substr(0, PNG_SIZE_BYTES), V::FITS},
        {"huge", PngHeader(16000, 16000), V::TOO_BIG},
        {"one too wide", PngHeader(4097, 76), V::TOO_BIG},
        {"one too tall", PngHeader(144, 4097), V::TOO_BIG},
        {"far beyond int", PngHeader(0x7fffffff, 0x7fffffff), V::TOO_BIG},
        {"tiny", PngHeader(8, 8), V::TOO_SMALL},
        {"one too narrow", PngHeader(143, 76), V::TOO_SMALL},
        {"one too short", PngHeader(144, 75), V::TOO_SMALL},
        {"empty", "", V::EMPTY},
        {"text", "this is not a picture\n", V::NOT_PNG},
        {"another kind of picture", "\xff\xd8\xff\xe0\0\x10JFIF\0"s, V::NOT_PNG},
        {"one byte of something else", "x", V::NOT_PNG},
        {"signature cut short", "\x89PN", V::CUT_SHORT},
        {"signature only", "\x89PNG\r\n\x1a\n", V::CUT_SHORT},
        {"cut inside the height", PngHeader(144, 76).substr(0, 22), V::CUT_SHORT},
        {"first chunk not the header", PngHeader(144, 76, "IDAT"), V::DAMAGED},
        {"zero width", PngHeader(0, 76), V::DAMAGED},
        {"width beyond what PNG allows", PngHeader(0x80000000u, 76), V::DAMAGED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CheckPngHeader(c.start, kFigureSheet).kind, c.kind);
    }
}

}  // namespace
