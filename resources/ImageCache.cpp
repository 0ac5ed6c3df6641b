#include "resources/ImageCache.h"

#include <map>

namespace {

std::map<std::string, ALLEGRO_BITMAP*> images;

const char* const PRELOAD_LIST[] = {"Background.png", "Blocks.png", "Quillorn.png"};

}  // namespace

void InitImages()
{
    PreloadImages();
}

void PreloadImages()
{
    for (const char* name : PRELOAD_LIST)
        LoadImage(name);
}

bool LoadImage(std::string name)
{
    if (images.count(name) != 0)
        return false;

    // Decode off-screen first: a cut-short PNG can leave a half-made picture tied to the
    // window that then never lets the window close, and turning white transparent is quicker
    // on a picture in memory than on one the graphics driver holds.
    const int flags = al_get_new_bitmap_flags();
    al_set_new_bitmap_flags(flags | ALLEGRO_MEMORY_BITMAP);
    ALLEGRO_BITMAP* bitmap = al_load_bitmap(name.c_str());
    al_set_new_bitmap_flags(flags);
    // A file that cannot be read leaves no entry, so no caller is ever handed a null picture.
    if (bitmap == nullptr)
        return false;

    // Pure white is the transparent colour of every picture of the game.
    al_convert_mask_to_alpha(bitmap, al_map_rgb(255, 255, 255));
    al_convert_bitmap(bitmap);  // into the window's own kind of picture, when there is a window
    images.emplace(name, bitmap);
    return true;
}

ALLEGRO_BITMAP* GetImage(std::string name)
{
    auto found = images.find(name);
    return found == images.end() ? nullptr : found->second;
}

void UnloadImage(std::string name)
{
    auto found = images.find(name);
    if (found == images.end())
        return;
    al_destroy_bitmap(found->second);
    images.erase(found);
}

void DestroyAllImages()
{
    for (auto& entry : images) {
        al_destroy_bitmap(entry.second);
        entry.second = nullptr;
    }
    images.clear();
}

std::string FirstMissingImage()
{
    for (const char* name : PRELOAD_LIST)
        if (images.count(name) == 0)
            return name;
    return "";
}
