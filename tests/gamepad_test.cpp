#include <allegro5/keycodes.h>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "app/gamepad.h"
#include "app/input.h"
#include "test_support.h"

namespace {

using Flags = std::array<bool, 5>;  // UP, DOWN, LEFT, RIGHT, SPACE as the tick reads them

// Two pads laid out as the library shows a common pad: the left stick first, the d-pad the
// fourth (digital) stick. They are never dereferenced.
int padA, padB, padC, padD;
ALLEGRO_JOYSTICK* const A = reinterpret_cast<ALLEGRO_JOYSTICK*>(&padA);
ALLEGRO_JOYSTICK* const B = reinterpret_cast<ALLEGRO_JOYSTICK*>(&padB);
ALLEGRO_JOYSTICK* const NO_STICKS = reinterpret_cast<ALLEGRO_JOYSTICK*>(&padC);
// A pad as XInput names its buttons: "RB" 4, "LB" 5, the d-pad "RIGHT DPAD" 10, "LEFT DPAD" 11.
ALLEGRO_JOYSTICK* const NAMED = reinterpret_cast<ALLEGRO_JOYSTICK*>(&padD);
constexpr int STICK = 0, TRIGGER_AND_RIGHT_STICK = 1, DPAD = 3;
constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float INF = std::numeric_limits<float>::infinity();

PadFound Found(ALLEGRO_JOYSTICK* id, float stickX = 0, int heldButton = -1)
{
    PadFound pad;
    pad.id = id;
    pad.name = id == A ? "A" : id == B ? "B" : "C";
    pad.layout = id == NO_STICKS ? PadLayout{} : id == NAMED ? PadLayout{STICK, -1, 5, 4, 11, 10} : PadLayout{STICK, DPAD};
    pad.state.stick[STICK].axis[0] = stickX;
    if (heldButton >= 0)
        pad.state.button[heldButton] = 32767;
    return pad;
}

struct Step {
    enum Kind { DOWN, UP, AXIS, CONNECTED, FOCUS_LOST, FOCUS_RETURNED, KEY_DOWN, KEY_UP } kind;
    ALLEGRO_JOYSTICK* pad = nullptr;
    int number = 0;  // button, stick or key code
    int axis = 0;
    float pos = 0;
    std::vector<PadFound> pads = {};
};

Step Down(ALLEGRO_JOYSTICK* pad, int button) { return {Step::DOWN, pad, button}; }
Step Up(ALLEGRO_JOYSTICK* pad, int button) { return {Step::UP, pad, button}; }
Step Axis(ALLEGRO_JOYSTICK* pad, int stick, int axis, float pos) { return {Step::AXIS, pad, stick, axis, pos}; }
Step Stick(ALLEGRO_JOYSTICK* pad, float x) { return Axis(pad, STICK, 0, x); }
Step Connected(std::vector<PadFound> pads) { return {Step::CONNECTED, nullptr, 0, 0, 0, std::move(pads)}; }
const Step FocusLost{Step::FOCUS_LOST};
const Step FocusReturned{Step::FOCUS_RETURNED};
Step Key(int keycode, bool down) { return {down ? Step::KEY_DOWN : Step::KEY_UP, nullptr, keycode}; }

PadCommand Apply(const Step& step)
{
    switch (step.kind) {
    case Step::DOWN:
    case Step::UP:
        return gamepads.Handle(PadButtonEvent(step.kind == Step::DOWN, step.pad, step.number));
    case Step::AXIS:
        return gamepads.Handle(PadAxisEvent(step.pad, step.number, step.axis, step.pos));
    case Step::CONNECTED:
        gamepads.Connected(step.pads);
        break;
    case Step::FOCUS_LOST:
        gamepads.FocusLost();
        break;
    case Step::FOCUS_RETURNED:
        gamepads.FocusReturned();
        break;
    case Step::KEY_DOWN:
        HandleKeyDown(step.number, 0, 0);
        break;
    case Step::KEY_UP:
        HandleKeyUp(step.number);
        break;
    }
    return PadCommand::NONE;
}

struct PadCase {
    const char* name;
    std::vector<Step> steps;  // with pads A, B and one with no sticks connected first
    Flags held;               // after the last step
    PadCommand command;       // of the last step
};

const Flags NOTHING{};
const Flags JUMP{true, false, false, false, false};
const Flags LEFT_HELD{false, false, true, false, false};
const Flags RIGHT_HELD{false, false, false, true, false};
const Flags BOTH_WAYS{false, false, true, true, false};
const Flags JUMP_RIGHT{true, false, false, true, false};

const PadCase kPadCases[] = {
    // Buttons
    {"bottom button holds the jump", {Down(A, 0)}, JUMP, PadCommand::NONE},
    {"bottom button released", {Down(A, 0), Up(A, 0)}, NOTHING, PadCommand::NONE},
    {"right button places blocks, holding Down", {Down(A, 1)}, {false, true, false, false, false},
     PadCommand::PLACE_BLOCKS},
    {"left or top button lets snow loose", {Down(A, 2)}, NOTHING, PadCommand::SNOW},
    {"left shoulder loads the level, holding Space", {Down(A, 4)}, {false, false, false, false, true},
     PadCommand::LOAD_LEVEL},
    {"right shoulder resets", {Down(A, 5)}, NOTHING, PadCommand::RESET},
    {"a command runs on the press only", {Down(A, 1), Up(A, 1)}, NOTHING, PadCommand::NONE},
    {"buttons numbered apart between pads, or out of range, do nothing",
     {Down(A, 3), Down(A, 6), Down(A, 7), Down(A, 8), Down(A, 9), Down(A, 32), Down(A, -1), Down(A, 1 << 20)},
     NOTHING, PadCommand::NONE},
    {"a release without a press is harmless", {Up(A, 0), Up(A, 4)}, NOTHING, PadCommand::NONE},
    // The stick's dead zone and hysteresis
    {"stick inside the dead zone stands", {Stick(A, 0.49f)}, NOTHING, PadCommand::NONE},
    {"stick at the threshold walks", {Stick(A, 0.5f)}, RIGHT_HELD, PadCommand::NONE},
    {"stick eased back keeps walking", {Stick(A, 0.9f), Stick(A, 0.31f)}, RIGHT_HELD, PadCommand::NONE},
    {"stick eased back at the stop keeps walking", {Stick(A, -0.9f), Stick(A, -0.3f)}, LEFT_HELD, PadCommand::NONE},
    {"stick below the stop stands", {Stick(A, -0.9f), Stick(A, -0.29f)}, NOTHING, PadCommand::NONE},
    {"stick creeping up from rest never walks", {Stick(A, 0.2f), Stick(A, 0.35f), Stick(A, 0.45f)}, NOTHING,
     PadCommand::NONE},
    {"stick flicked across short of the threshold stands", {Stick(A, 0.9f), Stick(A, -0.4f)}, NOTHING,
     PadCommand::NONE},
    {"stick flicked across past the threshold turns", {Stick(A, 0.9f), Stick(A, -0.6f)}, LEFT_HELD, PadCommand::NONE},
    {"out of range and infinite are full travel", {Stick(A, 7.5f), Stick(A, -INF)}, LEFT_HELD, PadCommand::NONE},
    {"NaN changes nothing", {Stick(A, 0.8f), Stick(A, NaN)}, RIGHT_HELD, PadCommand::NONE},
    {"stick up or down does not walk", {Axis(A, STICK, 1, 1.0f), Axis(A, STICK, 1, -1.0f)}, NOTHING,
     PadCommand::NONE},
    {"a trigger or the right stick does not walk", {Axis(A, TRIGGER_AND_RIGHT_STICK, 0, 1.0f)}, NOTHING,
     PadCommand::NONE},
    {"sticks and axes the pad does not have do nothing", {Axis(A, 9, 0, 1.0f), Axis(A, -1, 0, 1.0f),
     Axis(A, STICK, 5, 1.0f)}, NOTHING, PadCommand::NONE},
    {"a pad without sticks does not walk", {Axis(NO_STICKS, 0, 0, 1.0f), Axis(NO_STICKS, -1, 0, 1.0f)}, NOTHING,
     PadCommand::NONE},
    // The d-pad
    {"d-pad left walks left", {Axis(A, DPAD, 0, -1.0f)}, LEFT_HELD, PadCommand::NONE},
    {"d-pad let go stands", {Axis(A, DPAD, 0, 1.0f), Axis(A, DPAD, 0, 0.0f)}, NOTHING, PadCommand::NONE},
    {"d-pad up does not jump", {Axis(A, DPAD, 1, -1.0f)}, NOTHING, PadCommand::NONE},
    {"d-pad and stick apart hold both ways, for the tick to prefer Left",
     {Axis(A, DPAD, 0, -1.0f), Stick(A, 1.0f)}, BOTH_WAYS, PadCommand::NONE},
    {"stick let go while the d-pad holds", {Axis(A, DPAD, 0, 1.0f), Stick(A, 1.0f), Stick(A, 0.0f)}, RIGHT_HELD,
     PadCommand::NONE},
    // A pad whose buttons the library names
    {"its LB loads the level", {Down(NAMED, 5)}, {false, false, false, false, true}, PadCommand::LOAD_LEVEL},
    {"its RB resets", {Down(NAMED, 4)}, NOTHING, PadCommand::RESET},
    {"its d-pad buttons walk", {Down(NAMED, 11), Up(NAMED, 11), Down(NAMED, 10)}, RIGHT_HELD, PadCommand::NONE},
    {"plugged with its d-pad held, it walks at once", {Connected({Found(NAMED, 0, 10)})}, RIGHT_HELD,
     PadCommand::NONE},
    // Two pads
    {"two pads both steer", {Stick(A, 1.0f), Down(B, 0)}, JUMP_RIGHT, PadCommand::NONE},
    {"one pad letting go leaves the other's hold", {Stick(A, 1.0f), Stick(B, 1.0f), Stick(A, 0.0f)}, RIGHT_HELD,
     PadCommand::NONE},
    {"one pad's release does not release the other's button", {Down(A, 0), Down(B, 0), Up(B, 0)}, JUMP,
     PadCommand::NONE},
    // Plugged and unplugged
    {"unplugging releases what the pad held", {Stick(A, 1.0f), Down(A, 0), Down(B, 4), Connected({Found(B)})},
     NOTHING, PadCommand::NONE},
    {"the pad left keeps its hold", {Stick(A, 1.0f), Down(B, 0), Connected({Found(B, 0, 0)})}, JUMP,
     PadCommand::NONE},
    {"a vanished pad's late events do nothing", {Connected({Found(B)}), Stick(A, 1.0f), Down(A, 1)}, NOTHING,
     PadCommand::NONE},
    {"a pad back under the same handle holds only what it holds now", {Stick(A, 1.0f), Connected({Found(A)})},
     NOTHING, PadCommand::NONE},
    {"a pad plugged while held holds at once", {Connected({}), Connected({Found(A, 0.8f, 0)})}, JUMP_RIGHT,
     PadCommand::NONE},
    {"a pad plugged in works", {Connected({}), Connected({Found(B)}), Down(B, 2)}, NOTHING, PadCommand::SNOW},
    // Focus
    {"focus lost releases the pads", {Stick(A, 1.0f), Down(B, 0), FocusLost}, NOTHING, PadCommand::NONE},
    {"away from the window pads are not heard", {FocusLost, Stick(A, 1.0f), Down(A, 1)}, NOTHING, PadCommand::NONE},
    {"a pad plugged while away holds nothing", {FocusLost, Connected({Found(A, 1.0f, 0)})}, NOTHING,
     PadCommand::NONE},
    {"heard again once back", {FocusLost, Stick(A, 1.0f), FocusReturned, Down(A, 0)}, JUMP, PadCommand::NONE},
    // Keyboard and pad together
    {"stick let go while Right is held", {Key(ALLEGRO_KEY_RIGHT, true), Stick(A, 1.0f), Stick(A, 0.0f)}, RIGHT_HELD,
     PadCommand::NONE},
    {"Right let go while the stick holds", {Stick(A, 1.0f), Key(ALLEGRO_KEY_RIGHT, true), Key(ALLEGRO_KEY_RIGHT, false)},
     RIGHT_HELD, PadCommand::NONE},
    {"Up held with the pad's jump let go", {Key(ALLEGRO_KEY_UP, true), Down(A, 0), Up(A, 0)}, JUMP, PadCommand::NONE},
    {"focus lost while both hold", {Key(ALLEGRO_KEY_RIGHT, true), Stick(A, 1.0f), FocusLost, Key(ALLEGRO_KEY_RIGHT, false)},
     NOTHING, PadCommand::NONE},
};

class GamepadTest : public WorldTest {
protected:
    void TearDown() override
    {
        gamepads = Gamepads();
        WorldTest::TearDown();
    }
};

TEST_F(GamepadTest, EventsToHeldInputsAndCommands)
{
    for (const PadCase& c : kPadCases) {
        SCOPED_TRACE(c.name);
        gamepads = Gamepads();
        ReleaseHeldKeys();
        gamepads.Connected({Found(A), Found(B), Found(NO_STICKS), Found(NAMED)});
        PadCommand command = PadCommand::NONE;
        for (const Step& step : c.steps)
            command = Apply(step);
        EXPECT_EQ((Flags{Held(UP), Held(DOWN), Held(LEFT), Held(RIGHT), Held(SPACE)}), c.held);
        EXPECT_EQ(command, c.command);
    }
}

// The tick reads what the pads hold: the figure walks with the stick as with the arrow keys.
TEST_F(GamepadTest, TheTickMovesTheFigureByWhatThePadsHold)
{
    gamepads.Connected({Found(A)});
    Apply(Stick(A, 1.0f));
    ApplyMovementIntent();
    EXPECT_EQ(player->GetDirX(), 1);
    Apply(Axis(A, DPAD, 0, -1.0f));
    ApplyMovementIntent();
    EXPECT_EQ(player->GetDirX(), -1) << "Left wins";
}

}  // namespace
