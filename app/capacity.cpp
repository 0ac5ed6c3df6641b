#include "app/capacity.h"

#include <unistd.h>

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
    TellOnStandardError("platformer: " + DescribeNoRoom(room) + ": " + command_ + " added " + std::to_string(added_) +
                        " of its " + std::to_string(planned_) + " " + things_ + "\n");
}
