#include "app/screen.h"

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "app/draw.h"
#include "app/output.h"
#include "app/rules.h"
#include "app/window_manager.h"

namespace {

// Small enough for any desktop, large enough that blocks can still be told apart.
constexpr int MINIMUM_WINDOW_SIZE = 150;

ALLEGRO_COLOR Sky()
{
    return al_map_rgb(SKY_RED, SKY_GREEN, SKY_BLUE);
}

// Rounds towards minus infinity, so a pointer left of or above the picture stays outside it.
std::int64_t FloorDivide(std::int64_t a, std::int64_t b)
{
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The game pixel whose square of window pixels holds the centre of window pixel at.
int ToGame(int at, int start, int size)
{
    const std::int64_t pixel = FloorDivide((2 * std::int64_t{at - start} + 1) * WINDOW_SIZE, 2 * std::int64_t{size});
    return static_cast<int>(std::clamp<std::int64_t>(pixel, 0, WINDOW_SIZE - 1));
}

// The picture is opaque: copying it over whatever lies beneath saves reading the target.
void CopyScaled(ALLEGRO_BITMAP* picture, int x, int y, int size, int pictureSize = WINDOW_SIZE)
{
    al_set_blender(ALLEGRO_ADD, ALLEGRO_ONE, ALLEGRO_ZERO);
    al_draw_scaled_bitmap(picture, 0, 0, pictureSize, pictureSize, x, y, size, size, 0);
}

ALLEGRO_BITMAP* CreateVideoBitmap(int size, int flags)
{
    ALLEGRO_STATE state;
    al_store_state(&state, ALLEGRO_STATE_NEW_BITMAP_PARAMETERS);
    al_set_new_bitmap_flags(ALLEGRO_VIDEO_BITMAP | ALLEGRO_NO_PRESERVE_TEXTURE | flags);
    ALLEGRO_BITMAP* bitmap = al_create_bitmap(size, size);
    al_restore_state(&state);
    return bitmap;
}

}  // namespace

PictureBox FitPicture(int windowWidth, int windowHeight)
{
    PictureBox box;
    box.size = std::max(0, std::min(windowWidth, windowHeight));
    box.left = (windowWidth - box.size) / 2;
    box.top = (windowHeight - box.size) / 2;
    return box;
}

GamePixel PointerToGame(int windowWidth, int windowHeight, int pointerX, int pointerY)
{
    const PictureBox box = FitPicture(windowWidth, windowHeight);
    if (box.size == 0)
        return GamePixel{};
    return GamePixel{ToGame(pointerX, box.left, box.size), ToGame(pointerY, box.top, box.size)};
}

int StartWindowSize(int monitorWidth, int monitorHeight)
{
    const int room = std::min(monitorWidth, monitorHeight) * 2 / 3;
    return std::max(1, room / WINDOW_SIZE) * WINDOW_SIZE;
}

int OpeningWindowSize()
{
    ALLEGRO_MONITOR_INFO monitor;
    if (!al_get_monitor_info(std::max(0, al_get_new_display_adapter()), &monitor))
        return WINDOW_SIZE;
    return StartWindowSize(monitor.x2 - monitor.x1, monitor.y2 - monitor.y1);
}

Sampling SamplingFor(const PictureBox& box)
{
    if (box.size == WINDOW_SIZE)
        return Sampling::None;
    return box.size > WINDOW_SIZE ? Sampling::Nearest : Sampling::Linear;
}

std::size_t DrawPicture(ALLEGRO_BITMAP* picture, const ALLEGRO_TRANSFORM& camera)
{
    ALLEGRO_BITMAP* previous = al_get_target_bitmap();
    al_set_target_bitmap(picture);
    // Each bitmap keeps its own transform: the tick set the camera on the window's.
    al_use_transform(&camera);
    al_clear_to_color(Sky());
    DrawRuledLines();
    const std::size_t drawn = RenderPass();
    if (previous != nullptr)
        al_set_target_bitmap(previous);
    return drawn;
}

void ShowPicture(ALLEGRO_BITMAP* picture, ALLEGRO_BITMAP* target, ALLEGRO_BITMAP* blended)
{
    ALLEGRO_STATE state;
    al_store_state(&state, ALLEGRO_STATE_BLENDER);
    ALLEGRO_TRANSFORM identity;
    al_identity_transform(&identity);

    const int width = al_get_bitmap_width(target);
    const int height = al_get_bitmap_height(target);
    const PictureBox box = FitPicture(width, height);

    ALLEGRO_BITMAP* shown = picture;
    int shownSize = WINDOW_SIZE;
    if (SamplingFor(box) == Sampling::Linear && blended != nullptr) {
        // Linear sampling reads two rows of its source for each row it makes: shrunk to less
        // than half at once, it would skip rows, ruled lines among them. Below half the picture
        // is first halved, each row of the half blending two of the picture's.
        if (box.size < WINDOW_SIZE / 2)
            shownSize = WINDOW_SIZE / 2;
        al_set_target_bitmap(blended);
        al_use_transform(&identity);
        CopyScaled(picture, 0, 0, shownSize);
        shown = blended;
    }

    al_set_target_bitmap(target);
    al_use_transform(&identity);
    // One clear of the whole window measured faster than four clipped clears of the borders
    // on the software renderer.
    al_clear_to_color(al_map_rgb(0, 0, 0));
    CopyScaled(shown, box.left, box.top, box.size, shownSize);
    al_restore_state(&state);
}

Screen::Screen(ALLEGRO_DISPLAY* display) : display_(display)
{
    al_set_window_constraints(display_, MINIMUM_WINDOW_SIZE, MINIMUM_WINDOW_SIZE, 0, 0);
    al_apply_window_constraints(display_, true);
}

Screen::~Screen()
{
    if (blended_ != nullptr)
        al_destroy_bitmap(blended_);
    if (picture_ != nullptr)
        al_destroy_bitmap(picture_);
    al_destroy_display(display_);
}

int Screen::Width() const
{
    return al_get_display_width(display_);
}

int Screen::Height() const
{
    return al_get_display_height(display_);
}

// The library's own switch waits up to a second for the window manager, and toggles rather
// than sets: its idea of fullscreen parts from the window's when a manager stalls or dies.
bool Screen::AskFullscreen(bool on)
{
    return AskWindowManagerForFullscreen(display_, on);
}

bool Screen::Fullscreen() const
{
    return WindowIsFullscreen(display_);
}

bool Screen::Hidden() const
{
    return WindowIsHidden(display_);
}

void Screen::AcknowledgeResize()
{
    al_acknowledge_resize(display_);
    skyCleared_ = false;
}

void Screen::Resize(int width, int height)
{
    al_resize_display(display_, width, height);
    skyCleared_ = false;
}

void Screen::Say(const char* line)
{
    TellOnStandardError(std::string(line) + "\n");
}

void Screen::ShowFrame(const ALLEGRO_TRANSFORM& camera)
{
    ALLEGRO_BITMAP* backbuffer = al_get_backbuffer(display_);
    const PictureBox box = FitPicture(al_get_bitmap_width(backbuffer), al_get_bitmap_height(backbuffer));
    al_set_target_bitmap(backbuffer);
    if (SamplingFor(box) != Sampling::None && picture_ == nullptr)
        picture_ = CreateVideoBitmap(WINDOW_SIZE, ALLEGRO_MIN_LINEAR);  // only ever shrunk to half
    // Without a picture of its own (no video memory left) the world is drawn unscaled.
    if (SamplingFor(box) == Sampling::None || picture_ == nullptr) {
        if (!skyCleared_)
            al_clear_to_color(Sky());
        al_use_transform(&camera);
        DrawWorld();
        al_flip_display();
        al_clear_to_color(Sky());
        skyCleared_ = true;
        return;
    }
    if (blended_ == nullptr && SamplingFor(box) == Sampling::Linear)
        blended_ = CreateVideoBitmap(WINDOW_SIZE, ALLEGRO_MIN_LINEAR | ALLEGRO_MAG_LINEAR);
    DrawPicture(picture_, camera);
    ShowPicture(picture_, backbuffer, blended_);
    al_flip_display();
    skyCleared_ = false;
}
