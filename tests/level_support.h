#pragma once

// What tests see of the level load beyond the game's own calls (app/level_load.cpp).

bool LevelLoading();  // a level is loading or a press of Space waits its turn
// Drops the loads under way and the presses waiting, and the late ticks counted.
void CancelLevelLoads();
// The clock a slice reads its time from, in seconds; null brings back the real one.
void SetLevelLoadClock(double (*clock)());

// A clock that stands still: slices are bounded by records and bytes alone, on any machine.
inline double StoppedClock()
{
    return 0;
}

// A clock that a whole slice's time passes on at every look: a slice then reads only what it
// reads whatever the clock says.
inline double SlowMachineClock()
{
    static double now = 0;
    return now += 1.0;
}
