#include "objects/GameObject.h"

void GameObject::Destroy() {}

void GameObject::Update()
{
    x += dirX * velX;
    y += dirY * velY;
}

void GameObject::Render() {}

void GameObject::Collided(int, GameObject*) {}

void GameObject::Init(float x, float y, float velX, float velY, int dirX, int dirY, int boundX, int boundY)
{
    this->x = x;
    this->y = y;
    this->velX = velX;
    this->velY = velY;
    this->dirX = dirX;
    this->dirY = dirY;
    this->boundX = boundX;
    this->boundY = boundY;
}
