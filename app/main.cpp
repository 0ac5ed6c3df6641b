#include <allegro5/allegro.h>
#include <allegro5/allegro_font.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_primitives.h>
#include <allegro5/allegro_ttf.h>
#include <cstdlib>
#include <iostream>

#include "app/display_link.h"
#include "app/gamepad.h"
#include "app/loop.h"
#include "app/options.h"
#include "app/output.h"
#include "app/screen.h"
#include "app/world.h"
#include "resources/ImageCache.h"

int main(int argc, char** argv)
{
    PrepareStandardStreams();

    // --help, --version and mistakes are answered before anything opens a window.
    if (const std::optional<int> status = AnswerCommandLine(argc, argv, std::cout, std::cerr))
        return *status;

    player = new Player();

    ALLEGRO_DISPLAY* display = nullptr;
    ALLEGRO_EVENT_QUEUE* event_queue = nullptr;
    ALLEGRO_TIMER* timer = nullptr;

    // --- Start-up ---
    EndGameWhenDisplayIsLost();
    HoldDisplayThroughStartUp();
    if (!al_init()) {
        std::cerr << "platformer: cannot start the Allegro library (the installed Allegro does not "
                     "match the one the game was built with; reinstall the game)" << std::endl;
        delete player;
        return -1;
    }
    al_set_new_window_title("Platformer");
    al_set_new_display_flags(ALLEGRO_RESIZABLE);
    const int windowSize = OpeningWindowSize();
    display = al_create_display(windowSize, windowSize);
    ReleaseDisplayHold();
    if (display == nullptr) {
        // Without a window there is no game; say why rather than end silently.
        std::cerr << "platformer: " << WhyNoWindow(std::getenv("DISPLAY"), DisplayWasReached()) << std::endl;
        delete player;
        return -1;
    }

    al_install_keyboard();
    al_init_image_addon();
    al_init_font_addon();
    al_init_ttf_addon();
    al_install_mouse();
    al_init_primitives_addon();

    InitImages();
    const std::string missing = FirstMissingImage();
    if (!missing.empty()) {
        std::cerr << "platformer: " << WhyNotLoaded(missing) << std::endl;
        delete player;
        player = nullptr;
        DestroyAllImages();
        al_destroy_display(display);
        return 1;
    }

    player->Init(GetImage(FIGURE_PICTURE));
    objects.push_back(player);

    event_queue = al_create_event_queue();
    timer = al_create_timer(TICK_SECONDS);
    al_register_event_source(event_queue, al_get_display_event_source(display));
    al_register_event_source(event_queue, al_get_timer_event_source(timer));
    al_register_event_source(event_queue, al_get_keyboard_event_source());
    ListenToGamepads(event_queue);

    Screen screen(display);  // from here on the screen owns the window
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

    // --- Shutdown: objects, then pictures, then the library's handles; the window goes last,
    // with the screen ---
    DestroyPass();
    DestroyAllImages();
    al_destroy_timer(timer);
    al_destroy_event_queue(event_queue);
    return 0;
}
