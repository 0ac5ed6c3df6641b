// Loading a level of 10,000 blocks: LoadLevel from the working folder as the game does,
// and ReadLevel over the same text in memory, which leaves the disk and the file stream
// out. The blocks are freed between loads, off the clock.

#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "app/level.h"
#include "app/world.h"
#include "bench_world.h"
#include "resources/ImageCache.h"

namespace {

using namespace bench;

constexpr int RECORDS = 10000;

// Records as the level editor writes them: "n,x,y", one a line, blocks anywhere in a
// wide level.
std::string LevelText()
{
    std::mt19937 gen(77);
    std::uniform_int_distribution<int> xs(0, 9600);
    std::uniform_int_distribution<int> rows(0, 24);
    std::string text;
    char line[40];
    for (int i = 0; i < RECORDS; ++i) {
        std::snprintf(line, sizeof line, "%d,%d,%d\n", i % 4, xs(gen), 24 * rows(gen));
        text += line;
    }
    return text;
}

void FreeBlocks(benchmark::State& state)
{
    state.PauseTiming();
    if (objects.size() != static_cast<std::size_t>(RECORDS))
        state.SkipWithError("the level did not load whole");
    ClearWorld();
    state.ResumeTiming();
}

void SetRecordCounters(benchmark::State& state)
{
    state.counters["records"] = RECORDS;
    // Seconds per record: the console shows it with an SI prefix (2.1u is 2.1 us).
    state.counters["s_per_record"] =
        benchmark::Counter(RECORDS, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_LoadLevel(benchmark::State& state)
{
    ClearWorld();
    for (auto _ : state) {
        LoadLevel();
        FreeBlocks(state);
    }
    SetRecordCounters(state);
}

void BM_ReadLevelFromMemory(benchmark::State& state, const std::string* text)
{
    ClearWorld();
    for (auto _ : state) {
        std::istringstream in(*text);
        ReadLevel(in, objects);
        FreeBlocks(state);
    }
    SetRecordCounters(state);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string pictures = PicturesFolder(argc, argv);
    const std::string text = LevelText();
    benchmark::RegisterBenchmark("level/LoadLevel", BM_LoadLevel)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("level/ReadLevel_memory", BM_ReadLevelFromMemory, &text)
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    // Every block asks the image cache for its sheet, so load the pictures as the game
    // does (memory bitmaps: there is no window). Without them the cache is empty and each
    // look-up is a little cheaper; say so rather than stop.
    if (!al_init() || !al_init_image_addon()) {
        std::fprintf(stderr, "level_bench: Allegro did not start\n");
        return 1;
    }
    if (chdir(pictures.c_str()) == 0)
        InitImages();
    const std::string missing = FirstMissingImage();
    if (!missing.empty())
        std::fprintf(stderr, "level_bench: warning: %s not loaded from %s; blocks get no sheet\n", missing.c_str(),
                     pictures.c_str());
    benchmark::AddCustomContext("pictures", missing.empty() ? pictures : "none");

    char folder[] = "/tmp/level-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr || chdir(folder) != 0) {
        std::perror("level_bench: cannot make a scratch folder");
        return 1;
    }
    {
        std::ofstream out("LoadLevel.txt");
        out << text;
        if (!out) {
            std::fprintf(stderr, "level_bench: cannot write %s/LoadLevel.txt\n", folder);
            return 1;
        }
    }

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    ClearWorld();
    DestroyAllImages();
    std::remove((std::string(folder) + "/LoadLevel.txt").c_str());
    if (chdir("/") != 0 || rmdir(folder) != 0)
        std::perror("level_bench: cannot remove the scratch folder");
    return 0;
}
