#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

class GameObject;

// The world holds at most this many objects. A block takes about 130 bytes and a snowflake
// about 150 (the object, its place in the list and the collision pass's notes), so a full
// world takes some 35 MB, far from exhausting the machine's memory; and its tick still fits
// in 1/60 s on a busy 2-core machine (bench/tick_bench.cpp, "cap"), so a level that fills it
// still gets there, a slice a tick.
constexpr std::size_t MAX_WORLD_OBJECTS = 250000;

// The cap in force: MAX_WORLD_OBJECTS unless a test sets another (tests/world_cap.h).
std::size_t WorldCap();

enum class Room { Made, Full, NoMemory };

// Each tick keeps notes on every object (the collision pass's, some 40 bytes an object), and
// they grow with the world: a world that left no memory for them would end the game at its
// next tick. So every ROOM_CHECK_EVERY objects the world only grows if this much memory for
// each object, and the next ROOM_CHECK_EVERY, can still be had.
constexpr std::size_t TICK_BYTES_PER_OBJECT = 64;
constexpr std::size_t ROOM_CHECK_EVERY = 1024;
bool TickHasRoom(std::size_t objects);

// What bounds a world's growth. The game's own world is capped and keeps room for its tick; a
// world a caller keeps for itself (a tool, a test) is bounded by memory alone.
struct WorldBounds {
    bool capped = true;
};
constexpr WorldBounds GAME_WORLD{true};
constexpr WorldBounds MEMORY_ONLY{false};

// Appends the object make() creates to world, unless the bounds leave no room or memory runs
// out on the way; nothing is left half-added either way.
template <class Make>
Room AddToWorld(std::vector<GameObject*>& world, Make make, WorldBounds bounds = GAME_WORLD)
{
    if (bounds.capped && world.size() >= WorldCap())
        return Room::Full;
    if (bounds.capped && world.size() % ROOM_CHECK_EVERY == 0 && !TickHasRoom(world.size()))
        return Room::NoMemory;
    try {
        std::unique_ptr<GameObject> object(make());
        world.push_back(object.get());
        object.release();
        return Room::Made;
    } catch (const std::bad_alloc&) {
        return Room::NoMemory;
    }
}

// Why an addition stopped, for a message: "the world is full (250000 objects)", with the
// cap in force, or "memory ran out".
std::string DescribeNoRoom(Room room);

// The objects one command adds (S's snow, Down's two blocks). The first that finds no room
// stops the command, and one line on standard error says what was added.
class CommandAdditions {
public:
    CommandAdditions(const char* command, const char* things, int planned)
        : command_(command), things_(things), planned_(planned)
    {
    }

    // Appends what make creates to the world; false once the command must stop, which it
    // has then said.
    bool Add(const std::function<GameObject*()>& make);

private:
    void TellStopped(Room room) const;

    const char* command_;
    const char* things_;
    int planned_;
    int added_ = 0;
};
