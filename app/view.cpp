#include "app/view.h"

#include <allegro5/allegro.h>
#include <cmath>
#include <cstring>

namespace {

// Pixels beyond the box an object says it draws into that are still ruled out only by
// the margin: covers rasterization rules and float rounding of the vertices, which grows
// with the size of the coordinates (hence the relative part).
constexpr double MARGIN = 8.0;
constexpr double RELATIVE_MARGIN = 1e-6;

}  // namespace

bool CurrentView(DrawnBox& view)
{
    ALLEGRO_BITMAP* target = al_get_target_bitmap();
    const ALLEGRO_TRANSFORM* move = al_get_current_transform();
    const ALLEGRO_TRANSFORM* projection = al_get_current_projection_transform();
    if (target == nullptr || move == nullptr || projection == nullptr)
        return false;

    // x' = m[0][0] x + m[1][0] y + m[3][0], likewise y', and w' must stay 1.
    const auto& m = move->m;
    if (m[0][0] != 1.0f || m[1][1] != 1.0f || m[1][0] != 0.0f || m[0][1] != 0.0f || m[0][3] != 0.0f ||
        m[1][3] != 0.0f || m[3][3] != 1.0f)
        return false;

    ALLEGRO_TRANSFORM own;
    al_identity_transform(&own);
    al_orthographic_transform(&own, 0, 0, -1.0f, al_get_bitmap_width(target), al_get_bitmap_height(target), 1.0f);
    if (std::memcmp(&own, projection, sizeof own) != 0)
        return false;

    int clipX = 0, clipY = 0, clipW = 0, clipH = 0;
    al_get_clipping_rectangle(&clipX, &clipY, &clipW, &clipH);
    view.left = clipX - static_cast<double>(m[3][0]);
    view.top = clipY - static_cast<double>(m[3][1]);
    view.right = view.left + clipW;
    view.bottom = view.top + clipH;
    return std::isfinite(view.left) && std::isfinite(view.top);
}

bool MayShow(const DrawnBox& box, const DrawnBox& view)
{
    const double slack = MARGIN + RELATIVE_MARGIN * (std::fabs(box.left) + std::fabs(box.top) + std::fabs(view.left) +
                                                     std::fabs(view.top));
    // Written as "provably outside" so that a NaN anywhere keeps the object drawn.
    const bool outside = box.right < view.left - slack || box.left > view.right + slack ||
                         box.bottom < view.top - slack || box.top > view.bottom + slack;
    return !outside;
}
