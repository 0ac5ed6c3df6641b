#include "app/loop.h"

#include <sstream>

#include "app/input.h"
#include "app/level_load.h"
#include "app/screen.h"
#include "app/world.h"

namespace {

bool IsEscape(const ALLEGRO_EVENT& ev)
{
    const bool keyboard = ev.type == ALLEGRO_EVENT_KEY_DOWN || ev.type == ALLEGRO_EVENT_KEY_CHAR ||
                          ev.type == ALLEGRO_EVENT_KEY_UP;
    return keyboard && ev.keyboard.keycode == ALLEGRO_KEY_ESCAPE;
}

// Alt+Enter as typed: the key-down event does not say which modifiers are held, the
// character event does. A held Enter repeats its character: one switch per press.
bool IsAltEnter(const ALLEGRO_EVENT& ev)
{
    return ev.type == ALLEGRO_EVENT_KEY_CHAR && !ev.keyboard.repeat &&
           (ev.keyboard.keycode == ALLEGRO_KEY_ENTER || ev.keyboard.keycode == ALLEGRO_KEY_PAD_ENTER) &&
           (ev.keyboard.modifiers & ALLEGRO_KEYMOD_ALT) != 0;
}

}  // namespace

void GameLoop::Handle(const ALLEGRO_EVENT& ev, int mouseX, int mouseY, std::int64_t timerCount)
{
    if (ev.type == ALLEGRO_EVENT_DISPLAY_CLOSE || IsEscape(ev))
        done_ = true;

    switch (ev.type) {
    case ALLEGRO_EVENT_KEY_DOWN:
        if (ev.keyboard.keycode == ALLEGRO_KEY_F11)
            ToggleFullscreen(timerCount);
        if (window_ != nullptr) {
            // Blocks land under the pointer whatever the picture's size and place in the window.
            const GamePixel pointer = PointerToGame(window_->Width(), window_->Height(), mouseX, mouseY);
            mouseX = pointer.x;
            mouseY = pointer.y;
        }
        HandleKeyDown(ev.keyboard.keycode, mouseX, mouseY);
        break;
    case ALLEGRO_EVENT_KEY_CHAR:
        if (IsAltEnter(ev))
            ToggleFullscreen(timerCount);
        break;
    case ALLEGRO_EVENT_KEY_UP:
        HandleKeyUp(ev.keyboard.keycode);
        break;
    case ALLEGRO_EVENT_DISPLAY_SWITCH_OUT:
        // The key-ups now go to whichever window took the focus: don't wait for them.
        ReleaseHeldKeys();
        break;
    case ALLEGRO_EVENT_TIMER:
        if (ev.timer.source == gameTimer_) {
            if (IsStaleTick(ev.timer.count, timerCount)) {
                fellBehind_ = true;
            } else {
                redraw_ = true;
                ++ticksSinceFrame_;
                RunTick(cameraPosition_, camera_);
                ContinueLevelLoad(ev.timer.count, timerCount);
            }
        }
        RemovalPass();
        CheckFullscreenAnswered(timerCount);
        break;
    case ALLEGRO_EVENT_DISPLAY_RESIZE:
        WindowResized(ev);
        break;
    default:
        break;
    }
}

std::string GameLoop::StartFrame(double now)
{
    redraw_ = false;
    fellBehind_ = false;
    ticksSinceFrame_ = 0;
    std::ostringstream line;
    PrintFrameRate(lastFrameTime_, now, line);
    return line.str();
}

void GameLoop::ToggleFullscreen(std::int64_t timerCount)
{
    if (window_ == nullptr || ask_.waiting)
        return;
    const bool on = !fullscreen_;
    const int width = window_->Width();
    const int height = window_->Height();
    if (on) {
        windowedWidth_ = width;
        windowedHeight_ = height;
    }
    if (!window_->AskFullscreen(on)) {
        window_->Say(on ? "platformer: fullscreen is not available (no window manager offers it); the game goes on "
                          "in its window"
                        : "platformer: the window cannot leave fullscreen here");
        return;
    }
    ask_ = FullscreenAsk{true, on, timerCount, width, height};
    // On X11 the library waits for the window manager itself, and has the new size already.
    if (window_->Width() != width || window_->Height() != height)
        FullscreenAnswered();
}

void GameLoop::WindowResized(const ALLEGRO_EVENT& ev)
{
    if (window_ == nullptr)
        return;
    window_->AcknowledgeResize();
    // A move of the window comes as a resize to the same size: that answers nothing.
    if (ask_.waiting && (ev.display.width != ask_.width || ev.display.height != ask_.height))
        FullscreenAnswered();
}

void GameLoop::FullscreenAnswered()
{
    ask_.waiting = false;
    fullscreen_ = ask_.on;
    if (!fullscreen_ && (window_->Width() != windowedWidth_ || window_->Height() != windowedHeight_))
        window_->Resize(windowedWidth_, windowedHeight_);
}

void GameLoop::CheckFullscreenAnswered(std::int64_t timerCount)
{
    if (!ask_.waiting || timerCount - ask_.since < FULLSCREEN_ANSWER_TICKS)
        return;
    ask_.waiting = false;
    window_->Say(ask_.on ? "platformer: no window manager made the window fullscreen; the game goes on in its window"
                         : "platformer: no window manager brought the window back from fullscreen");
}
