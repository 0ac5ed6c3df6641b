#pragma once

#include <allegro5/allegro.h>
#include <cstddef>
#include <string>
#include <vector>

// Worlds for the benchmarks, built through the game's own classes into the game's own
// world list (objects, player), so that the passes under test are the ones the game runs.
namespace bench {

enum class Kind { Figure, Block, Snow };

// The figure first, then blocks and snow two to one, in the runs the game makes them:
// a level's blocks arrive in runs of up to 100 and snow in the bursts S releases, two bursts after
// each run of blocks, like a player scattering snow between stretches of level.
std::vector<Kind> GameMix(int count);

enum class Placement {
    // Blocks in rows of 100 from the floor up; snow so high above the world that it does
    // not reach the bottom (and die) within SNOW_TICKS ticks.
    Level,
    // Everything drawn inside the 600 by 600 window: blocks on a 25 by 25 grid (wrapping
    // onto itself past 625), snow wherever its drawn dot lands on screen.
    OnScreen,
};

// Snow placed by Placement::Level lives at least this many ticks.
constexpr long SNOW_TICKS = 150000;

// Empties the world and fills it with one object per kind, in order. Pictures may be null
// where nothing is drawn.
void BuildWorld(const std::vector<Kind>& kinds, Placement placement, ALLEGRO_BITMAP* blockSheet,
                ALLEGRO_BITMAP* figureSheet);

// Appends count blocks and snow of the game's mix that are drawn nowhere near the window
// (blocks from x 2,400 on, snow whose dot lies further still), for a large world around
// a small view.
void AddFarAway(int count, ALLEGRO_BITMAP* blockSheet);

// Frees every object of the world and clears the held keys.
void ClearWorld();

// A fixed random order of count items that keeps item 0 (the figure) first.
std::vector<std::size_t> ShuffledOrder(std::size_t count, unsigned seed);

template <class T>
void Reorder(std::vector<T>& items, const std::vector<std::size_t>& order)
{
    std::vector<T> reordered;
    reordered.reserve(items.size());
    for (std::size_t index : order)
        reordered.push_back(items[index]);
    items.swap(reordered);
}

// The folder with the pictures: --pictures=DIR if given (removed from argv), else the
// source tree's data folder.
std::string PicturesFolder(int& argc, char** argv);

}  // namespace bench
