#pragma once

#include <cstddef>

// Drawing the world into the current target, under whatever transform is in force there
// (the tick leaves the camera's).

// The black ruled lines, fixed in the world.
void DrawRuledLines();
// Every object's Render in list order, leaving out what cannot show in the view; returns
// how many were drawn.
std::size_t RenderPass();
// The ruled lines, then the objects over them.
void DrawWorld();
