#include "reference_pairs.h"

#include "objects/Cube.h"
#include "objects/GameObject.h"
#include "objects/Player.h"
#include "objects/Snow.h"

namespace bench {

namespace {

// Each stand-in is padded to the size of the game class it stands for, so that the
// reference loop walks as much memory as the collision pass does.
template <std::size_t GameSize>
class Padded : public PairProbe {
    static_assert(GameSize > sizeof(PairProbe), "the stand-in must not outgrow the game object");

protected:
    char padding[GameSize - sizeof(PairProbe)] = {};
};

class FigureProbe final : public Padded<sizeof(Player)> {
public:
    FigureProbe() { kind = PLAYER; }
    void Told(int otherKind, PairProbe*) override
    {
        if (otherKind == BLOCK)
            padding[0] = 1;
    }
};

class BlockProbe final : public Padded<sizeof(Cube)> {
public:
    BlockProbe() { kind = BLOCK; }
    void Told(int, PairProbe*) override {}
};

class SnowProbe final : public Padded<sizeof(Snow)> {
public:
    SnowProbe() { kind = SNOW; }
    // The particle's one question when told: is it below the world yet?
    void Told(int, PairProbe*) override
    {
        if (y > Snow::BOTTOM)
            alive = false;
    }
};

}  // namespace

std::vector<PairProbe*> MakeProbes(const std::vector<Kind>& kinds)
{
    std::vector<PairProbe*> probes;
    probes.reserve(kinds.size());
    for (Kind kind : kinds) {
        switch (kind) {
        case Kind::Figure:
            probes.push_back(new FigureProbe());
            break;
        case Kind::Block:
            probes.push_back(new BlockProbe());
            break;
        case Kind::Snow:
            probes.push_back(new SnowProbe());
            break;
        }
    }
    return probes;
}

void FreeProbes(std::vector<PairProbe*>& probes)
{
    for (PairProbe* probe : probes)
        delete probe;
    probes.clear();
}

}  // namespace bench
