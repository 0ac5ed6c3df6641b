#pragma once

#include <allegro5/allegro.h>
#include <cstdint>
#include <string>

class GameWindow;

// Every timer event runs one tick, so a short stall is caught up exactly. But when ticks
// cost more than 1/60 s the queue only grows: nothing would be drawn again and a queued
// Escape would never be reached. A tick queued more than a quarter second ago is dropped
// instead; the game then slows down but keeps drawing and answering keys.
constexpr std::int64_t MAX_TICKS_BEHIND = 15;
inline bool IsStaleTick(std::int64_t queuedAtCount, std::int64_t timerCount)
{
    return timerCount - queuedAtCount > MAX_TICKS_BEHIND;
}

// How long a switch to or from fullscreen may wait for the window manager, in ticks: one
// that offers fullscreen may still ignore the request, and then nothing at all happens.
constexpr std::int64_t FULLSCREEN_ANSWER_TICKS = 60;

// Ticks that each end just as the next is due (a loading level, a large world) never leave
// the queue empty; a frame still comes after this many, so the game keeps showing itself.
constexpr int MAX_TICKS_WITHOUT_FRAME = 4;

// What the event loop decides, event by event: when the game ends, which timer events run
// a tick, when a frame is due, what keys and the window's focus do to the held keys, and
// how the window's size and fullscreen follow the player. main feeds it the library's
// events and clock. Without a window (in tests) the pointer is taken as over the picture.
class GameLoop {
public:
    GameLoop(const ALLEGRO_TIMER* gameTimer, double startTime, GameWindow* window = nullptr)
        : gameTimer_(gameTimer), lastFrameTime_(startTime), window_(window)
    {
    }

    // One event, with the pointer (in window pixels) as polled before the wait and the game
    // timer's count now.
    void Handle(const ALLEGRO_EVENT& ev, int mouseX, int mouseY, std::int64_t timerCount);

    bool Done() const { return done_; }

    // After a tick, a frame waits for the queue to run dry, unless ticks were dropped or it
    // has waited MAX_TICKS_WITHOUT_FRAME ticks already.
    bool FrameDue(bool queueEmpty) const
    {
        return redraw_ && (queueEmpty || fellBehind_ || ticksSinceFrame_ >= MAX_TICKS_WITHOUT_FRAME);
    }

    // Takes the due frame at time now; returns its frame-rate line.
    std::string StartFrame(double now);

    // The view of the latest tick, for drawing the frame.
    const ALLEGRO_TRANSFORM& Camera() const { return camera_; }

    bool Fullscreen() const { return fullscreen_; }

private:
    // F11 and Alt+Enter: asks for the other of window and fullscreen. The window's size is
    // kept to come back to.
    void ToggleFullscreen(std::int64_t timerCount);
    // Every resize is acknowledged, or the library will not draw at the new size.
    void WindowResized(const ALLEGRO_EVENT& ev);
    void FullscreenAnswered();
    // A switch with no answer in time is given up, and the player told so.
    void CheckFullscreenAnswered(std::int64_t timerCount);

    const ALLEGRO_TIMER* gameTimer_;
    double lastFrameTime_;
    bool done_ = false;
    bool redraw_ = false;
    bool fellBehind_ = false;
    int ticksSinceFrame_ = 0;
    float cameraPosition_[2] = {0, 0};
    ALLEGRO_TRANSFORM camera_{};

    GameWindow* window_;
    bool fullscreen_ = false;
    int windowedWidth_ = 0;
    int windowedHeight_ = 0;
    struct FullscreenAsk {
        bool waiting = false;
        bool on = false;
        std::int64_t since = 0;
        int width = 0;  // the window's size when asked: a resize to another size answers
        int height = 0;
    } ask_;
};
