#include "resources/PictureCheck.h"

#include <algorithm>

namespace {

const char PNG_SIGNATURE[] = "\x89PNG\r\n\x1a\n";
constexpr size_t SIGNATURE_BYTES = 8;

std::uint32_t BigEndian(const std::string& bytes, size_t at)
{
    std::uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

std::string Size(std::uint32_t width, std::uint32_t height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace

HeaderVerdict CheckPngHeader(const std::string& start, PictureSize least)
{
    HeaderVerdict verdict;
    if (start.empty()) {
        verdict.kind = HeaderVerdict::EMPTY;
        return verdict;
    }
    const size_t compared = std::min(start.size(), SIGNATURE_BYTES);
    if (start.compare(0, compared, PNG_SIGNATURE, compared) != 0) {
        verdict.kind = HeaderVerdict::NOT_PNG;
        return verdict;
    }
    if (start.size() < PNG_SIZE_BYTES) {
        verdict.kind = HeaderVerdict::CUT_SHORT;
        return verdict;
    }
    // The first chunk must be IHDR of 13 bytes; width and height are its first two numbers.
    verdict.width = BigEndian(start, 16);
    verdict.height = BigEndian(start, 20);
    if (BigEndian(start, 8) != 13 || start.compare(12, 4, "IHDR") != 0 || verdict.width == 0 ||
        verdict.height == 0 || verdict.width > 0x7fffffffu || verdict.height > 0x7fffffffu)
        verdict.kind = HeaderVerdict::DAMAGED;
    else if (verdict.width > MAX_PICTURE_SIDE || verdict.height > MAX_PICTURE_SIDE)
        verdict.kind = HeaderVerdict::TOO_BIG;
    else if (verdict.width < static_cast<std::uint32_t>(least.width) ||
             verdict.height < static_cast<std::uint32_t>(least.height))
        verdict.kind = HeaderVerdict::TOO_SMALL;
    return verdict;
}

std::string DescribeVerdict(const HeaderVerdict& verdict)
{
    switch (verdict.kind) {
    case HeaderVerdict::FITS:
        return "is " + Size(verdict.width, verdict.height) + " pixels";
    case HeaderVerdict::EMPTY:
        return "is an empty file";
    case HeaderVerdict::NOT_PNG:
        return "is not a PNG picture";
    case HeaderVerdict::CUT_SHORT:
        return "is cut short before its size";
    case HeaderVerdict::DAMAGED:
        return "has a damaged PNG header";
    case HeaderVerdict::TOO_BIG:
        return "is " + Size(verdict.width, verdict.height) + " pixels, too big";
    case HeaderVerdict::TOO_SMALL:
        return "is " + Size(verdict.width, verdict.height) + " pixels, too small";
    }
    return "cannot be used";
}

std::string DescribeNeed(PictureSize least)
{
    std::string need = "a PNG picture of ";
    if (least.width > 1 || least.height > 1)
        need += "at least " + Size(least.width, least.height) + " and ";
    return need + "at most " + Size(MAX_PICTURE_SIDE, MAX_PICTURE_SIDE) + " pixels";
}
