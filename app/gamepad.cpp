#include "app/gamepad.h"

#include <algorithm>
#include <cmath>
#include <unistd.h>

#include "app/commands.h"
#include "app/level_load.h"
#include "app/output.h"

Gamepads gamepads;

bool Held(KEYS input)
{
    return keys[input] || gamepads.Holds(input);
}

namespace {

const PadButton* ButtonRow(int button)
{
    for (const PadButton& row : PAD_BUTTONS)
        if (row.button == button)
            return &row;
    return nullptr;
}

// The pad's own number for a button of PAD_BUTTONS, and back.
int PadsOwn(int button, const PadLayout& layout)
{
    return button == 4 ? layout.leftShoulder : button == 5 ? layout.rightShoulder : button;
}
int AsInTable(int button, const PadLayout& layout)
{
    if (button == layout.leftShoulder)
        return 4;
    if (button == layout.rightShoulder)
        return 5;
    return button == 4 || button == 5 ? -1 : button;
}

bool Pressed(const ALLEGRO_JOYSTICK_STATE& state, int button)
{
    return button >= 0 && button < _AL_MAX_JOYSTICK_BUTTONS && state.button[button] != 0;
}

}  // namespace

int StickDirection(float position, int direction)
{
    if (std::isnan(position))
        return direction;
    position = std::clamp(position, -1.0f, 1.0f);
    if (position >= WALK_FROM)
        return 1;
    if (position <= -WALK_FROM)
        return -1;
    // Between the two thresholds the stick keeps walking the way it already walked.
    if (std::fabs(position) >= STOP_BELOW && (position > 0) == (direction > 0) && direction != 0)
        return direction;
    return 0;
}

Gamepads::Pad* Gamepads::Find(const ALLEGRO_JOYSTICK* id)
{
    for (Pad& pad : pads_)
        if (pad.id == id)
            return &pad;
    return nullptr;
}

void Gamepads::Sum()
{
    for (bool& held : held_)
        held = false;
    if (!focused_)
        return;
    for (const Pad& pad : pads_) {
        for (int input = 0; input < 5; ++input)
            held_[input] = held_[input] || pad.buttons[input];
        held_[LEFT] = held_[LEFT] || pad.stick < 0 || pad.dpad < 0 || pad.dpadButtons[0];
        held_[RIGHT] = held_[RIGHT] || pad.stick > 0 || pad.dpad > 0 || pad.dpadButtons[1];
    }
}

PadCommand Gamepads::Handle(const ALLEGRO_EVENT& ev)
{
    if (!focused_)
        return PadCommand::NONE;
    Pad* pad = Find(ev.joystick.id);
    if (pad == nullptr)
        return PadCommand::NONE;

    PadCommand command = PadCommand::NONE;
    switch (ev.type) {
    case ALLEGRO_EVENT_JOYSTICK_AXIS:
        // Only the horizontal axis walks; a pad without a stick has -1 for it.
        if (ev.joystick.axis != 0 || ev.joystick.stick < 0)
            break;
        if (ev.joystick.stick == pad->layout.stick)
            pad->stick = StickDirection(ev.joystick.pos, pad->stick);
        else if (ev.joystick.stick == pad->layout.dpad)
            pad->dpad = StickDirection(ev.joystick.pos, pad->dpad);
        break;
    case ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN:
    case ALLEGRO_EVENT_JOYSTICK_BUTTON_UP: {
        const bool down = ev.type == ALLEGRO_EVENT_JOYSTICK_BUTTON_DOWN;
        const int button = ev.joystick.button;
        if (button < 0)
            break;
        if (button == pad->layout.dpadLeft)
            pad->dpadButtons[0] = down;
        else if (button == pad->layout.dpadRight)
            pad->dpadButtons[1] = down;
        else if (const PadButton* row = ButtonRow(AsInTable(button, pad->layout))) {
            if (row->holds >= 0)
                pad->buttons[row->holds] = down;
            if (down)
                command = row->command;
        }
        break;
    }
    default:
        break;
    }
    Sum();
    return command;
}

