#include "bench_world.h"

#include <malloc.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "app/input.h"
#include "app/world.h"
#include "objects/Cube.h"
#include "objects/Player.h"
#include "objects/Snow.h"

namespace bench {

namespace {

constexpr int BLOCK_RUN = 100;
constexpr int BURSTS_PER_RUN = 2;

// Snow falls at most 5 pixels a tick and dies below Snow::BOTTOM.
constexpr float MAX_SNOW_FALL = 5.0f;
constexpr float HIGH_SNOW_Y = -(SNOW_TICKS + 10000) * MAX_SNOW_FALL;
static_assert(HIGH_SNOW_Y > -16777216.0f, "whole-pixel falls must stay exact in float");

Snow* OnScreenSnow(std::mt19937& gen)
{
    // The dot is drawn at (x / 2 + scatter, y - 300) with a scatter of its own; draw new
    // particles until one lands inside the window.
    std::uniform_real_distribution<float> xs(0.0f, 400.0f);
    std::uniform_real_distribution<float> ys(300.0f, 300.0f + WINDOW_SIZE);
    for (;;) {
        Snow* snow = new Snow(xs(gen), ys(gen));
        const float drawnX = snow->GetX() / 2.0f + snow->GetScatterX();
        if (drawnX >= 0.0f && drawnX < WINDOW_SIZE)
            return snow;
        delete snow;
    }
}

}  // namespace

std::vector<Kind> GameMix(int count)
{
    std::vector<Kind> kinds;
    if (count <= 0)
        return kinds;
    kinds.push_back(Kind::Figure);
    const int others = count - 1;
    int blocksLeft = (others * 2 + 1) / 3;
    int snowLeft = others - blocksLeft;
    while (blocksLeft > 0 || snowLeft > 0) {
        const int run = std::min(BLOCK_RUN, blocksLeft);
        kinds.insert(kinds.end(), run, Kind::Block);
        blocksLeft -= run;
        for (int burst = 0; burst < BURSTS_PER_RUN; ++burst) {
            const int flakes = std::min(SNOW_BURST_SIZE, snowLeft);
            kinds.insert(kinds.end(), flakes, Kind::Snow);
            snowLeft -= flakes;
        }
    }
    return kinds;
}

void BuildWorld(const std::vector<Kind>& kinds, Placement placement, ALLEGRO_BITMAP* blockSheet,
                ALLEGRO_BITMAP* figureSheet)
{
    ClearWorld();
    objects.reserve(kinds.size());
    std::mt19937 gen(20240607);
    std::uniform_real_distribution<float> levelSnowX(0.0f, 100.0f * Cube::SIZE);
    std::uniform_real_distribution<float> levelSnowY(HIGH_SNOW_Y, HIGH_SNOW_Y + 1000.0f);
    int block = 0;
    int flakes = 0;
    for (Kind kind : kinds) {
        switch (kind) {
        case Kind::Figure:
            player = new Player();
            player->Init(figureSheet);
            objects.push_back(player);
            break;
        case Kind::Block: {
            const int columns = placement == Placement::Level ? BLOCK_RUN : WINDOW_SIZE / Cube::SIZE;
            int row = block / columns;
            if (placement == Placement::OnScreen)
                row %= WINDOW_SIZE / Cube::SIZE;
            const float x = static_cast<float>((block % columns) * Cube::SIZE);
            const float y = static_cast<float>(Player::FLOOR - Cube::SIZE * (row + 1));
            objects.push_back(new Cube(x, y, blockSheet));
            ++block;
            break;
        }
        case Kind::Snow:
            if (placement == Placement::Level) {
                // Bursts released at different times change their wind on different ticks,
                // as in the game, instead of all of them on the same one.
                Snow* snow = new Snow(levelSnowX(gen), levelSnowY(gen));
                const int age = (flakes / SNOW_BURST_SIZE) * 7 % (Snow::WIND_PERIOD + 1);
                for (int i = 0; i < age; ++i)
                    snow->Update();
                objects.push_back(snow);
            } else {
                objects.push_back(OnScreenSnow(gen));
            }
            ++flakes;
            break;
        }
    }
}

void AddFarAway(int count, ALLEGRO_BITMAP* blockSheet)
{
    std::mt19937 gen(31337);
    std::uniform_real_distribution<float> snowX(10000.0f, 100000.0f);
    std::uniform_real_distribution<float> snowY(-300.0f, 1200.0f);
    int block = 0;
    for (Kind kind : GameMix(count + 1)) {
        if (kind == Kind::Block) {
            const float x = 2400.0f + static_cast<float>((block % 1000) * Cube::SIZE);
            const float y = static_cast<float>(Player::FLOOR - Cube::SIZE * (block / 1000 + 1));
            objects.push_back(new Cube(x, y, blockSheet));
            ++block;
        } else if (kind == Kind::Snow) {
            // The dot is drawn at x / 2 + scatter, and the scatter is within 600 of x.
            objects.push_back(new Snow(snowX(gen), snowY(gen)));
        }
    }
}

void ClearWorld()
{
    EmptyWorld(false);
    ReleaseHeldKeys();
    // Give the freed objects back in one piece, so that the next world is laid out in the
    // order it is made, as a level loaded at start is, and not in the order this one died.
    malloc_trim(0);
}

std::vector<std::size_t> ShuffledOrder(std::size_t count, unsigned seed)
{
    std::vector<std::size_t> order(count);
    for (std::size_t i = 0; i < count; ++i)
        order[i] = i;
    if (count > 2) {
        std::mt19937 gen(seed);
        std::shuffle(order.begin() + 1, order.end(), gen);
    }
    return order;
}

std::string PicturesFolder(int& argc, char** argv)
{
    static const char FLAG[] = "--pictures=";
    std::string folder = PLATFORMER_PICTURES_DIR;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], FLAG, sizeof(FLAG) - 1) == 0)
            folder = argv[i] + sizeof(FLAG) - 1;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    return folder;
}

}  // namespace bench
