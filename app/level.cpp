#include "app/level.h"

#include <fstream>

#include "app/world.h"
#include "objects/Cube.h"
#include "resources/GameFolders.h"
#include "resources/ImageCache.h"

int SnapToGrid(int x)
{
    if (x <= Cube::SIZE)
        return 0;
    return (x / Cube::SIZE) * Cube::SIZE;
}

int ReadLevel(std::istream& myfile, std::vector<GameObject*>& world)
{
    int added = 0;
    int a = 0;
    int b = 0;
    int c = 0;
    char commas = 0;
    // End of file right after the last number is not a failure, so a last line without a
    // line break still counts.
    while (myfile >> a >> commas >> b >> commas >> c) {
        world.push_back(new Cube(static_cast<float>(SnapToGrid(b)), static_cast<float>(c), GetImage("Blocks.png")));
        ++added;
    }
    return added;
}

void LoadLevel()
{
    // The player's own level in the working folder wins over the sample installed with the game.
    std::fstream myfile(FindGameFile("LoadLevel.txt"), std::ios::in);
    ReadLevel(myfile, objects);
}
