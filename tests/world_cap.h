#pragma once

#include <cstddef>

// Sets the world's cap, so that a test fills the world without making MAX_WORLD_OBJECTS
// objects; MAX_WORLD_OBJECTS puts it back. Defined beside the cap, in app/capacity.cpp.
void SetWorldCap(std::size_t cap);
