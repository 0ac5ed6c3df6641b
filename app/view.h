#pragma once

#include "objects/GameObject.h"

// The part of the world the current target shows, in world coordinates: its clipping
// rectangle taken back through the current transform. False when that transform is more
// than a move, or the projection is not the target's own: then nothing can be ruled out
// and everything is drawn.
bool CurrentView(DrawnBox& view);

// False only when everything an object of this drawn box may colour lies outside the view,
// with room to spare for rounding: a box it cannot rule out (NaN, infinite) may show.
bool MayShow(const DrawnBox& box, const DrawnBox& view);
