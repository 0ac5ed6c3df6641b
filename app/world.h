#pragma once

#include <allegro5/allegro.h>
#include <cstdint>
#include <vector>

#include "app/rules.h"
#include "objects/GameObject.h"
#include "objects/Player.h"

// Held keys, as indexes into keys.
enum KEYS { UP, DOWN, LEFT, RIGHT, SPACE };

// The world: every object in the order it was added. The list owns them; player is the
// first element, borrowed.
extern std::vector<GameObject*> objects;
extern std::vector<GameObject*>::iterator iter;
extern Player* player;
extern bool keys[5];  // what the keyboard holds
// What the tick reads: an input is held while the keyboard or any gamepad holds it.
bool Held(KEYS input);

constexpr double TICK_SECONDS = 1.0 / 60;

// One tick, pass by pass, in the order StepWorld applies them.
void ApplyMovementIntent();
void UpdatePass();
void CollisionPass();           // linear in the world's size
void ReferenceCollisionPass();  // every pair: same result, quadratic
// The view follows the figure: builds the drawing transform without putting it in force.
void AimCamera(float* cameraPosition, ALLEGRO_TRANSFORM& camera);
// The tick's steps, drawing nothing and leaving the drawing transform as it is. Tests and
// benchmarks may put another collision pass in the game's place.
void StepWorld(float* cameraPosition, ALLEGRO_TRANSFORM& camera, void (*collisionPass)() = CollisionPass);
// The game's tick: StepWorld, then the camera's transform put in force for the next frame.
void RunTick(float* cameraPosition, ALLEGRO_TRANSFORM& camera);
void RemovalPass();  // runs after every timer event

// Frees every object, each told Destroy just before when tellDestroy, and leaves the world
// empty with no figure.
void EmptyWorld(bool tellDestroy);
// Shutdown: every remaining object is told Destroy and freed.
void DestroyPass();
