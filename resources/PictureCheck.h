#pragma once

#include <cstdint>
#include <string>

#include "resources/Pictures.h"

// A picture is checked from the first bytes of its file before it is decoded, against the
// sizes of Pictures.h.

// The bytes a PNG needs to declare its size: signature, IHDR length and type, width, height.
constexpr size_t PNG_SIZE_BYTES = 24;

struct HeaderVerdict {
    enum Kind { FITS, EMPTY, NOT_PNG, CUT_SHORT, DAMAGED, TOO_BIG, TOO_SMALL };
    Kind kind = FITS;
    std::uint32_t width = 0;  // as declared, when the header got that far
    std::uint32_t height = 0;
};

// Judges the start of a file (at least its first PNG_SIZE_BYTES bytes, when it has them):
// a PNG of at least `least` and at most MAX_PICTURE_SIDE on either side fits.
HeaderVerdict CheckPngHeader(const std::string& start, PictureSize least);

// What a refused picture is wrong with, for a person: "is 8 x 8 pixels, too small".
std::string DescribeVerdict(const HeaderVerdict& verdict);

// What a picture must be: "a PNG picture of at least 144 x 76 and at most 4096 x 4096 pixels".
std::string DescribeNeed(PictureSize least);
