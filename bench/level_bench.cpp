// Loading a level of 10,000 and of 100,000 blocks: LoadLevel from the working folder as the game does,
// and ReadLevel over the same text in memory, which leaves the disk and the file stream
// out. The blocks are freed between loads, off the clock. The game takes one slice a tick:
// "slices" is how many the load took, and game_s the time it takes in the game at 60 ticks a
// second when the machine keeps up.

#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/level.h"
#include "app/level_load.h"
#include "app/world.h"
#include "bench_world.h"
#include "resources/ImageCache.h"
#include "tests/level_support.h"

namespace {

using namespace bench;

constexpr int LEVEL_SIZES[] = {10000, 100000};

// Records as the level editor writes them: "n,x,y", one a line, blocks anywhere in a
// wide level.
std::string LevelText(int records)
{
    std::mt19937 gen(77);
    std::uniform_int_distribution<int> xs(0, 9600);
    std::uniform_int_distribution<int> rows(0, 24);
    std::string text;
    char line[40];
    for (int i = 0; i < records; ++i) {
        std::snprintf(line, sizeof line, "%d,%d,%d\n", i % 4, xs(gen), 24 * rows(gen));
        text += line;
    }
    return text;
}

void FreeBlocks(benchmark::State& state, int records)
{
    state.PauseTiming();
    if (objects.size() != static_cast<std::size_t>(records))
        state.SkipWithError("the level did not load whole");
    ClearWorld();
    state.ResumeTiming();
}

void SetRecordCounters(benchmark::State& state, int records)
{
    state.counters["records"] = records;
    // Seconds per record: the console shows it with an SI prefix (2.1u is 2.1 us).
    state.counters["s_per_record"] =
        benchmark::Counter(records, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// LevelLoad reads LoadLevel.txt of the working folder: each size has a folder of its own.
void BM_LoadLevel(benchmark::State& state, std::string folder, int records)
{
    ClearWorld();
    if (chdir(folder.c_str()) != 0)
        state.SkipWithError("cannot enter the level's folder");
    std::int64_t slices = 0;
    for (auto _ : state) {
        // Space reads the first slice; the ticks that follow read the rest.
        LoadLevel();
        ++slices;
        for (std::int64_t tick = 0; LevelLoading(); ++tick, ++slices)
            ContinueLevelLoad(tick, tick);
        FreeBlocks(state, records);
    }
    SetRecordCounters(state, records);
    const double loads = static_cast<double>(state.iterations());
    state.counters["slices"] = loads > 0 ? static_cast<double>(slices) / loads : 0.0;
    state.counters["game_s"] = loads > 0 ? static_cast<double>(slices) / loads * TICK_SECONDS : 0.0;
}

void BM_ReadLevelFromMemory(benchmark::State& state, const std::string* text, int records)
{
    ClearWorld();
    for (auto _ : state) {
        std::istringstream in(*text);
        ReadLevel(in, objects);
        FreeBlocks(state, records);
    }
    SetRecordCounters(state, records);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string pictures = PicturesFolder(argc, argv);
    std::vector<std::string> texts;
    for (int records : LEVEL_SIZES)
        texts.push_back(LevelText(records));
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

    char scratch[] = "/tmp/level-bench-XXXXXX";
    if (mkdtemp(scratch) == nullptr) {
        std::perror("level_bench: cannot make a scratch folder");
        return 1;
    }
    std::vector<std::string> folders;
    for (std::size_t k = 0; k < texts.size(); ++k) {
        const int records = LEVEL_SIZES[k];
        folders.push_back(std::string(scratch) + "/" + std::to_string(records));
        std::ofstream out;
        if (mkdir(folders.back().c_str(), 0700) == 0)
            out.open(folders.back() + "/LoadLevel.txt");
        out << texts[k];
        if (!out) {
            std::fprintf(stderr, "level_bench: cannot write %s/LoadLevel.txt\n", folders.back().c_str());
            return 1;
        }
        const std::string size = std::to_string(records);
        benchmark::RegisterBenchmark(("level/LoadLevel/" + size).c_str(), BM_LoadLevel, folders.back(), records)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("level/ReadLevel_memory/" + size).c_str(), BM_ReadLevelFromMemory, &texts[k],
                                     records)
            ->Unit(benchmark::kMillisecond);
    }

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    ClearWorld();
    DestroyAllImages();
    for (const std::string& folder : folders) {
        std::remove((folder + "/LoadLevel.txt").c_str());
        rmdir(folder.c_str());
    }
    if (chdir("/") != 0 || rmdir(scratch) != 0)
        std::perror("level_bench: cannot remove the scratch folder");
    return 0;
}
