#pragma once

#include <allegro5/allegro.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

#include "app/input.h"
#include "app/world.h"
#include "objects/Cube.h"
#include "objects/Snow.h"

// Empties the world (freeing what is in it, telling nothing) and clears the held keys.
inline void ClearWorld()
{
    EmptyWorld(false);
    ReleaseHeldKeys();
}

// One timer event as the game handles it, the drawing transform aside: the tick's steps,
// then the removal pass.
inline void Tick()
{
    float cameraPosition[2] = {0, 0};
    ALLEGRO_TRANSFORM camera;
    StepWorld(cameraPosition, camera);
    RemovalPass();
}

// The figure with its protected state reachable, to set up contacts, frames and views directly.
struct PlayerProbe : Player {
    void Place(float px, float py, float vy = 0, int dx = 0)
    {
        x = px;
        y = py;
        velY = vy;
        dirX = dx;
    }
    void SetFrame(int column, int row)
    {
        curFrame = column;
        animationRow = row;
    }
    void SetFrameCount(int count) { frameCount = count; }
};

// A fresh world holding only a figure at its start, with no picture. Figure may be a test
// subclass of Player that exposes what a test needs.
template <class Figure = Player>
Figure* StartWorldWith()
{
    ClearWorld();
    auto* figure = new Figure();
    figure->Init(nullptr);
    player = figure;
    objects.push_back(figure);
    return figure;
}

inline Player* StartWorld()
{
    return StartWorldWith<Player>();
}

// Keeps the world of a test from leaking into the next one.
class WorldTest : public ::testing::Test {
protected:
    void SetUp() override { StartWorld(); }
    void TearDown() override { ClearWorld(); }
};