Gamepads::Changes Gamepads::Connected(const std::vector<PadFound>& found)
{
    Changes changes;
    std::vector<Pad> now;
    for (const PadFound& f : found) {
        const Pad* before = Find(f.id);
        if (before == nullptr)
            changes.plugged.push_back(f.name);
        Pad pad{f.id, f.name, f.layout};
        if (focused_) {
            // Read afresh: a pad unplugged and plugged again between two looks may come back
            // as the same joystick, and must not keep holding what it held before.
            if (f.layout.stick >= 0 && f.layout.stick < _AL_MAX_JOYSTICK_STICKS)
                pad.stick = StickDirection(f.state.stick[f.layout.stick].axis[0], 0);
            if (f.layout.dpad >= 0 && f.layout.dpad < _AL_MAX_JOYSTICK_STICKS)
                pad.dpad = StickDirection(f.state.stick[f.layout.dpad].axis[0], 0);
            for (const PadButton& row : PAD_BUTTONS)
                if (row.holds >= 0)
                    pad.buttons[row.holds] = Pressed(f.state, PadsOwn(row.button, f.layout));
            pad.dpadButtons[0] = Pressed(f.state, f.layout.dpadLeft);
            pad.dpadButtons[1] = Pressed(f.state, f.layout.dpadRight);
        }
        now.push_back(pad);
    }
    for (const Pad& pad : pads_) {
        const bool stays = std::any_of(found.begin(), found.end(), [&](const PadFound& f) { return f.id == pad.id; });
        if (!stays)
            changes.unplugged.push_back(pad.name);
    }
    pads_ = std::move(now);
    Sum();
    return changes;
}

void Gamepads::FocusLost()
{
    focused_ = false;
    for (Pad& pad : pads_) {
        pad.stick = 0;
        pad.dpad = 0;
        std::fill(std::begin(pad.buttons), std::end(pad.buttons), false);
        std::fill(std::begin(pad.dpadButtons), std::end(pad.dpadButtons), false);
    }
    Sum();
}

// --- The library's side ---

namespace {

PadLayout FindLayout(ALLEGRO_JOYSTICK* joystick)
{
    PadLayout layout;
    const int sticks = std::min(al_get_joystick_num_sticks(joystick), _AL_MAX_JOYSTICK_STICKS);
    for (int stick = 0; stick < sticks; ++stick) {
        if (al_get_joystick_num_axes(joystick, stick) < 1)
            continue;
        const int flags = al_get_joystick_stick_flags(joystick, stick);
        if ((flags & ALLEGRO_JOYFLAG_DIGITAL) != 0) {
            if (layout.dpad < 0)
                layout.dpad = stick;
        } else if (layout.stick < 0) {
            layout.stick = stick;
        }
    }
    const int buttons = std::min(al_get_joystick_num_buttons(joystick), _AL_MAX_JOYSTICK_BUTTONS);
    for (int button = 0; button < buttons; ++button) {
        const char* name = al_get_joystick_button_name(joystick, button);
        const std::string named = name != nullptr ? name : "";
        if (named == "LB")
            layout.leftShoulder = button;
        else if (named == "RB")
            layout.rightShoulder = button;
        else if (named == "LEFT DPAD")
            layout.dpadLeft = button;
        else if (named == "RIGHT DPAD")
            layout.dpadRight = button;
    }
    return layout;
}

std::vector<PadFound> PadsConnected()
{
    std::vector<PadFound> pads;
    const int count = al_get_num_joysticks();
    for (int i = 0; i < count; ++i) {
        ALLEGRO_JOYSTICK* joystick = al_get_joystick(i);
        if (joystick == nullptr || !al_get_joystick_active(joystick))
            continue;
        PadFound pad;
        pad.id = joystick;
        const char* name = al_get_joystick_name(joystick);
        pad.name = name != nullptr ? name : "";
        pad.layout = FindLayout(joystick);
        al_get_joystick_state(joystick, &pad.state);
        pads.push_back(pad);
    }
    return pads;
}

void RunPadCommand(PadCommand command, int mouseX, int mouseY)
{
    switch (command) {
    case PadCommand::RESET:
        ResetPlayer();
        break;
    case PadCommand::SNOW:
        SnowBurst();
        break;
    case PadCommand::PLACE_BLOCKS:
        PlaceBlocks(mouseX, mouseY);
        break;
    case PadCommand::LOAD_LEVEL:
        LoadLevel();
        break;
    case PadCommand::NONE:
        break;
    }
}

}  // namespace

void ListenToGamepads(ALLEGRO_EVENT_QUEUE* queue)
{
    if (!al_install_joystick())
        return;
    al_register_event_source(queue, al_get_joystick_event_source());
    gamepads.Connected(PadsConnected());
}

void HandleGamepadEvent(const ALLEGRO_EVENT& ev, int mouseX, int mouseY)
{
    if (ev.type == ALLEGRO_EVENT_JOYSTICK_CONFIGURATION) {
        al_reconfigure_joysticks();
        const Gamepads::Changes changes = gamepads.Connected(PadsConnected());
        for (const std::string& name : changes.plugged)
            WriteLineWithoutWaiting(STDERR_FILENO, "platformer: gamepad plugged in: " + Printable(name) + "\n");
        for (const std::string& name : changes.unplugged)
            WriteLineWithoutWaiting(STDERR_FILENO, "platformer: gamepad unplugged: " + Printable(name) + "\n");
        return;
    }
    RunPadCommand(gamepads.Handle(ev), mouseX, mouseY);
}
