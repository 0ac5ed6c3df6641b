#pragma once

#include "objects/GameObject.h"

// The part of the world the current drawing target shows, in world coordinates.
struct ViewRect {
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
};

// The view of the current target: its clipping rectangle taken back through the current
// transform. False when that transform is more than a move, or the projection is not the
// target's own: then nothing can be ruled out and everything is drawn.
bool CurrentView(ViewRect& view);

// False only when everything an object of this drawn box may colour lies outside the view,
// with room to spare for rounding: a box it cannot rule out (NaN, infinite) may show.
bool MayShow(const DrawnBox& box, const ViewRect& view);
