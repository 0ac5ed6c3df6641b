#include "app/world.h"

#include <allegro5/allegro_primitives.h>
#include <cmath>
#include <ostream>

#include "app/camera.h"
#include "app/view.h"

std::vector<GameObject*> objects;
std::vector<GameObject*>::iterator iter;
Player* player = nullptr;
bool keys[5] = {false, false, false, false, false};

void ApplyMovementIntent()
{
    if (keys[LEFT])
        player->MoveLeft();  // Left wins when both arrows are held
    else if (keys[RIGHT])
        player->MoveRight();
    else
        player->ResetAnimation(0);

    if (keys[UP])
        player->Jump();
    else
        player->ResetAnimation(1);
}

void UpdatePass()
{
    for (iter = objects.begin(); iter != objects.end(); ++iter)
        (*iter)->Update();
}

void AimCamera(float* cameraPosition, ALLEGRO_TRANSFORM& camera)
{
    UpdateCamera(cameraPosition, player->GetX(), player->GetY(), FIGURE_VIEW_WIDTH, FIGURE_VIEW_HEIGHT);
    al_identity_transform(&camera);
    al_translate_transform(&camera, std::floor(-cameraPosition[0]), std::floor(-cameraPosition[1]));
}

void FollowPlayer(float* cameraPosition, ALLEGRO_TRANSFORM& camera)
{
    AimCamera(cameraPosition, camera);
    al_use_transform(&camera);
}

void StepWorld(float* cameraPosition, ALLEGRO_TRANSFORM& camera, void (*collisionPass)())
{
    ApplyMovementIntent();
    UpdatePass();
    collisionPass();
    AimCamera(cameraPosition, camera);
}

void RunTick(float* cameraPosition, ALLEGRO_TRANSFORM& camera)
{
    StepWorld(cameraPosition, camera);
    al_use_transform(&camera);
}

// Frees every dead object without telling it anything; survivors keep their order.
// Compacting in one sweep keeps a burst of dying snow from shifting the list once per flake.
void RemovalPass()
{
    auto kept = objects.begin();
    for (iter = objects.begin(); iter != objects.end(); ++iter) {
        if ((*iter)->IsAlive())
            *kept++ = *iter;
        else
            delete *iter;
    }
    objects.erase(kept, objects.end());
}

void PrintFrameRate(double& lastTime, double now, std::ostream& out)
{
    const float fps = static_cast<float>(1.0 / (now - lastTime));
    lastTime = now;
    out << fps << std::endl;
}

void DrawRuledLines()
{
    const ALLEGRO_COLOR black = al_map_rgb(0, 0, 0);
    // Through the middle of the pixel row: a line on the rows' border lands on the row below
    // under OpenGL and on the row above under Direct3D.
    for (int y = 0; y < 1000; y += 15)
        al_draw_line(0, y + 0.5f, 1000, y + 0.5f, black, 1);
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

void RenderEverything()
{
    al_hold_bitmap_drawing(true);
    for (iter = objects.begin(); iter != objects.end(); ++iter)
        (*iter)->Render();
    al_hold_bitmap_drawing(false);
}

void DrawWorld()
{
    DrawRuledLines();
    RenderPass();
}

void EmptyWorld(bool tellDestroy)
{
    for (iter = objects.begin(); iter != objects.end(); ++iter) {
        if (tellDestroy)
            (*iter)->Destroy();
        delete *iter;
    }
    objects.clear();
    player = nullptr;
}

void DestroyPass()
{
    EmptyWorld(true);
}