// A pixel as 8-bit red, green, blue, alpha.
struct Rgba {
    unsigned char r, g, b, a;
    bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

inline std::ostream& operator<<(std::ostream& out, const Rgba& p)
{
    return out << "(" << int(p.r) << "," << int(p.g) << "," << int(p.b) << "," << int(p.a) << ")";
}

inline Rgba PixelAt(ALLEGRO_BITMAP* bitmap, int x, int y)
{
    Rgba p{};
    al_unmap_rgba(al_get_pixel(bitmap, x, y), &p.r, &p.g, &p.b, &p.a);
    return p;
}

// Every pixel of a bitmap, row by row, read in one lock: a whole frame compared at once.
inline std::vector<Rgba> PixelsOf(ALLEGRO_BITMAP* bitmap)
{
    const int width = al_get_bitmap_width(bitmap), height = al_get_bitmap_height(bitmap);
    std::vector<Rgba> pixels(static_cast<std::size_t>(width) * height);
    ALLEGRO_LOCKED_REGION* region = al_lock_bitmap(bitmap, ALLEGRO_PIXEL_FORMAT_ABGR_8888_LE, ALLEGRO_LOCK_READONLY);
    for (int y = 0; y < height; ++y)
        std::memcpy(&pixels[static_cast<std::size_t>(y) * width],
                    static_cast<const unsigned char*>(region->data) + y * region->pitch, width * sizeof(Rgba));
    al_unlock_bitmap(bitmap);
    return pixels;
}

// A memory bitmap that is the drawing target for its lifetime, cleared to a colour.
class Canvas {
public:
    Canvas(int width, int height, ALLEGRO_COLOR background = al_map_rgb(SKY_RED, SKY_GREEN, SKY_BLUE))
        : bitmap_(al_create_bitmap(width, height)), previous_(al_get_target_bitmap())
    {
        al_set_target_bitmap(bitmap_);
        ALLEGRO_TRANSFORM identity;
        al_identity_transform(&identity);
        al_use_transform(&identity);
        al_clear_to_color(background);
    }
    ~Canvas()
    {
        al_set_target_bitmap(previous_);
        al_destroy_bitmap(bitmap_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    ALLEGRO_BITMAP* bitmap() const { return bitmap_; }

    using Rgba = ::Rgba;
    Rgba At(int x, int y) const { return PixelAt(bitmap_, x, y); }

private:
    ALLEGRO_BITMAP* bitmap_;
    ALLEGRO_BITMAP* previous_;
};

// Made-up events for the handlers: of a type, a key's, a timer's at a count, and a pad's.
inline ALLEGRO_EVENT EventOf(ALLEGRO_EVENT_TYPE type)
{
    ALLEGRO_EVENT ev{};
    ev.type = type;
    return ev;
}

inline ALLEGRO_EVENT KeyEvent(ALLEGRO_EVENT_TYPE type, int keycode, unsigned modifiers = 0, bool repeat = false)
{
    ALLEGRO_EVENT ev = EventOf(type);
    ev.keyboard.keycode = keycode;
    ev.keyboard.modifiers = modifiers;
    ev.keyboard.repeat = repeat;
    return ev;
}

inline ALLEGRO_EVENT TimerEvent(ALLEGRO_TIMER* source, std::int64_t count)
{
    ALLEGRO_EVENT ev = EventOf(ALLEGRO_EVENT_TIMER);
    ev.timer.source = source;
    ev.timer.count = count;
    return ev;
}

inline ALLEGRO_EVENT PadButtonEvent(bool down, ALLEGRO_JOYSTICK* pad, int button)
{
    ALLEGRO_EVENT ev = EventOf(down ? ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN : ALLEGRO_EVENT_JOYSTICK_BUTTON_UP);
    ev.joystick.id = pad;
    ev.joystick.button = button;
    return ev;
}

inline ALLEGRO_EVENT PadAxisEvent(ALLEGRO_JOYSTICK* pad, int stick, int axis, float pos)
{
    ALLEGRO_EVENT ev = EventOf(ALLEGRO_EVENT_JOYSTICK_AXIS);
    ev.joystick.id = pad;
    ev.joystick.stick = stick;
    ev.joystick.axis = axis;
    ev.joystick.pos = pos;
    return ev;
}

// Everything an object holds, compared bit for bit: the same state, not a near one.
struct ObjectState {
    float x = 0, y = 0, velX = 0, velY = 0;
    int dirX = 0, dirY = 0, boundX = 0, boundY = 0, id = -1;
    bool alive = true, collidable = true;
    int maxFrame = 0, curFrame = 0, frameCount = 0, frameDelay = 0, frameWidth = 0, frameHeight = 0,
        animationRow = 0;
    ALLEGRO_BITMAP* picture = nullptr;
    int jumpState = 0;  // the figure's
    bool onGround = false;
    float scatterX = 0;  // a snowflake's

    auto Fields() const
    {
        const auto bits = [](float v) {
            std::uint32_t b;
            std::memcpy(&b, &v, sizeof b);
            return b;
        };
        return std::make_tuple(bits(x), bits(y), bits(velX), bits(velY), bits(scatterX), dirX, dirY, boundX, boundY,
                               id, alive, collidable, maxFrame, curFrame, frameCount, frameDelay, frameWidth,
                               frameHeight, animationRow, picture, jumpState, onGround);
    }
    bool operator==(const ObjectState& o) const { return Fields() == o.Fields(); }
};

inline void PrintTo(const ObjectState& s, std::ostream* out)
{
    *out << "(" << s.x << "," << s.y << ") v(" << s.velX << "," << s.velY << ") d(" << s.dirX << "," << s.dirY
         << ") b(" << s.boundX << "," << s.boundY << ") id " << s.id << " alive " << s.alive << " coll "
         << s.collidable << " frames " << s.maxFrame << "/" << s.curFrame << "/" << s.frameCount << "/"
         << s.frameDelay << " " << s.frameWidth << "x" << s.frameHeight << " row " << s.animationRow << " pic "
         << s.picture << " jump " << s.jumpState << " ground " << s.onGround << " scatter " << s.scatterX;
}

inline ObjectState StateOf(const GameObject& o)
{
    // frameDelay has no accessor: read through a member pointer of a subclass.
    struct Reader : GameObject {
        static int FrameDelay(const GameObject& g) { return g.*(&Reader::frameDelay); }
    };
    ObjectState s;
    s.x = o.GetX(), s.y = o.GetY(), s.velX = o.GetVelX(), s.velY = o.GetVelY();
    s.dirX = o.GetDirX(), s.dirY = o.GetDirY(), s.boundX = o.GetBoundX(), s.boundY = o.GetBoundY();
    s.id = o.GetID(), s.alive = o.IsAlive(), s.collidable = o.IsCollidable();
    s.maxFrame = o.GetMaxFrame(), s.curFrame = o.GetCurFrame(), s.frameCount = o.GetFrameCount();
    s.frameDelay = Reader::FrameDelay(o), s.frameWidth = o.GetFrameWidth(), s.frameHeight = o.GetFrameHeight();
    s.animationRow = o.GetAnimationRow(), s.picture = o.GetPicture();
    if (const auto* p = dynamic_cast<const Player*>(&o))
        s.jumpState = p->GetJumpState(), s.onGround = p->IsOnGround();
    if (const auto* f = dynamic_cast<const Snow*>(&o))
        s.scatterX = f->GetScatterX();
    return s;
}

// The figure as Init leaves it: at its start, falling, facing left in the air.
inline ObjectState FigureAtStart(ALLEGRO_BITMAP* picture)
{
    ObjectState s;
    s.x = 352, s.y = 18, s.velX = 3, s.velY = 3;
    s.boundX = s.frameWidth = 16, s.boundY = s.frameHeight = 19, s.id = PLAYER;
    s.maxFrame = 9, s.frameDelay = 3, s.animationRow = 3, s.picture = picture, s.jumpState = 1;
    return s;
}

// Points the image cache's search at these folders instead of the game's own ("" is the
// working folder); tests set GameFolders() back when they are done.
void SetPictureFolders(std::vector<std::string> folders);

// Runs a test inside a fresh, empty working directory: the game reads its pictures and its
// level from there. The previous directory comes back, and the folder goes, at the end.
class TempWorkingDir {
public:
    TempWorkingDir() : previous_(std::filesystem::current_path())
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "platformer-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "cannot make a temporary folder";
            return;
        }
        path_ = pattern;
        std::filesystem::current_path(path_);
    }
    ~TempWorkingDir()
    {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TempWorkingDir(const TempWorkingDir&) = delete;
    TempWorkingDir& operator=(const TempWorkingDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Writes name (relative to the folder) with exactly these bytes.
    void Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
        out << bytes;
    }

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

// A sprite sheet of cols by rows frames of width by height pixels, each frame filled with
// its own colour (Colour), so a drawn pixel tells which frame was cut from the sheet.
class FrameSheet {
public:
    FrameSheet(int cols, int rows, int width, int height) : bitmap_(al_create_bitmap(cols * width, rows * height))
    {
        ALLEGRO_BITMAP* previous = al_get_target_bitmap();
        al_set_target_bitmap(bitmap_);
        for (int row = 0; row < rows; ++row) {
            for (int col = 0; col < cols; ++col) {
                al_set_clipping_rectangle(col * width, row * height, width, height);
                const Canvas::Rgba c = Colour(col, row);
                al_clear_to_color(al_map_rgba(c.r, c.g, c.b, c.a));
            }
        }
        al_reset_clipping_rectangle();
        al_set_target_bitmap(previous);
    }
    ~FrameSheet() { al_destroy_bitmap(bitmap_); }
    FrameSheet(const FrameSheet&) = delete;
    FrameSheet& operator=(const FrameSheet&) = delete;

    ALLEGRO_BITMAP* bitmap() const { return bitmap_; }

    // Opaque, distinct for every frame up to 9 by 4, and never the Canvas background.
    static Canvas::Rgba Colour(int col, int row)
    {
        return Canvas::Rgba{static_cast<unsigned char>(10 + col * 25), static_cast<unsigned char>(30 + row * 60), 90,
                            255};
    }

private:
    ALLEGRO_BITMAP* bitmap_;
};

// Saves a width by height PNG of one colour at path (relative to the working directory);
// returns whether the file was written.
inline bool WriteSolidPng(const std::string& path, int width, int height, ALLEGRO_COLOR colour)
{
    ALLEGRO_BITMAP* picture = al_create_bitmap(width, height);
    ALLEGRO_BITMAP* previous = al_get_target_bitmap();
    al_set_target_bitmap(picture);
    al_clear_to_color(colour);
    al_set_target_bitmap(previous);
    const bool saved = al_save_bitmap(path.c_str(), picture);
    al_destroy_bitmap(picture);
    return saved;
}

// The first bytes of a PNG declaring width x height: enough for its size, nothing to decode.
inline std::string PngHeader(std::uint32_t width, std::uint32_t height, const std::string& chunk = "IHDR")
{
    auto bigEndian = [](std::uint32_t value) {
        return std::string{static_cast<char>(value >> 24), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 8), static_cast<char>(value)};
    };
    return std::string("\x89PNG\r\n\x1a\n", 8) + bigEndian(13) + chunk + bigEndian(width) + bigEndian(height) +
           std::string("\x08\x06\0\0\0", 5);
}
