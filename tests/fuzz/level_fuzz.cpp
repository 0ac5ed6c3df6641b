// Throws arbitrary bytes at the level reader. Whatever a level file holds, the reader may only
// append whole blocks on the 24-pixel grid, must leave the blocks already in the world alone,
// must say where it stopped in terms a terminal can show, and must not crash, leak or hang.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "app/level.h"
#include "objects/Cube.h"

namespace {

// LEVEL_FUZZ_EXPECT_BLOCKS=N makes every input that must read as exactly N blocks a failure
// otherwise: scripts/fuzz uses it to push a generated million-record level through in one go.
long long expectedBlocks = -1;

[[noreturn]] void Fail(const char* what, std::size_t index, const GameObject* block)
{
    if (block != nullptr)
        std::fprintf(stderr, "level_fuzz: %s (block %zu: x=%.1f y=%.1f)\n", what, index,
                     static_cast<double>(block->GetX()), static_cast<double>(block->GetY()));
    else
        std::fprintf(stderr, "level_fuzz: %s (%zu)\n", what, index);
    std::abort();
}

// Positions are floats: whole numbers are exact up to 2^24, and beyond that a position is the
// float nearest to the file's number, which may be 2^31 itself for INT_MAX.
constexpr double EXACT_LIMIT = 16777216.0;

// A block's row comes straight from the file's int.
bool IsIntValue(float v)
{
    const double d = v;
    return std::floor(d) == d && d >= std::numeric_limits<int>::min() && d <= -static_cast<double>(std::numeric_limits<int>::min());
}

// A column is a multiple of 24, exactly where a float can say so.
bool IsOnGrid(float x)
{
    const double d = x;
    if (!(d >= 0.0))
        return false;
    return d > EXACT_LIMIT || std::fmod(d, static_cast<double>(Cube::SIZE)) == 0.0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (const char* expect = std::getenv("LEVEL_FUZZ_EXPECT_BLOCKS"))
        expectedBlocks = std::atoll(expect);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream level(std::string(reinterpret_cast<const char*>(data), size));

    // A block already in the world: loading a level appends, it never replaces or moves.
    std::vector<GameObject*> world;
    Cube* const existing = new Cube(-7.0f, -9.0f, nullptr);
    world.push_back(existing);

    LevelStop stop;
    const int added = ReadLevel(level, world, &stop);

    if (added < 0 || static_cast<std::size_t>(added) != world.size() - 1)
        Fail("reported count differs from the blocks appended", static_cast<std::size_t>(added), nullptr);
    if (world[0] != existing || existing->GetX() != -7.0f || existing->GetY() != -9.0f)
        Fail("the block already in the world was touched", 0, existing);
    if (expectedBlocks >= 0 && added != expectedBlocks)
        Fail("level not read in full", static_cast<std::size_t>(added), nullptr);

    if (stop.stopped) {
        std::size_t lines = 1;
        for (std::size_t i = 0; i < size; ++i)
            lines += data[i] == '\n';
        if (stop.line < 1 || static_cast<std::size_t>(stop.line) > lines)
            Fail("stop reported past the last line", static_cast<std::size_t>(stop.line), nullptr);
        // 40 bytes kept, each shown as at most four characters, then "...".
        if (stop.found.size() > 163)
            Fail("stop report too long", stop.found.size(), nullptr);
        for (char c : stop.found)
            if (c < 0x20 || c > 0x7e)
                Fail("unprintable byte in the stop report", static_cast<unsigned char>(c), nullptr);
    } else if (stop.line != 0 || !stop.found.empty()) {
        Fail("a whole read reports a stop", static_cast<std::size_t>(stop.line), nullptr);
    }

    for (std::size_t i = 1; i < world.size(); ++i) {
        const GameObject* block = world[i];
        if (block == nullptr)
            Fail("null block appended", i, nullptr);
        if (block->GetID() != BLOCK || block->GetBoundX() != Cube::SIZE || block->GetBoundY() != Cube::SIZE)
            Fail("appended object is not a block", i, block);
        if (!IsOnGrid(block->GetX()))
            Fail("block off the 24-pixel grid", i, block);
        if (!IsIntValue(block->GetY()))
            Fail("block row is not a whole number in int range", i, block);
    }

    for (GameObject* object : world)
        delete object;
    return 0;
}
