#pragma once

#include <allegro5/allegro.h>
#include <string>
#include <vector>

#include "app/world.h"

// Gamepads feed the same held inputs as the arrow keys (see Held in world.h), and start the
// commands of R, S, Down and Space.

// The stick walks from WALK_FROM of its travel and stops only below STOP_BELOW, so that a
// worn stick resting off centre stands still and a thumb near the edge does not flicker
// between walking and standing.
constexpr float WALK_FROM = 0.5f;
constexpr float STOP_BELOW = 0.3f;

enum class PadCommand { NONE, RESET, SNOW, PLACE_BLOCKS, LOAD_LEVEL };

// What a button does. Allegro for Linux numbers a pad's buttons in the order of their evdev
// codes among those the pad has: the face buttons and the shoulders come first, with the
// same numbers on the common pads, while Select and Start move with the trigger buttons a
// pad may have. So only buttons 0 to 5 are used, and none of them quits.
struct PadButton {
    int button;
    int holds;  // a KEYS index, or -1
    PadCommand command;
};
constexpr PadButton PAD_BUTTONS[] = {
    {0, UP, PadCommand::NONE},                // bottom face button: jump
    {1, DOWN, PadCommand::PLACE_BLOCKS},      // right face button
    {2, -1, PadCommand::SNOW},                // left (or top) face button
    {4, SPACE, PadCommand::LOAD_LEVEL},       // left shoulder
    {5, -1, PadCommand::RESET},               // right shoulder
};

// Which of a pad's sticks walk: its first analogue stick and its d-pad (a digital stick).
// -1 when the pad has none. And the buttons of its shoulders, and of a d-pad made of
// buttons: Allegro for Linux numbers buttons only, the shoulders 4 and 5 as in PAD_BUTTONS,
// while its XInput driver on Windows names them, with the shoulders the other way round
// ("RB" 4, "LB" 5) and the d-pad as buttons ("LEFT DPAD", "RIGHT DPAD").
struct PadLayout {
    int stick = -1;
    int dpad = -1;
    int leftShoulder = 4;
    int rightShoulder = 5;
    int dpadLeft = -1;
    int dpadRight = -1;
};

// A pad as found when the pads change: what it is and what it holds right now.
struct PadFound {
    const ALLEGRO_JOYSTICK* id = nullptr;
    std::string name;
    PadLayout layout;
    ALLEGRO_JOYSTICK_STATE state{};
};

// Every pad's state, from the library's joystick events and the window's focus. Knows
// nothing of the device: main's side asks the library and hands over what it found.
class Gamepads {
public:
    // A button or axis event; the command a button starts, if any. Events of a pad not (or no
    // longer) connected, of sticks and axes that do not walk, and while the window is not
    // in focus change nothing.
    PadCommand Handle(const ALLEGRO_EVENT& ev);

    // The pads connected now. A pad gone lets go of what it held; every pad holds what its
    // state says it holds now. The names of the pads that came and went.
    struct Changes {
        std::vector<std::string> plugged;
        std::vector<std::string> unplugged;
    };
    Changes Connected(const std::vector<PadFound>& pads);

    // Away from the window the pads hold nothing and are not listened to.
    void FocusLost();
    void FocusReturned() { focused_ = true; }

    bool Holds(KEYS input) const { return held_[input]; }
    std::size_t Count() const { return pads_.size(); }

private:
    struct Pad {
        const ALLEGRO_JOYSTICK* id;
        std::string name;
        PadLayout layout;
        int stick = 0;  // -1 left, 0 standing, 1 right
        int dpad = 0;
        bool dpadButtons[2] = {};  // left, right
        bool buttons[5] = {};      // by KEYS index
    };
    Pad* Find(const ALLEGRO_JOYSTICK* id);
    void Sum();

    std::vector<Pad> pads_;
    bool focused_ = true;
    bool held_[5] = {};
};

// The stick's new direction from its position, given its direction so far.
int StickDirection(float position, int direction);

// The game's pads.
extern Gamepads gamepads;

// Installs the joystick driver and listens to it; without one the game plays on with the
// keyboard.
void ListenToGamepads(ALLEGRO_EVENT_QUEUE* queue);
// A joystick event from the queue, with the pointer as a game pixel for the block placement.
void HandleGamepadEvent(const ALLEGRO_EVENT& ev, int mouseX, int mouseY);
