// One frame as the game draws it, into a real 600 by 600 window: the world (ruled lines,
// then every object), the flip, and the clear for the next frame. Run it under an X
// server (scripts/bench starts one through the test harness; tests/harness/run_under_x.py
// runs it alone under one). Pictures come from --pictures=DIR, by default the source
// tree's data folder.
//
// Software GL renders in threads of its own, so a frame's cost is only real if the flip
// waits for them. The /readback variants also read one pixel of the backbuffer after the
// clear, which cannot return before all drawing queued so far is done: if they cost no
// more than the plain ones, the flip was already waiting and the plain numbers are whole.
// The X server's own work (taking each flipped frame) is in the wall time only.
//
// The scaled frames are the game's in a window of another size (fullscreen on common
// screens): the world drawn into the 600 by 600 picture, shown as the largest centred square,
// and flipped. Their parts are timed apart too: showing a picture already drawn, and the
// flip alone. The X server's
// screen must be as large as the largest window (scripts/bench starts it so).

#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_opengl.h>
#include <allegro5/allegro_primitives.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/draw.h"
#include "app/screen.h"
#include "app/world.h"
#include "bench_world.h"
#include "resources/ImageCache.h"

namespace {

using namespace bench;

constexpr int WARM_UP_FRAMES = 5;

struct Scene {
    const char* name;
    int blocks;
    int snow;
    int farAway;  // further objects of the world, none of them in view
};

// The figure is in every scene but the empty one, as it is in every world of the game.
const Scene SCENES[] = {
    {"full", 1000, 500, 0},
    {"full_in_100k_world", 1000, 500, 100000 - 1501},
    {"blocks", 1000, 0, 0},
    {"snow", 0, 500, 0},
    {"empty", 0, 0, 0},
};

struct Size {
    const char* name;
    int width;
    int height;
};

// The game's own frame at 600 by 600 (drawn straight, to compare with frame/), fullscreen on
// the common screens, and a window at twice the picture.
const Size SCALED_SIZES[] = {
    {"600x600", 600, 600},
    {"1920x1080", 1920, 1080},
    {"2560x1440", 2560, 1440},
    {"3840x2160", 3840, 2160},
    {"1200x1200", 1200, 1200},
};

ALLEGRO_DISPLAY* display = nullptr;
Screen* screen = nullptr;

// The figure, then blocks and snow in the game's runs until each count is reached.
std::vector<Kind> SceneKinds(const Scene& scene)
{
    std::vector<Kind> kinds;
    if (scene.blocks == 0 && scene.snow == 0)
        return kinds;
    int blocks = 0;
    int snow = 0;
    for (Kind kind : GameMix(3 * (scene.blocks + scene.snow) + 1)) {
        if (kind == Kind::Figure)
            kinds.push_back(kind);
        else if (kind == Kind::Block && blocks < scene.blocks) {
            kinds.push_back(kind);
            ++blocks;
        } else if (kind == Kind::Snow && snow < scene.snow) {
            kinds.push_back(kind);
            ++snow;
        }
    }
    return kinds;
}

// DrawWorld's two steps, to learn how many objects were drawn.
std::size_t Frame()
{
    DrawRuledLines();
    const std::size_t drawn = RenderPass();
    al_flip_display();
    al_clear_to_color(al_map_rgb(SKY_RED, SKY_GREEN, SKY_BLUE));
    return drawn;
}

void ReadOnePixel()
{
    ALLEGRO_BITMAP* backbuffer = al_get_backbuffer(display);
    ALLEGRO_LOCKED_REGION* region =
        al_lock_bitmap_region(backbuffer, 0, 0, 1, 1, ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READONLY);
    if (region != nullptr) {
        benchmark::DoNotOptimize(*static_cast<const unsigned char*>(region->data));
        al_unlock_bitmap(backbuffer);
    }
}

// Which GL draws the frames, for the results' context: the numbers mean little without it.
std::string GlRenderer()
{
    using GetString = const unsigned char* (*)(unsigned int);
    constexpr unsigned int GL_RENDERER_NAME = 0x1F01;
    auto getString = reinterpret_cast<GetString>(al_get_opengl_proc_address("glGetString"));
    const unsigned char* name = getString != nullptr ? getString(GL_RENDERER_NAME) : nullptr;
    return name != nullptr ? reinterpret_cast<const char*>(name) : "unknown";
}

// The best of the repetitions: what a frame costs when nothing else got in its way.
double Fastest(const std::vector<double>& values)
{
    return values.empty() ? 0.0 : *std::min_element(values.begin(), values.end());
}

void BM_Frame(benchmark::State& state, const Scene* scene, bool readback)
{
    BuildWorld(SceneKinds(*scene), Placement::OnScreen, GetImage(BLOCKS_PICTURE), GetImage(FIGURE_PICTURE));
    AddFarAway(scene->farAway, GetImage(BLOCKS_PICTURE));
    al_set_target_backbuffer(display);
    ALLEGRO_TRANSFORM identity;
    al_identity_transform(&identity);
    al_use_transform(&identity);
    for (int i = 0; i < WARM_UP_FRAMES; ++i)
        Frame();
    if (readback)
        ReadOnePixel();
    std::size_t drawn = 0;
    for (auto _ : state) {
        drawn = Frame();
        if (readback)
            ReadOnePixel();
    }
    state.counters["objects"] = static_cast<double>(objects.size());
    state.counters["drawn"] = static_cast<double>(drawn);
    ClearWorld();
}

// The window at this size, for the scaled frames; back to 600 by 600 for the plain ones.
bool SizeWindow(int width, int height)
{
    if (al_get_display_width(display) != width || al_get_display_height(display) != height)
        al_resize_display(display, width, height);
    al_set_target_backbuffer(display);
    return al_get_display_width(display) == width && al_get_display_height(display) == height;
}

void BM_ScaledFrame(benchmark::State& state, const Scene* scene, const Size* size, bool readback)
{
    if (!SizeWindow(size->width, size->height)) {
        state.SkipWithError("the window could not take this size (is the X screen large enough?)");
        return;
    }
    BuildWorld(SceneKinds(*scene), Placement::OnScreen, GetImage(BLOCKS_PICTURE), GetImage(FIGURE_PICTURE));
    ALLEGRO_TRANSFORM camera;
    al_identity_transform(&camera);
    for (int i = 0; i < WARM_UP_FRAMES; ++i)
        screen->ShowFrame(camera);
    for (auto _ : state) {
        screen->ShowFrame(camera);
        if (readback)
            ReadOnePixel();
    }
    state.counters["objects"] = static_cast<double>(objects.size());
    ClearWorld();
    SizeWindow(WINDOW_SIZE, WINDOW_SIZE);
}

enum class Part { Show, FlipOnly };

// One part of the scaled frame, the picture drawn once before.
void BM_ScaledPart(benchmark::State& state, Part part, const Size* size)
{
    if (!SizeWindow(size->width, size->height)) {
        state.SkipWithError("the window could not take this size (is the X screen large enough?)");
        return;
    }
    BuildWorld(SceneKinds(SCENES[0]), Placement::OnScreen, GetImage(BLOCKS_PICTURE), GetImage(FIGURE_PICTURE));
    ALLEGRO_BITMAP* picture = al_create_bitmap(WINDOW_SIZE, WINDOW_SIZE);
    ALLEGRO_TRANSFORM camera;
    al_identity_transform(&camera);
    DrawPicture(picture, camera);
    ALLEGRO_BITMAP* backbuffer = al_get_backbuffer(display);
    auto once = [&] {
        if (part == Part::Show)
            ShowPicture(picture, backbuffer, nullptr);
        al_flip_display();
        ReadOnePixel();
    };
    for (int i = 0; i < WARM_UP_FRAMES; ++i)
        once();
    for (auto _ : state)
        once();
    al_destroy_bitmap(picture);
    ClearWorld();
    SizeWindow(WINDOW_SIZE, WINDOW_SIZE);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string pictures = PicturesFolder(argc, argv);
    for (const Scene& scene : SCENES) {
        for (bool readback : {false, true}) {
            const std::string name = std::string(readback ? "frame_readback/" : "frame/") + scene.name;
            benchmark::RegisterBenchmark(name.c_str(), BM_Frame, &scene, readback)
                ->Unit(benchmark::kMillisecond)
                // The drawing happens in GL threads of our own and in the X server: time
                // the frame by the wall clock, and count the CPU of every thread we own,
                // which a busy machine disturbs far less.
                ->UseRealTime()
                ->MeasureProcessCPUTime()
                ->ComputeStatistics("min", Fastest);
        }
    }
    for (const Size& size : SCALED_SIZES) {
        for (const Scene* scene : {&SCENES[0], &SCENES[4]}) {
            for (bool readback : {false, true}) {
                const std::string name = std::string(readback ? "frame_scaled_readback/" : "frame_scaled/") +
                                         scene->name + "/" + size.name;
                benchmark::RegisterBenchmark(name.c_str(), BM_ScaledFrame, scene, &size, readback)
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime()
                    ->MeasureProcessCPUTime()
                    ->ComputeStatistics("min", Fastest);
            }
        }
        const std::pair<const char*, Part> parts[] = {{"show", Part::Show}, {"flip", Part::FlipOnly}};
        for (const auto& [partName, part] : parts) {
            const std::string name = std::string("frame_scaled_part/") + partName + "/" + size.name;
            benchmark::RegisterBenchmark(name.c_str(), BM_ScaledPart, part, &size)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->MeasureProcessCPUTime()
                ->ComputeStatistics("min", Fastest);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;

    if (!al_init() || !al_init_image_addon() || !al_init_primitives_addon()) {
        std::fprintf(stderr, "frame_bench: Allegro did not start\n");
        return 1;
    }
    display = al_create_display(WINDOW_SIZE, WINDOW_SIZE);
    if (display == nullptr) {
        std::fprintf(stderr, "frame_bench: no window could be opened (is DISPLAY set to a running X server?)\n");
        return 1;
    }
    screen = new Screen(display);  // the game's own frame at other sizes; it owns the window
    // The game loads its pictures from the working folder; so does the benchmark.
    if (chdir(pictures.c_str()) != 0) {
        std::fprintf(stderr, "frame_bench: cannot enter the pictures folder %s\n", pictures.c_str());
        return 1;
    }
    InitImages();
    const std::string missing = FirstMissingImage();
    if (!missing.empty()) {
        std::fprintf(stderr, "frame_bench: cannot load %s from %s\n", missing.c_str(), pictures.c_str());
        return 1;
    }

    benchmark::AddCustomContext("pictures", pictures);
    benchmark::AddCustomContext("gl_renderer", GlRenderer());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    ClearWorld();
    DestroyAllImages();
    delete screen;
    return 0;
}
