// The linear collision pass against the every-pair pass, over random worlds and thousands of
// ticks: after every tick both must leave every object's every field the same, and every
// object that records its calls must have heard exactly the same calls, in the same order.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <unordered_map>
#include <vector>

#include "objects/Snow.h"
#include "test_support.h"

namespace {

// What a recorder heard: who, of which kind, from whom, and how the partner looked then.
struct Heard {
    int listener, kind, partner;
    bool partnerAlive;
    std::uint32_t partnerX, partnerY;
    bool operator==(const Heard& o) const
    {
        return listener == o.listener && kind == o.kind && partner == o.partner && partnerAlive == o.partnerAlive &&
               partnerX == o.partnerX && partnerY == o.partnerY;
    }
};

std::uint32_t Bits(float v)
{
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

// One world's journal, and where each object stood in the list when the pass began.
struct Journal {
    std::vector<Heard> heard;
    std::unordered_map<const GameObject*, int> place;
};

// An object of no declared interest, so the pass must tell it of every pair. Some die (and a
// few come back) in the middle of a row, some carry the block kind and move on each call,
// which the figure then meets at the new place.
class Recorder : public GameObject {
public:
    Recorder(int name, int kind, float x, float y, int bound, Journal* journal)
        : name(name), journal(journal)
    {
        Init(x, y, 0.0f, 0.0f, 0, 0, bound, bound);
        SetID(kind);
    }
    Recorder(const Recorder& other, Journal* journal) : Recorder(other) { this->journal = journal; }

    int dieOnCall = 0;      // 0: never
    bool revive = false;    // a dead recorder told of a pair comes back
    float stepPerCall = 0;  // moves right by this on every call

    void Collided(int kind, GameObject* other) override
    {
        journal->heard.push_back(
            Heard{name, kind, journal->place.at(other), other->IsAlive(), Bits(other->GetX()), Bits(other->GetY())});
        ++calls;
        x += stepPerCall;
        if (calls == dieOnCall)
            SetAlive(false);
        else if (revive && !IsAlive())
            SetAlive(true);
    }
    void SetCollidable(bool value) { collidable = value; }
    void WriteTo(Journal* to) { journal = to; }

private:
    int name;
    Journal* journal;
    int calls = 0;
};

GameObject* Clone(const GameObject* o, Journal* journal)
{
    if (const auto* r = dynamic_cast<const Recorder*>(o))
        return new Recorder(*r, journal);
    if (const auto* p = dynamic_cast<const Player*>(o))
        return new Player(*p);
    if (const auto* s = dynamic_cast<const Snow*>(o))
        return new Snow(*s);
    return new Cube(*static_cast<const Cube*>(o));
}

struct Recipe {
    int blocksOnGrid, blocksAnywhere, snow, recorders, extraFigures;
    bool shuffle;      // any list order, not only the figure first
    bool snowInFront;  // new snow, one at a time, goes to the front of the list
};

class World {
public:
    World(const Recipe& recipe, std::mt19937& gen) : gen(gen), recipe(recipe)
    {
        figure = new Player();
        figure->Init(nullptr);
        list.push_back(figure);
        for (int i = 0; i < recipe.extraFigures; ++i) {
            auto* other = new Player();
            other->Init(nullptr);
            list.push_back(other);
        }
        for (int i = 0; i < recipe.blocksOnGrid; ++i)
            list.push_back(new Cube(static_cast<float>(Cube::SIZE * Uniform(6, 20)),
                                    static_cast<float>(Cube::SIZE * Uniform(6, 24)), nullptr));
        for (int i = 0; i < recipe.blocksAnywhere; ++i)
            list.push_back(new Cube(Real(100.0f, 500.0f), Real(100.0f, 620.0f), nullptr));
        for (int i = 0; i < recipe.snow; ++i)
            AddSnow();
        for (int i = 0; i < recipe.recorders; ++i)
            AddRecorder();
        if (recipe.shuffle)
            std::shuffle(list.begin(), list.end(), gen);
    }
    ~World()
    {
        for (GameObject* o : list)
            delete o;
    }

    // Now and then a burst of snow just above the bottom, or a new recorder.
    void AddNewcomers()
    {
        if (Uniform(0, 9) == 0)
            for (int i = recipe.snowInFront ? 1 : Uniform(1, 8); i > 0; --i)
                AddSnow();
        if (recipe.recorders > 0 && Uniform(0, 19) == 0)
            AddRecorder();
    }

    std::vector<GameObject*> list;
    Player* figure = nullptr;
    Journal journal;

private:
    int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(gen); }
    float Real(float low, float high) { return std::uniform_real_distribution<float>(low, high)(gen); }

    // Most snow is a few pixels above the bottom, so that flakes cross it in the same tick.
    void AddSnow()
    {
        const float y = Uniform(0, 3) == 0 ? Real(0.0f, 1200.0f) : Real(1185.0f, 1200.0f);
        auto* snow = new Snow(Real(0.0f, 600.0f), y);
        if (recipe.snowInFront)
            list.insert(list.begin(), snow);
        else
            list.push_back(snow);
    }

    void AddRecorder()
    {
        static const int KINDS[] = {BLOCK, BLOCK, SNOW, PLAYER, 7, -1};
        auto* r = new Recorder(nextName++, KINDS[Uniform(0, 5)], Real(200.0f, 500.0f), Real(300.0f, 600.0f),
                               Uniform(0, 30), &journal);
        const int fate = Uniform(0, 5);
        if (fate <= 1)
            r->dieOnCall = Uniform(1, 40);
        if (fate == 2)
            r->SetCollidable(false);
        if (fate == 3) {
            r->dieOnCall = Uniform(1, 10);
            r->revive = true;
        }
        if (Uniform(0, 2) == 0)
            r->stepPerCall = 0.25f * Uniform(-4, 4);
        list.push_back(r);
    }

    std::mt19937& gen;
    Recipe recipe;
    int nextName = 0;
};

void NotePlaces(Journal& journal, const std::vector<GameObject*>& list)
{
    journal.place.clear();
    for (std::size_t i = 0; i < list.size(); ++i)
        journal.place[list[i]] = static_cast<int>(i);
}

// Runs pass over list as the world (player is its figure), then gives the list back.
template <class Pass>
void RunOn(std::vector<GameObject*>& list, Player* figure, Pass pass)
{
    objects.swap(list);
    player = figure;
    pass();
    objects.swap(list);
    player = nullptr;
}

TEST(CollisionEquivalenceTest, LinearPassLeavesEveryWorldAsTheEveryPairPassDoes)
{
    const Recipe recipes[] = {
        // blocks on the grid, blocks anywhere, snow, recorders, extra figures, shuffled, snow in front
        {40, 0, 30, 0, 0, false, false},  // the game's own kinds in the game's order
        {20, 20, 40, 0, 0, true, false},
        {10, 30, 20, 12, 0, false, false},
        {25, 15, 25, 10, 1, true, false},
        {0, 0, 60, 6, 0, true, false},
        {30, 30, 0, 20, 2, true, false},
        {20, 10, 1, 0, 0, false, true},  // a lone flake ahead of everything that collides
    };
    constexpr int SEEDS_PER_RECIPE = 3;
    constexpr int TICKS = 300;
    int told = 0, flakesEnded = 0, landings = 0;

    for (int r = 0; r < static_cast<int>(std::size(recipes)); ++r) {
        for (int seed = 0; seed < SEEDS_PER_RECIPE; ++seed) {
            std::mt19937 gen(1000 * r + seed);
            World world(recipes[r], gen);
            for (int tick = 0; tick < TICKS; ++tick) {
                SCOPED_TRACE(testing::Message() << "recipe " << r << ", seed " << seed << ", tick " << tick);
                // Keys are held for stretches, as a player holds them; a figure that walked
                // off the blocks is put back at its start.
                for (bool& key : keys)
                    if (std::bernoulli_distribution(0.08)(gen))
                        key = std::bernoulli_distribution(0.35)(gen);
                if (world.figure->GetX() < 150.0f || world.figure->GetX() > 500.0f)
                    world.figure->Init(nullptr);
                RunOn(world.list, world.figure, [] {
                    ApplyMovementIntent();
                    UpdatePass();
                });

                // The same world twice: one told by each pass.
                Journal otherJournal;
                std::vector<GameObject*> other;
                Player* otherFigure = nullptr;
                for (GameObject* o : world.list) {
                    other.push_back(Clone(o, &otherJournal));
                    if (o == world.figure)
                        otherFigure = static_cast<Player*>(other.back());
                }
                NotePlaces(world.journal, world.list);
                NotePlaces(otherJournal, other);
                world.journal.heard.clear();
                RunOn(world.list, world.figure, [] { CollisionPass(); });
                RunOn(other, otherFigure, [] { ReferenceCollisionPass(); });

                ASSERT_EQ(world.journal.heard.size(), otherJournal.heard.size());
                for (std::size_t k = 0; k < otherJournal.heard.size(); ++k)
                    ASSERT_TRUE(world.journal.heard[k] == otherJournal.heard[k]) << "recorded call " << k;
                told += static_cast<int>(otherJournal.heard.size());
                for (std::size_t i = 0; i < other.size(); ++i) {
                    flakesEnded += dynamic_cast<Snow*>(other[i]) != nullptr && !other[i]->IsAlive();
                    landings += other[i] == otherFigure && otherFigure->IsOnGround() &&
                                otherFigure->GetY() + Player::HEIGHT < Player::FLOOR;
                }
                for (std::size_t i = 0; i < other.size(); ++i)
                    ASSERT_EQ(StateOf(*world.list[i]), StateOf(*other[i])) << "object " << i;

                // Go on from either result, as they are the same.
                if (tick % 2 == 1) {
                    world.list.swap(other);
                    world.figure = otherFigure;
                    for (GameObject* o : world.list)
                        if (auto* rec = dynamic_cast<Recorder*>(o))
                            rec->WriteTo(&world.journal);
                }
                for (GameObject* o : other)
                    delete o;
                RunOn(world.list, world.figure, [] { RemovalPass(); });
                world.AddNewcomers();
            }
        }
    }
    // The worlds must have shown what they are for.
    EXPECT_GT(told, 100000);
    EXPECT_GT(flakesEnded, 1000);
    EXPECT_GT(landings, 300) << "the figure standing on blocks";
    ClearWorld();
}

// A subclass of a kind that declares may react to more than its parent: until it declares
// for itself it hears of every pair, as the every-pair pass tells it.
template <class Kind>
class Listening : public Kind {
public:
    using Kind::Kind;
    int calls = 0;
    void Collided(int kind, GameObject* other) override
    {
        ++calls;
        Kind::Collided(kind, other);
    }
};

TEST(CollisionEquivalenceTest, SubclassesOfDeclaringKindsHearOfEveryPair)
{
    for (void (*pass)() : {CollisionPass, ReferenceCollisionPass}) {
        auto* figure = StartWorldWith<Listening<Player>>();
        auto* flake = new Listening<Snow>(100.0f, 100.0f);
        auto* block = new Listening<Cube>(0.0f, 0.0f, nullptr);
        objects.insert(objects.end(), {new Cube(50.0f, 50.0f, nullptr), flake, block, new Snow(300.0f, 30.0f)});
        pass();
        EXPECT_EQ(figure->calls, 4);
        EXPECT_EQ(flake->calls, 4);
        EXPECT_EQ(block->calls, 4);
    }
    ClearWorld();
}

}  // namespace
