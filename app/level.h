#pragma once

#include <climits>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <streambuf>
#include <string>
#include <vector>

#include "app/capacity.h"

class GameObject;

// A level is records of "n,x,y": n is ignored, x snapped to the 24-pixel grid, y as is.
// Whitespace anywhere is skipped. A separator is one character that cannot belong to a
// number (not a digit, sign, decimal point or letter), and a record's last number ends at
// whitespace or the end of the text. A UTF-8 byte-order mark at the very start is skipped.

// Where a read stopped before the end of the text, for telling the level's author.
struct LevelStop {
    bool stopped = false;     // false: every record was read, up to the end
    std::int64_t line = 0;    // 1 for the first line
    std::string found;        // the record's text on that line, printable and cut short
    bool atEnd = false;       // the text ends inside that record
    Room room = Room::Made;   // Full or NoMemory: the record was whole, its block found no room
};

// How far one slice of a level reads: at most `records` records and `bytes` bytes, and no
// further once timeUp says the slice's time is spent. timeUp is asked after each record and
// every TIME_CHECK_BYTES bytes, with what the slice has read so far.
struct SliceLimits {
    int records = INT_MAX;
    std::int64_t bytes = INT64_MAX;
    std::function<bool(int records, std::int64_t bytes)> timeUp;
};
constexpr std::int64_t TIME_CHECK_BYTES = 4096;

// Reads a level's records into a world a slice at a time. A slice may stop anywhere, between
// records, inside whitespace or inside a number: the next goes on from there, so the blocks
// and the stop are those of one read of the whole text.
class LevelReader {
public:
    // Reads from source (nothing at all when it is null), appending within bounds.
    LevelReader(std::streambuf* source, WorldBounds bounds);
    ~LevelReader();
    LevelReader(const LevelReader&) = delete;
    LevelReader& operator=(const LevelReader&) = delete;

    // Appends the blocks of the next slice's records to world, in file order; returns how many.
    int Read(std::vector<GameObject*>& world, const SliceLimits& limits);

    bool Done() const;              // the text is read to its end, or a record stopped it
    int Added() const;              // blocks appended by every slice so far
    std::int64_t BytesRead() const;  // by every slice so far
    const LevelStop& Stop() const;  // once done

private:
    class Parser;
    std::unique_ptr<Parser> parser_;
};

// Appends one block per whole record to world, a world of the caller's that only memory
// bounds, in file order; stops at the first record that cannot be read whole, or whose block
// memory runs out for, and, given stop, says where. Returns how many blocks it added.
int ReadLevel(std::istream& myfile, std::vector<GameObject*>& world, LevelStop* stop = nullptr);

// x <= 24 gives 0 (24 itself included); otherwise the largest multiple of 24 not above x.
int SnapToGrid(int x);
