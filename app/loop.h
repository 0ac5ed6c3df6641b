#pragma once

#include <allegro5/allegro.h>
#include <cstdint>
#include <string>

#include "app/screen.h"

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

// How long the game waits for the window manager to answer a switch to or from fullscreen
// before telling the player, in ticks: one that offers fullscreen may still ignore the
// request, or be stalled. An answer that comes later is still taken.
constexpr std::int64_t FULLSCREEN_ANSWER_TICKS = 180;

// Ticks that each end just as the next is due (a loading level, a large world) never leave
// the queue empty; a frame still comes after this many, so the game keeps showing itself.
// But not while the game catches up on the ticks a costly frame left queued (each tick runs
// with fewer behind it than the one before): forcing another frame then would put it ever
// further behind. Ticks keep time; frames are dropped first.
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
    // has waited MAX_TICKS_WITHOUT_FRAME ticks already. None while the window is hidden.
    bool FrameDue(bool queueEmpty) const;

    // Takes the due frame at time now; returns its frame-rate line. A switch to or from
    // fullscreen the player asked for since the last frame is asked for first: however many
    // presses came, one switch, to the state asked for last.
    std::string StartFrame(double now);

    // The view of the latest tick, for drawing the frame.
    const ALLEGRO_TRANSFORM& Camera() const { return camera_; }

private:
    bool IsEscapePress(const ALLEGRO_EVENT& ev);
    // F11 and Alt+Enter: the player wants the other of window and fullscreen.
    void WantOtherFullscreen();
    // The window's size is kept to come back to.
    void AskFullscreen(bool on);
    // Blocks land under the pointer whatever the picture's size and place in the window.
    GamePixel PointerInPicture(int mouseX, int mouseY) const;
    // Every resize is acknowledged, or the library will not draw at the new size.
    void WindowResized();
    void FullscreenAnswered();
    // A switch with no answer in time is told to the player; a later answer is still taken.
    void CheckFullscreenAnswered(std::int64_t timerCount);

    const ALLEGRO_TIMER* gameTimer_;
    double lastFrameTime_;
    bool done_ = false;
    bool redraw_ = false;
    bool fellBehind_ = false;
    int ticksSinceFrame_ = 0;
    std::int64_t ticksQueued_ = 0;            // behind the latest tick that ran
    std::int64_t ticksQueuedAfterFrame_ = 0;  // behind the first tick after the latest frame
    std::int64_t timerCount_ = 0;             // as of the latest event
    bool escapeDown_ = false;
    float cameraPosition_[2] = {0, 0};
    ALLEGRO_TRANSFORM camera_{};

    GameWindow* window_;
    bool fullscreen_ = false;  // as the window is, not as was asked
    bool switchWanted_ = false;
    bool wantedOn_ = false;
    int windowedWidth_ = 0;  // none when fullscreen came unasked
    int windowedHeight_ = 0;
    struct FullscreenAsk {
        bool waiting = false;
        bool on = false;
        std::int64_t since = 0;
    } ask_;
};
