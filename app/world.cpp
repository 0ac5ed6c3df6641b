#include "app/world.h"

#include <cmath>

#include "app/camera.h"

std::vector<GameObject*> objects;
std::vector<GameObject*>::iterator iter;
Player* player = nullptr;
bool keys[5] = {false, false, false, false, false};

void ApplyMovementIntent()
{
    if (Held(LEFT))
        player->MoveLeft();  // Left wins when both arrows are held
    else if (Held(RIGHT))
        player->MoveRight();
    else
        player->ResetAnimation(0);

    if (Held(UP))
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
