#pragma once

#include <allegro5/allegro.h>
#include <string>

// The one place pictures are loaded, kept and released. Names are paths relative to the
// working directory and exact keys: no folder is added, no case folded.

void InitImages();
void PreloadImages();
bool LoadImage(std::string name);
ALLEGRO_BITMAP* GetImage(std::string name);  // null for a name that is not loaded
void UnloadImage(std::string name);
void DestroyAllImages();

// The first picture of the start-up list that could not be loaded, or "" when all are in.
std::string FirstMissingImage();
