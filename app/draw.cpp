#include "app/draw.h"

#include <allegro5/allegro_primitives.h>

#include "app/rules.h"
#include "app/view.h"
#include "app/world.h"

void DrawRuledLines()
{
    const ALLEGRO_COLOR black = al_map_rgb(0, 0, 0);
    // Through the middle of the pixel row: a line on the rows' border lands on the row below
    // under OpenGL and on the row above under Direct3D.
    for (int y = 0; y < RULED_LINE_EXTENT; y += RULED_LINE_SPACING)
        al_draw_line(0, y + 0.5f, RULED_LINE_EXTENT, y + 0.5f, black, 1);
}

// Sprite drawing is held for the whole pass so that a run of blocks cut from one sheet goes
// to the graphics driver as one batch instead of one draw call each. Allegro flushes the
// batch itself whenever the sheet changes, so the list order is still the drawing order.
// An object whose picture lies wholly outside the view is left out: it would colour no
// pixel, and the others are drawn in the same order.
std::size_t RenderPass()
{
    DrawnBox view;
    const bool culling = CurrentView(view);
    std::size_t drawn = 0;
    al_hold_bitmap_drawing(true);
    for (iter = objects.begin(); iter != objects.end(); ++iter) {
        DrawnBox box;
        if (culling && (*iter)->Drawn(box) && !MayShow(box, view))
            continue;
        (*iter)->Render();
        ++drawn;
    }
    al_hold_bitmap_drawing(false);
    return drawn;
}

void DrawWorld()
{
    DrawRuledLines();
    RenderPass();
}
