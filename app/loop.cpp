#include "app/loop.h"

#include <sstream>

#include "app/input.h"
#include "app/level.h"
#include "app/world.h"

namespace {

bool IsEscape(const ALLEGRO_EVENT& ev)
{
    const bool keyboard = ev.type == ALLEGRO_EVENT_KEY_DOWN || ev.type == ALLEGRO_EVENT_KEY_CHAR ||
                          ev.type == ALLEGRO_EVENT_KEY_UP;
    return keyboard && ev.keyboard.keycode == ALLEGRO_KEY_ESCAPE;
}

}  // namespace

void GameLoop::Handle(const ALLEGRO_EVENT& ev, int mouseX, int mouseY, std::int64_t timerCount)
{
    if (ev.type == ALLEGRO_EVENT_DISPLAY_CLOSE || IsEscape(ev))
        done_ = true;

    switch (ev.type) {
    case ALLEGRO_EVENT_KEY_DOWN:
        HandleKeyDown(ev.keyboard.keycode, mouseX, mouseY);
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
                if (HasTimeToLoad(ev.timer.count, timerCount))
                    ContinueLevelLoad();
            }
        }
        RemovalPass();
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
