#include "objects/Player.h"

void Player::Init(ALLEGRO_BITMAP* image)
{
    GameObject::Init(START_X, START_Y, 3, 3, 0, 0, WIDTH, HEIGHT);
    SetID(PLAYER);
    SetAlive(true);

    jumpState = 1;
    onGround = false;

    maxFrame = 9;
    curFrame = 0;
    frameCount = 0;
    frameDelay = 3;
    frameWidth = WIDTH;
    frameHeight = HEIGHT;
    animationRow = 3;

    // A reset without a picture keeps the one the figure already has.
    if (image != nullptr)
        this->image = image;
}

void Player::Jump()
{
    if (onGround) {
        jumpState = 0;
        curFrame = 0;
    }
}

void Player::ResetAnimation(int position)
{
    if (position == 1) {
        dirY = 1;
        if (!onGround)
            jumpState = 1;  // Up released: the rise ends here
    } else {
        curFrame = 0;
        dirX = 0;
    }
}

void Player::Destroy()
{
    GameObject::Destroy();
}

// The speed changes below are worked in double and stored as float, and the thresholds
// -3.5, 0.2 and -1.5 are compared in double: the jump's height and the landing tick
// depend on those exact roundings.
void Player::Update()
{
    GameObject::Update();
    // The view never shows x below 0: the world's left edge stops the figure like a wall.
    if (x < 0)
        x = 0;

    const int floorY = FLOOR - boundY;
    if (y >= floorY) {
        velY = 0;
        y = floorY;
        onGround = true;
    }

    if (jumpState == 0) {
        if (onGround) {
            velY = -2.6f;
            onGround = false;
        }
        if (!onGround)
            velY = velY - 0.125;
        if (velY < -3.5)
            jumpState = 1;
    }

    if (jumpState == 1) {
        velY = velY + 0.1635;
        if (velY > 0.2)
            onGround = false;

        if (!onGround) {
            if (velY > 5.0f)
                velY = 5.0f;

            if (animationRow == 0 || dirX > 0)
                animationRow = 2;
            if (animationRow == 1 || dirX < 0)
                animationRow = 3;

            if (velY > -5.0f)
                curFrame = 0;
            if (velY > -1.5)
                curFrame = 1;
            if (velY > 0.0f)
                curFrame = 2;
        } else {
            if (dirX > 0 || animationRow == 2) {
                frameCount++;
                animationRow = 0;
            }
            if (dirX < 0 || animationRow == 3) {
                frameCount++;
                animationRow = 1;
            }
            if (frameCount > frameDelay) {
                frameCount = 0;
                curFrame++;
                if (curFrame == maxFrame)
                    curFrame = 1;  // the walking cycle skips the standing frame
            }
        }
    }
}

void Player::Render()
{
    GameObject::Render();
    if (image == nullptr)
        return;
    al_draw_scaled_bitmap(image, curFrame * frameWidth, animationRow * frameHeight, frameWidth, frameHeight,
                          x, y, frameWidth, frameHeight, 0);
}

void Player::Collided(int objectID, GameObject* other)
{
    if (objectID != BLOCK)
        return;

    const float left1 = x;
    const float right1 = x + boundX;
    const float top1 = y;
    const float bottom1 = y + boundY;
    const float left2 = other->GetX();
    const float right2 = left2 + other->GetBoundX();
    const float top2 = other->GetY();
    const float bottom2 = top2 + other->GetBoundY();

    if (bottom1 > top2 && bottom2 > top1) {
        if (right1 >= left2 && left2 > left1 && dirX != -1) {
            x = left2 - boundX;
            curFrame = 0;
            return;
        }
        // Tests right1 > left2, not right1 > right2: a figure overlapping the block's left
        // part while walking left ends up at its right face.
        if (right2 >= left1 && right1 > left2 && dirX != 1) {
            x = right2;
            curFrame = 0;
            return;
        }
    }

    // More than 3 pixels of overlap on each side, so walking off an edge starts the fall.
    if (right1 - 3 > left2 && right2 > left1 + 3) {
        // Looks one step ahead so a falling figure is set on top before it sinks in.
        if (bottom1 + velY > top2 && top2 > top1) {
            velY = 0;
            y = top2 - boundY;
            onGround = true;
            return;
        }
        if (bottom2 > top1 + velY && bottom1 > bottom2) {
            velY = 0;
            jumpState = 1;
        }
    }
}
