#pragma once

#include <allegro5/allegro.h>
#include <string>

#include "resources/PictureCheck.h"

// The one place pictures are loaded, kept and released. Names are exact keys (no case is
// folded); a name is looked for in each folder of the search list in turn (see
// GameFolders.h), and the key stays the bare name wherever the file was found.

void InitImages();
void PreloadImages();
bool LoadImage(std::string name);
ALLEGRO_BITMAP* GetImage(std::string name);  // null for a name that is not loaded
void UnloadImage(std::string name);
void DestroyAllImages();

// The first picture of the start-up list that could not be loaded, or "" when all are in.
std::string FirstMissingImage();

// Why the last attempt to load name failed, for a person: which file or which folders, what
// is wrong and what is needed. "" when it did not fail.
std::string WhyNotLoaded(const std::string& name);

// The smallest picture that the game can draw from under name (1 x 1 for any other name).
PictureSize LeastSizeOf(const std::string& name);
