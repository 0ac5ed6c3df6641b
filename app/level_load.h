#pragma once

#include <cstdint>

// Space loads a level a slice at a time: a slice with the key, then one a tick while the level
// is not all in, so the game keeps drawing and answering keys whatever the file holds. A slice
// reads at most RECORDS_PER_SLICE records and BYTES_PER_SLICE bytes, and stops once it has
// taken SECONDS_PER_SLICE, which leaves the rest of the tick for the tick itself and a frame.
// Its first RECORDS_BEFORE_CLOCK records or BYTES_BEFORE_CLOCK bytes are read whatever the
// clock says: the sample level and any small one are in before the next frame, and every
// slice gets on.
constexpr int RECORDS_PER_SLICE = 1000;
constexpr std::int64_t BYTES_PER_SLICE = 1 << 20;
constexpr double SECONDS_PER_SLICE = 1.0 / 180;  // a third of a tick
constexpr int RECORDS_BEFORE_CLOCK = 64;
constexpr std::int64_t BYTES_BEFORE_CLOCK = 16 << 10;

// A tick that runs after the next is due takes no slice: it would only put the game further
// behind, and frames and keys would wait on it while a busy machine never caught up. But a
// game late in every tick (a world too large for this machine) still loads: after this many
// late ticks without a slice, a late tick takes its slice too.
constexpr int MAX_LATE_TICKS_WITHOUT_SLICE = 8;

// Space: appends the blocks of "LoadLevel.txt" from the working directory, or else the sample
// of the game's data folder (FindGameFile); a missing file adds none. While a level is still
// loading, the press waits its turn: the file is appended again once that one is in. Every
// problem with the file is told on one line of standard error.
void LoadLevel();

// Once a tick, from the loop: the tick's timer event was queued when the game timer's count
// was queuedAtCount and runs with it at timerCount. Takes the next slice if the tick may.
void ContinueLevelLoad(std::int64_t queuedAtCount, std::int64_t timerCount);
