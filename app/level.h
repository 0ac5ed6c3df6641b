#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

class GameObject;

// A level is records of "n,x,y": n is ignored, x snapped to the 24-pixel grid, y as is.
// Whitespace anywhere is skipped; each separator is any single character. A UTF-8
// byte-order mark at the very start is skipped.

// Appends the blocks of "LoadLevel.txt" from the working directory, or else the sample of the
// game's data folder (FindGameFile); a missing file adds none.
void LoadLevel();

// Appends the blocks of the level file at path to the world. Anything but a regular file is
// left unopened and unread; every problem is told on one line of messages. Returns false
// only when there is no such file, which is not a problem and is not told.
bool LoadLevelFile(const std::string& path, std::ostream& messages);

// Where a read stopped before the end of the text, for telling the level's author.
struct LevelStop {
    bool stopped = false;     // false: every record was read, up to the end
    std::int64_t line = 0;    // 1 for the first line
    std::string found;        // the record's text on that line, printable and cut short
    bool atEnd = false;       // the text ends inside that record
};

// Appends one block per whole record to world, in file order; stops at the first record
// that cannot be read whole and, given stop, says where. Returns how many blocks it added.
int ReadLevel(std::istream& myfile, std::vector<GameObject*>& world, LevelStop* stop = nullptr);

// x <= 24 gives 0 (24 itself included); otherwise the largest multiple of 24 not above x.
int SnapToGrid(int x);
