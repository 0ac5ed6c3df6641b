#include "app/loop.h"

#include <sstream>

#include "app/gamepad.h"
#include "app/input.h"
#include "app/level_load.h"
#include "app/output.h"
#include "app/screen.h"
#include "app/world.h"

namespace {

// Alt+Enter as typed: the key-down event does not say which modifiers are held, the
// character event does. A held Enter repeats its character: one switch per press.
bool IsAltEnter(const ALLEGRO_EVENT& ev)
{
    return ev.type == ALLEGRO_EVENT_KEY_CHAR && !ev.keyboard.repeat &&
           (ev.keyboard.keycode == ALLEGRO_KEY_ENTER || ev.keyboard.keycode == ALLEGRO_KEY_PAD_ENTER) &&
           (ev.keyboard.modifiers & ALLEGRO_KEYMOD_ALT) != 0;
}

}  // namespace

// An Escape pressed elsewhere (to close a menu, to cancel a window switch) may be released
// over the game: only a press the game received ends it.
bool GameLoop::IsEscapePress(const ALLEGRO_EVENT& ev)
{
    const bool keyboard = ev.type == ALLEGRO_EVENT_KEY_DOWN || ev.type == ALLEGRO_EVENT_KEY_CHAR ||
                          ev.type == ALLEGRO_EVENT_KEY_UP;
    if (!keyboard || ev.keyboard.keycode != ALLEGRO_KEY_ESCAPE)
        return false;
    if (ev.type == ALLEGRO_EVENT_KEY_DOWN)
        escapeDown_ = true;
    return escapeDown_;
}

void GameLoop::Handle(const ALLEGRO_EVENT& ev, int mouseX, int mouseY, std::int64_t timerCount)
{
    timerCount_ = timerCount;
    if (ev.type == ALLEGRO_EVENT_DISPLAY_CLOSE || IsEscapePress(ev))
        done_ = true;

    switch (ev.type) {
    case ALLEGRO_EVENT_KEY_DOWN: {
        if (ev.keyboard.keycode == ALLEGRO_KEY_F11)
            WantOtherFullscreen();
        const GamePixel pointer = PointerInPicture(mouseX, mouseY);
        HandleKeyDown(ev.keyboard.keycode, pointer.x, pointer.y);
        break;
    }
    case ALLEGRO_EVENT_KEY_CHAR:
        if (IsAltEnter(ev))
            WantOtherFullscreen();
        break;
    case ALLEGRO_EVENT_KEY_UP:
        HandleKeyUp(ev.keyboard.keycode);
        break;
    case ALLEGRO_EVENT_DISPLAY_SWITCH_OUT:
        // The key-ups now go to whichever window took the focus: don't wait for them.
        ReleaseHeldKeys();
        escapeDown_ = false;
        gamepads.FocusLost();
        break;
    case ALLEGRO_EVENT_DISPLAY_SWITCH_IN:
        gamepads.FocusReturned();
        break;
    case ALLEGRO_EVENT_JOYSTICK_AXIS:
    case ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN:
    case ALLEGRO_EVENT_JOYSTICK_BUTTON_UP:
    case ALLEGRO_EVENT_JOYSTICK_CONFIGURATION: {
        const GamePixel pointer = PointerInPicture(mouseX, mouseY);
        HandleGamepadEvent(ev, pointer.x, pointer.y);
        break;
    }
    case ALLEGRO_EVENT_TIMER:
        if (ev.timer.source == gameTimer_) {
            if (IsStaleTick(ev.timer.count, timerCount)) {
                fellBehind_ = true;
            } else {
                redraw_ = true;
                ticksQueued_ = timerCount - ev.timer.count;
                if (++ticksSinceFrame_ == 1)
                    ticksQueuedAfterFrame_ = ticksQueued_;
                RunTick(cameraPosition_, camera_);
                ContinueLevelLoad(ev.timer.count, timerCount);
            }
        }
        RemovalPass();
        CheckFullscreenAnswered(timerCount);
        break;
    case ALLEGRO_EVENT_DISPLAY_RESIZE:
        WindowResized();
        break;
    default:
        break;
    }
}

bool GameLoop::FrameDue(bool queueEmpty) const
{
    const bool catchingUp = 2 * (ticksQueuedAfterFrame_ - ticksQueued_) >= ticksSinceFrame_;
    const bool forced = ticksSinceFrame_ >= MAX_TICKS_WITHOUT_FRAME && !catchingUp;
    if (!redraw_ || !(queueEmpty || fellBehind_ || forced))
        return false;
    return window_ == nullptr || !window_->Hidden();
}

GamePixel GameLoop::PointerInPicture(int mouseX, int mouseY) const
{
    if (window_ == nullptr)
        return GamePixel{mouseX, mouseY};
    return PointerToGame(window_->Width(), window_->Height(), mouseX, mouseY);
}

std::string GameLoop::StartFrame(double now)
{
    redraw_ = false;
    fellBehind_ = false;
    ticksSinceFrame_ = 0;
    if (switchWanted_ && !ask_.waiting) {
        switchWanted_ = false;
        if (wantedOn_ != fullscreen_)
            AskFullscreen(wantedOn_);
    }
    std::ostringstream line;
    PrintFrameRate(lastFrameTime_, now, line);
    return line.str();
}

void GameLoop::WantOtherFullscreen()
{
    if (window_ == nullptr)
        return;
    if (!switchWanted_ && !ask_.waiting)
        fullscreen_ = window_->Fullscreen();  // it may have changed unasked, or late
    const bool heading = switchWanted_ ? wantedOn_ : ask_.waiting ? ask_.on : fullscreen_;
    wantedOn_ = !heading;
    switchWanted_ = true;
}

void GameLoop::AskFullscreen(bool on)
{
    if (on) {
        windowedWidth_ = window_->Width();
        windowedHeight_ = window_->Height();
    }
    if (!window_->AskFullscreen(on)) {
        window_->Say(on ? "platformer: fullscreen is not available (no window manager offers it); the game goes on "
                          "in its window"
                        : "platformer: the window cannot leave fullscreen here");
        return;
    }
    ask_ = FullscreenAsk{true, on, timerCount_};
}

void GameLoop::WindowResized()
{
    if (window_ == nullptr)
        return;
    window_->AcknowledgeResize();
    // A move of the window comes as a resize to the same size: that answers nothing. What
    // the window now is answers, however late, and whatever was asked.
    fullscreen_ = window_->Fullscreen();
    if (ask_.waiting && fullscreen_ == ask_.on)
        FullscreenAnswered();
}

void GameLoop::FullscreenAnswered()
{
    ask_.waiting = false;
    if (!fullscreen_ && windowedWidth_ > 0 &&
        (window_->Width() != windowedWidth_ || window_->Height() != windowedHeight_))
        window_->Resize(windowedWidth_, windowedHeight_);
}

void GameLoop::CheckFullscreenAnswered(std::int64_t timerCount)
{
    if (!ask_.waiting)
        return;
    // A window manager may mark the window only after the resize that answers, or answer
    // with none (the window had that size already).
    if (window_->Fullscreen() == ask_.on) {
        fullscreen_ = ask_.on;
        FullscreenAnswered();
        return;
    }
    if (timerCount - ask_.since < FULLSCREEN_ANSWER_TICKS)
        return;
    ask_.waiting = false;
    window_->Say(ask_.on ? "platformer: no window manager made the window fullscreen; the game goes on in its window"
                         : "platformer: no window manager brought the window back from fullscreen");
}
