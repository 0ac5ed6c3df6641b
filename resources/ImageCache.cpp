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

    ALLEGRO_BITMAP* bitmap = al_load_bitmap(name.c_str());
    // A file that cannot be read leaves no entry, so no caller is ever handed a null picture.
    if (bitmap == nullptr)
        return false;

    // Pure white is the transparent colour of every picture of the game.
    al_convert_mask_to_alpha(bitmap, al_map_rgb(255, 255, 255));
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
