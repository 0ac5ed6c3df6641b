#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_primitives.h>
#include <gtest/gtest.h>

// Allegro without a display: memory bitmaps, drawing into them and reading pixels back all
// work after al_init, so the whole suite runs headless.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!al_init() || !al_init_image_addon() || !al_init_primitives_addon())
        return 2;
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    return RUN_ALL_TESTS();
}
