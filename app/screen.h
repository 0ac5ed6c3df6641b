#pragma once

#include <allegro5/allegro.h>

#include <cstddef>

// The game always draws one WINDOW_SIZE square picture of the world. A window of another
// size (resized by the player, or fullscreen) shows that picture as the largest square that
// fits, centred, with black around it.

// Where the picture lies in a window, in window pixels.
struct PictureBox {
    int left = 0;
    int top = 0;
    int size = 0;

    bool operator==(const PictureBox& o) const { return left == o.left && top == o.top && size == o.size; }
};
PictureBox FitPicture(int windowWidth, int windowHeight);

// The picture's pixel shown under the window pixel (pointerX, pointerY). A pointer over the
// black around the picture gives the nearest pixel of its edge.
struct GamePixel {
    int x = 0;
    int y = 0;

    bool operator==(const GamePixel& o) const { return x == o.x && y == o.y; }
};
GamePixel PointerToGame(int windowWidth, int windowHeight, int pointerX, int pointerY);

// The window's side at start: the largest whole multiple of the picture that fits in two
// thirds of the monitor, and never less than the picture itself.
int StartWindowSize(int monitorWidth, int monitorHeight);
// The same for the monitor the window opens on. Allegro tells the monitor's size, not the
// part of it that panels leave free; two thirds of it leaves room for them anyway.
int OpeningWindowSize();

// How the picture is brought to its size in the window. Enlarged, each window pixel shows
// the game pixel under its centre: at whole-number scales every game pixel is an equal
// square, and at others squares differ by one window pixel at most but stay crisp. (First
// enlarging to the whole multiple below and blending the rest looks smoother, but costs
// twice as much on a software renderer, more than a 1920x1080 frame can spare.)
enum class Sampling {
    None,     // the window is the picture's size: the world is drawn straight into it
    Nearest,  // enlarged
    Linear,   // shrunk: blending keeps thin lines from vanishing between samples
};
Sampling SamplingFor(const PictureBox& box);

// Draws the world's picture into picture (WINDOW_SIZE square) under the camera, as the
// window shows it at its own size; returns how many objects were drawn. The target and its
// transform are left as they were.
std::size_t DrawPicture(ALLEGRO_BITMAP* picture, const ALLEGRO_TRANSFORM& camera);

// Shows picture as the largest centred square of target, black around it. blended is a
// picture-sized copy that samples linearly, for Linear; with none, picture's own sampling is
// used. Leaves target as the drawing target, untransformed.
void ShowPicture(ALLEGRO_BITMAP* picture, ALLEGRO_BITMAP* target, ALLEGRO_BITMAP* blended);

// What the game loop asks of its window; Screen is the real one.
class GameWindow {
public:
    virtual ~GameWindow() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Asks for fullscreen (or back to the window) without waiting for the answer; false when
    // it cannot even be asked for.
    virtual bool AskFullscreen(bool on) = 0;
    // Whether the window is fullscreen now, whatever was asked.
    virtual bool Fullscreen() const = 0;
    // Whether nobody can see the window (iconified, unmapped): frames would be wasted.
    virtual bool Hidden() const = 0;
    virtual void AcknowledgeResize() = 0;
    virtual void Resize(int width, int height) = 0;
    // One line on standard error, never waiting for its reader.
    virtual void Say(const char* line) = 0;
};

// The game's window: draws each frame at whatever size the window has. It owns the display
// and destroys it last, after its own bitmaps.
class Screen : public GameWindow {
public:
    explicit Screen(ALLEGRO_DISPLAY* display);
    ~Screen() override;
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    int Width() const override;
    int Height() const override;
    bool AskFullscreen(bool on) override;
    bool Fullscreen() const override;
    bool Hidden() const override;
    void AcknowledgeResize() override;
    void Resize(int width, int height) override;
    void Say(const char* line) override;

    // Draws the world under the camera, shows it and flips. At the picture's own size this
    // is the game's plain frame: draw, flip, clear to the sky for the next one.
    void ShowFrame(const ALLEGRO_TRANSFORM& camera);

private:
    ALLEGRO_DISPLAY* display_;
    ALLEGRO_BITMAP* picture_ = nullptr;
    ALLEGRO_BITMAP* blended_ = nullptr;
    bool skyCleared_ = false;  // the backbuffer holds a cleared sky, ready for a plain frame
};
