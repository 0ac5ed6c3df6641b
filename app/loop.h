#pragma once

#include <allegro5/allegro.h>
#include <cstdint>
#include <string>

// Every timer event runs one tick, so a short stall is caught up exactly. But when ticks
// cost more than 1/60 s the queue only grows: nothing would be drawn again and a queued
// Escape would never be reached. A tick queued more than a quarter second ago is dropped
// instead; the game then slows down but keeps drawing and answering keys.
constexpr std::int64_t MAX_TICKS_BEHIND = 15;
inline bool IsStaleTick(std::int64_t queuedAtCount, std::int64_t timerCount)
{
    return timerCount - queuedAtCount > MAX_TICKS_BEHIND;
}

// What the event loop decides, event by event: when the game ends, which timer events run
// a tick, when a frame is due, and what keys and the window's focus do to the held keys.
// main feeds it the library's events and clock.
class GameLoop {
public:
    GameLoop(const ALLEGRO_TIMER* gameTimer, double startTime)
        : gameTimer_(gameTimer), lastFrameTime_(startTime)
    {
    }

    // One event, with the pointer as polled before the wait and the game timer's count now.
    void Handle(const ALLEGRO_EVENT& ev, int mouseX, int mouseY, std::int64_t timerCount);

    bool Done() const { return done_; }

    // After a tick, a frame waits for the queue to run dry, unless ticks were dropped.
    bool FrameDue(bool queueEmpty) const { return redraw_ && (queueEmpty || fellBehind_); }

    // Takes the due frame at time now; returns its frame-rate line.
    std::string StartFrame(double now);

private:
    const ALLEGRO_TIMER* gameTimer_;
    double lastFrameTime_;
    bool done_ = false;
    bool redraw_ = false;
    bool fellBehind_ = false;
    float cameraPosition_[2] = {0, 0};
    ALLEGRO_TRANSFORM camera_{};
};
