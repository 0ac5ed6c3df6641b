#pragma once

#include <allegro5/allegro.h>
#include <gtest/gtest.h>

#include "app/world.h"
#include "objects/Cube.h"

// Empties the world (freeing what is in it) and clears the held keys.
inline void ClearWorld()
{
    for (GameObject* object : objects)
        delete object;
    objects.clear();
    player = nullptr;
    for (bool& key : keys)
        key = false;
}

// A fresh world holding only a figure at its start, with no picture.
inline Player* StartWorld()
{
    ClearWorld();
    player = new Player();
    player->Init(nullptr);
    objects.push_back(player);
    return player;
}

// Keeps the world of a test from leaking into the next one.
class WorldTest : public ::testing::Test {
protected:
    void SetUp() override { StartWorld(); }
    void TearDown() override { ClearWorld(); }
};

// A memory bitmap that is the drawing target for its lifetime, cleared to a colour.
class Canvas {
public:
    Canvas(int width, int height, ALLEGRO_COLOR background = al_map_rgb(70, 200, 255))
        : bitmap_(al_create_bitmap(width, height)), previous_(al_get_target_bitmap())
    {
        al_set_target_bitmap(bitmap_);
        ALLEGRO_TRANSFORM identity;
        al_identity_transform(&identity);
        al_use_transform(&identity);
        al_clear_to_color(background);
    }
    ~Canvas()
    {
        al_set_target_bitmap(previous_);
        al_destroy_bitmap(bitmap_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    ALLEGRO_BITMAP* bitmap() const { return bitmap_; }

    // The pixel as 8-bit red, green, blue, alpha.
    struct Rgba {
        unsigned char r, g, b, a;
        bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
    };
    Rgba At(int x, int y) const
    {
        Rgba p{};
        al_unmap_rgba(al_get_pixel(bitmap_, x, y), &p.r, &p.g, &p.b, &p.a);
        return p;
    }

private:
    ALLEGRO_BITMAP* bitmap_;
    ALLEGRO_BITMAP* previous_;
};

inline std::ostream& operator<<(std::ostream& out, const Canvas::Rgba& p)
{
    return out << "(" << int(p.r) << "," << int(p.g) << "," << int(p.b) << "," << int(p.a) << ")";
}
