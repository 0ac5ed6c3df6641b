// One tick of the world as the game runs it (the camera aside): movement intent, update,
// collision and removal passes, over worlds of 100 to 3000 objects. Beside each, a bare
// loop that makes only the two virtual calls of every told pair over stand-ins of the same
// kinds in the same order; the ratio of the two says how far the tick is from that floor
// and stays put when the machine is busy.

#include <benchmark/benchmark.h>

#include <ctime>
#include <string>
#include <vector>

#include "app/world.h"
#include "bench_world.h"
#include "reference_pairs.h"

namespace {

using namespace bench;

constexpr int WORLD_SIZES[] = {100, 500, 1000, 1500, 3000};
constexpr unsigned SHUFFLE_SEED = 1234;

enum class Order { Realistic, Shuffled };

void Build(const std::vector<Kind>& kinds, Order order)
{
    BuildWorld(kinds, Placement::Level, nullptr, nullptr);
    if (order == Order::Shuffled)
        Reorder(objects, ShuffledOrder(objects.size(), SHUFFLE_SEED));
}

void Tick()
{
    ApplyMovementIntent();
    UpdatePass();
    CollisionPass();
    RemovalPass();
}

// CPU time of this thread: other work on the machine does not count against a pass.
double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// The collision pass's pair walk with nothing but the two calls per pair.
void ReferencePairs(PairProbe* const* list, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        PairProbe* a = list[i];
        for (std::size_t j = i + 1; j < n; ++j) {
            PairProbe* b = list[j];
            a->Told(b->GetKind(), b);
            b->Told(a->GetKind(), a);
        }
    }
}

// Each iteration times one tick and then one reference walk over stand-ins of the same
// kinds in the same order. The benchmark's time is the tick's alone; alternating the two
// makes them meet the same machine, so their ratio holds when the machine is busy.
void BM_Tick(benchmark::State& state, int count, Order order)
{
    const std::vector<Kind> kinds = GameMix(count);
    Build(kinds, order);
    std::vector<PairProbe*> probes = MakeProbes(kinds);
    if (order == Order::Shuffled)
        Reorder(probes, ShuffledOrder(probes.size(), SHUFFLE_SEED));

    Tick();  // the figure starts in the air; let the first tick settle it
    long ticks = 1;
    double tickSeconds = 0.0;
    double referenceSeconds = 0.0;
    for (auto _ : state) {
        if (ticks >= SNOW_TICKS) {
            // Keep the snow from reaching the bottom: a dying particle would shrink the world.
            Build(kinds, order);
            ticks = 0;
        }
        const double start = ThreadSeconds();
        Tick();
        const double ticked = ThreadSeconds();
        ReferencePairs(probes.data(), probes.size());
        benchmark::ClobberMemory();
        const double referenced = ThreadSeconds();
        ++ticks;
        state.SetIterationTime(ticked - start);
        tickSeconds += ticked - start;
        referenceSeconds += referenced - ticked;
    }
    if (objects.size() != static_cast<std::size_t>(count))
        state.SkipWithError("the world lost objects during the run");
    ClearWorld();
    FreeProbes(probes);

    const double pairs = PairCount(static_cast<std::size_t>(count));
    const double iterations = static_cast<double>(state.iterations());
    state.counters["objects"] = count;
    state.counters["pairs"] = pairs;
    // Seconds per pair: the console shows it with an SI prefix (3.1n is 3.1 ns).
    state.counters["s_per_pair"] =
        benchmark::Counter(pairs, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["reference_s_per_pair"] = iterations > 0 ? referenceSeconds / (iterations * pairs) : 0.0;
    state.counters["tick_per_reference"] = referenceSeconds > 0 ? tickSeconds / referenceSeconds : 0.0;
}

}  // namespace

int main(int argc, char** argv)
{
    for (int count : WORLD_SIZES) {
        for (Order order : {Order::Realistic, Order::Shuffled}) {
            const std::string name = std::string(order == Order::Realistic ? "tick/realistic/" : "tick/shuffled/") +
                                     std::to_string(count);
            benchmark::RegisterBenchmark(name.c_str(), BM_Tick, count, order)
                ->Unit(benchmark::kMicrosecond)
                ->UseManualTime();
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
