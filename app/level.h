#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "app/capacity.h"

class GameObject;

// A level is records of "n,x,y": n is ignored, x snapped to the 24-pixel grid, y as is.
// Whitespace anywhere is skipped. A separator is one character that cannot belong to a
// number (not a digit, sign, decimal point or letter), and a record's last number ends at
// whitespace or the end of the text. A UTF-8 byte-order mark at the very start is skipped.

// Records read at once when Space goes down, and then once each tick while the level is not
// all in: a level of up to this many records is in before the next frame, a larger one goes
// on over the following ticks, and the game keeps drawing and answering keys meanwhile.
constexpr int RECORDS_PER_SLICE = 1000;

// Space: appends the blocks of "LoadLevel.txt" from the working directory, or else the sample
// of the game's data folder (FindGameFile); a missing file adds none. While a level is still
// loading, the press waits its turn: the file is appended again once that one is in.
void LoadLevel();

// Once a tick: the next slice of the level that is loading, if any.
void ContinueLevelLoad();
bool LevelLoading();  // a level is loading or a press waits its turn
void CancelLevelLoads();

// Appends the blocks of the level file at path to the world, all at once. Anything but a
// regular file is left unopened and unread, and only the bytes the file holds when it is
// opened are read; every problem is told on one line of messages. Returns false only when
// there is no such file, which is not a problem and is not told.
bool LoadLevelFile(const std::string& path, std::ostream& messages);

// Where a read stopped before the end of the text, for telling the level's author.
struct LevelStop {
    bool stopped = false;     // false: every record was read, up to the end
    std::int64_t line = 0;    // 1 for the first line
    std::string found;        // the record's text on that line, printable and cut short
    bool atEnd = false;       // the text ends inside that record
    Room room = Room::Made;   // Full or NoMemory: the record was whole, its block found no room
};

// Appends one block per whole record to world, a world of the caller's that only memory
// bounds, in file order; stops at the first record that cannot be read whole, or whose block
// memory runs out for, and, given stop, says where. Returns how many blocks it added.
int ReadLevel(std::istream& myfile, std::vector<GameObject*>& world, LevelStop* stop = nullptr);

// x <= 24 gives 0 (24 itself included); otherwise the largest multiple of 24 not above x.
int SnapToGrid(int x);
