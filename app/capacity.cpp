#include "app/capacity.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "app/output.h"
#include "app/world.h"

namespace {
std::size_t cap = MAX_WORLD_OBJECTS;
}

std::size_t WorldCap()
{
    return cap;
}

void SetWorldCap(std::size_t newCap)
{
    cap = newCap;
}

bool TickHasRoom(std::size_t objects)
{
    // Touched, so that the allocation is really made and not left out as unused.
    auto* room = static_cast<volatile char*>(std::malloc((objects + ROOM_CHECK_EVERY) * TICK_BYTES_PER_OBJECT));
    if (room == nullptr)
        return false;
    room[0] = 0;
    std::free(const_cast<char*>(room));
    return true;
}

std::string DescribeNoRoom(Room room)
{
    if (room == Room::NoMemory)
        return "memory ran out";
    return "the world is full (" + std::to_string(WorldCap()) + " objects)";
}

void TellOnStandardError(const std::string& line)
{
    WriteLineWithoutWaiting(STDERR_FILENO, line);
}

void TellOnStandardError(const char* line)
{
    // No std::string here: making one could fail the same way. A reader that is gone is no
    // reason to stop the game.
    WriteLineWithoutWaiting(STDERR_FILENO, line, std::strlen(line));
}

bool CommandAdditions::Add(const std::function<GameObject*()>& make)
{
    const Room room = AddToWorld(objects, make);
    if (room != Room::Made) {
        TellStopped(room);
        return false;
    }
    ++added_;
    return true;
}

void CommandAdditions::TellStopped(Room room) const
{
    try {
        TellOnStandardError("platformer: " + DescribeNoRoom(room) + ": " + command_ + " added " +
                            std::to_string(added_) + " of its " + std::to_string(planned_) + " " + things_ + "\n");
    } catch (const std::bad_alloc&) {
        TellOnStandardError("platformer: memory ran out: a command stopped before all it adds was added\n");
    }
}
