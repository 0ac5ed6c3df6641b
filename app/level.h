#pragma once

#include <iosfwd>
#include <vector>

class GameObject;

// A level is records of "n,x,y": n is ignored, x snapped to the 24-pixel grid, y as is.
// Whitespace anywhere is skipped; each separator is any single character.

// Appends the blocks of "LoadLevel.txt" from the working directory, or else the sample of the
// game's data folder (FindGameFile); a missing file adds none.
void LoadLevel();

// Appends one block per whole record to world, in file order; stops quietly at the first
// record that cannot be read whole. Returns how many blocks it added.
int ReadLevel(std::istream& myfile, std::vector<GameObject*>& world);

// x <= 24 gives 0 (24 itself included); otherwise the largest multiple of 24 not above x.
int SnapToGrid(int x);
