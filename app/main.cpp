#include <allegro5/allegro.h>
#include <allegro5/allegro_font.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_primitives.h>
#include <allegro5/allegro_ttf.h>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "app/display_link.h"
#include "app/exit_status.h"
#include "app/gamepad.h"
#include "app/loop.h"
#include "app/options.h"
#include "app/output.h"
#include "app/screen.h"
#include "app/world.h"
#include "resources/ImageCache.h"

namespace {

// Everything start-up makes, ended in one place whatever step it reached: the objects (each
// told Destroy), then the pictures they borrowed, then the timer, the queue and the window.
struct GameParts {
    ALLEGRO_EVENT_QUEUE* eventQueue = nullptr;
    ALLEGRO_TIMER* timer = nullptr;
    std::unique_ptr<Screen> screen;  // owns the window

    GameParts() = default;
    GameParts(const GameParts&) = delete;
    GameParts& operator=(const GameParts&) = delete;
    ~GameParts()
    {
        ReleaseDisplayHold();
        DestroyPass();
        DestroyAllImages();
        if (timer != nullptr)
            al_destroy_timer(timer);
        if (eventQueue != nullptr)
            al_destroy_event_queue(eventQueue);
        screen.reset();
    }
};

// Input and the add-ons, in the order they start. Each is needed: a keyboard or a mouse the
// library could not start would be read all the same, and crash the game.
struct StartStep {
    const char* what;
    bool (*start)();
};
const StartStep INPUT_AND_ADD_ONS[] = {
    {"the keyboard", al_install_keyboard},
    {"the library's PNG reader", al_init_image_addon},
    {"the library's font add-on", al_init_font_addon},
    {"the library's TrueType add-on", al_init_ttf_addon},
    {"the mouse", al_install_mouse},
    {"the library's drawing add-on", al_init_primitives_addon},
};

// Without what it needs there is no game: say why, rather than end silently or crash.
int CannotStart(const std::string& why, ExitStatus status)
{
    TellOnStandardError("platformer: " + why + "\n");
    return status;
}

int CannotStart(const char* what)
{
    return CannotStart(std::string("cannot start ") + what + "; the game ends", CANNOT_GO_ON);
}

}  // namespace

int main(int argc, char** argv)
{
    PrepareStandardStreams();

    // --help, --version and mistakes are answered before anything opens a window.
    if (const std::optional<int> status = AnswerCommandLine(argc, argv, std::cout, std::cerr))
        return *status;

    // --- Start-up: a step that fails ends the game with one line saying why ---
    GameParts parts;
    EndGameOnDisplayFaults();
    const DisplayAnswer display = HoldDisplayThroughStartUp();
    // A display that does not let the game in will not let the library in either.
    if (display.named && !display.reached)
        return CannotStart(WhyNoWindow(std::getenv("DISPLAY"), display), NO_LIBRARY_OR_WINDOW);
    if (!al_init())
        return CannotStart("cannot start the Allegro library (the installed Allegro does not match the one the "
                           "game was built with; reinstall the game)",
                           NO_LIBRARY_OR_WINDOW);

    al_set_new_window_title("Platformer");
    al_set_new_display_flags(ALLEGRO_RESIZABLE);
    UseScreenOfDisplay();
    const int windowSize = OpeningWindowSize();
    ALLEGRO_DISPLAY* window = al_create_display(windowSize, windowSize);
    ReleaseDisplayHold();
    if (window == nullptr)
        return CannotStart(WhyNoWindow(std::getenv("DISPLAY"), display), NO_LIBRARY_OR_WINDOW);
    parts.screen = std::make_unique<Screen>(window);  // from here on the screen owns the window
    Screen& screen = *parts.screen;
    WatchGameWindow(window);

    for (const StartStep& step : INPUT_AND_ADD_ONS)
        if (!step.start())
            return CannotStart(step.what);

    InitImages();
    const std::string missing = FirstMissingImage();
    if (!missing.empty())
        return CannotStart(WhyNotLoaded(missing), CANNOT_GO_ON);

    player = new Player();
    player->Init(GetImage(FIGURE_PICTURE));
    objects.push_back(player);

    ALLEGRO_EVENT_QUEUE* event_queue = parts.eventQueue = al_create_event_queue();
    if (event_queue == nullptr)
        return CannotStart("the game's event queue");
    ALLEGRO_TIMER* timer = parts.timer = al_create_timer(TICK_SECONDS);
    if (timer == nullptr)
        return CannotStart("the game's timer");
    al_register_event_source(event_queue, al_get_display_event_source(window));
    al_register_event_source(event_queue, al_get_timer_event_source(timer));
    al_register_event_source(event_queue, al_get_keyboard_event_source());
    ListenToGamepads(event_queue);

    GameLoop loop(timer, al_get_time(), &screen);
    FrameRateOutput frameRate;
    al_start_timer(timer);

    // --- The loop: a fixed 60 Hz tick, and a frame whenever the queue runs dry ---
    while (!loop.Done()) {
        ALLEGRO_MOUSE_STATE mouse;
        ALLEGRO_EVENT ev;
        al_get_mouse_state(&mouse);
        al_wait_for_event(event_queue, &ev);
        loop.Handle(ev, mouse.x, mouse.y, al_get_timer_count(timer));

        if (loop.FrameDue(al_is_event_queue_empty(event_queue))) {
            frameRate.Write(loop.StartFrame(al_get_time()));
            screen.ShowFrame(loop.Camera());
        }
    }

    // --- Shutdown: GameParts ends the objects, the pictures, the library's handles and the
    // window, in that order ---
    return ENDED_NORMALLY;
}
