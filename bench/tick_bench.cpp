// One tick of the world as the game runs it, all but putting the view's transform in force
// (StepWorld, then the removal pass), over worlds of 1,000 to 1,000,000 objects of the
// game's mix, and over a world that levels have filled to the cap (MAX_WORLD_OBJECTS), whose
// tick must fit in 1/60 s.
// "linear" is the game's collision pass, "every_pair" the reference pass it must agree
// with, run where it finishes in reasonable time. "level" is the world of a long level:
// 100,000 blocks and the 1,500 snowflakes a player keeps in the air. Beside the whole tick, the collision
// pass's own share is reported (collision_ms).

#include <benchmark/benchmark.h>

#include <ctime>
#include <string>
#include <vector>

#include "app/capacity.h"
#include "app/world.h"
#include "bench_world.h"

namespace {

using namespace bench;

constexpr int LINEAR_SIZES[] = {1000, 10000, 100000, 1000000};
constexpr int EVERY_PAIR_SIZES[] = {1000, 3000, 10000};
constexpr unsigned SHUFFLE_SEED = 1234;

enum class Order { Realistic, Shuffled, Level, Cap };

// A level of blocks loaded at once, then the snow a player keeps releasing: the world of a
// long level, where snow is a small and passing share.
constexpr int LEVEL_BLOCKS = 100000;
constexpr int LEVEL_SNOW = 1500;

// At the cap: the world of levels loaded until it is full, with the same snow in the air.
std::vector<Kind> Kinds(int count, Order order)
{
    if (order != Order::Level && order != Order::Cap)
        return GameMix(count);
    const int blocks = order == Order::Level ? LEVEL_BLOCKS : count - 1 - LEVEL_SNOW;
    std::vector<Kind> kinds = {Kind::Figure};
    kinds.insert(kinds.end(), blocks, Kind::Block);
    kinds.insert(kinds.end(), count - 1 - blocks, Kind::Snow);
    return kinds;
}
using Pass = void (*)();

void Build(const std::vector<Kind>& kinds, Order order)
{
    BuildWorld(kinds, Placement::Level, nullptr, nullptr);
    if (order == Order::Shuffled)
        Reorder(objects, ShuffledOrder(objects.size(), SHUFFLE_SEED));
}

// CPU time of this thread: other work on the machine does not count against a pass.
double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// The collision pass under test, timed on its own inside the tick.
Pass timedPass = CollisionPass;
double timedSeconds = 0.0;

void TimedCollisionPass()
{
    const double start = ThreadSeconds();
    timedPass();
    timedSeconds += ThreadSeconds() - start;
}

void BM_Tick(benchmark::State& state, int count, Order order, Pass collisionPass)
{
    const std::vector<Kind> kinds = Kinds(count, order);
    Build(kinds, order);
    timedPass = collisionPass;
    float cameraPosition[2] = {0, 0};
    ALLEGRO_TRANSFORM camera;
    auto tick = [&](double& collisionSeconds) {
        timedSeconds = 0.0;
        StepWorld(cameraPosition, camera, TimedCollisionPass);
        collisionSeconds += timedSeconds;
        RemovalPass();
    };

    double collisionSeconds = 0.0;
    tick(collisionSeconds);  // the figure starts in the air; let the first tick settle it
    collisionSeconds = 0.0;
    long ticks = 1;
    for (auto _ : state) {
        if (ticks >= SNOW_TICKS) {
            // Keep the snow from reaching the bottom: a dying particle would shrink the world.
            state.PauseTiming();
            Build(kinds, order);
            ticks = 0;
            state.ResumeTiming();
        }
        const double start = ThreadSeconds();
        tick(collisionSeconds);
        state.SetIterationTime(ThreadSeconds() - start);
        ++ticks;
    }
    if (objects.size() != static_cast<std::size_t>(count))
        state.SkipWithError("the world lost objects during the run");
    ClearWorld();

    const double iterations = static_cast<double>(state.iterations());
    state.counters["objects"] = count;
    state.counters["collision_ms"] = iterations > 0 ? 1e3 * collisionSeconds / iterations : 0.0;
    // Seconds per object: the console shows it with an SI prefix (25n is 25 ns).
    state.counters["s_per_object"] =
        benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void Register(const char* pass, const char* order, int count, Order o, Pass p)
{
    const std::string name = std::string("tick/") + pass + "/" + order + "/" + std::to_string(count);
    benchmark::RegisterBenchmark(name.c_str(), BM_Tick, count, o, p)->Unit(benchmark::kMillisecond)->UseManualTime();
}

}  // namespace

int main(int argc, char** argv)
{
    for (int count : LINEAR_SIZES) {
        Register("linear", "realistic", count, Order::Realistic, CollisionPass);
        Register("linear", "shuffled", count, Order::Shuffled, CollisionPass);
    }
    Register("linear", "level", 1 + LEVEL_BLOCKS + LEVEL_SNOW, Order::Level, CollisionPass);
    Register("linear", "cap", static_cast<int>(MAX_WORLD_OBJECTS), Order::Cap, CollisionPass);
    for (int count : EVERY_PAIR_SIZES)
        Register("every_pair", "realistic", count, Order::Realistic, ReferenceCollisionPass);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
