"""Playing with a gamepad: a virtual pad (tests/harness/gamepad.py) walks, jumps and places
blocks, and lets go of what it held when it is unplugged. What each button and axis does is
the unit table's; here the real driver, hot-plug and the loop are on trial."""
import time

import pytest

from harness import grab, level_text, poll, rules
from looks import BLOCK, FIG_H, FIG_W, OFFSET_X, OFFSET_Y, REST, REST_CAMERA, block_drawn, blocks_at, camera, figure_box, figure_drawn, on_screen

# A wall on the floor to the right of the start: the figure can only be against its left face
# by walking right.
WALL = (480, rules.FLOOR - BLOCK)
AGAINST_WALL_WORLD = (WALL[0] - FIG_W, rules.FLOOR - FIG_H)

# Blocks in the air, their gaps all different: the row seen in the window tells where the
# view is, and a jump shows as the row moving down.
MARKERS_Y = 450
MARKERS = [(x, MARKERS_Y) for x in (96, 168, 288, 456, 672, 936, 1248, 1608, 2016, 2472, 2976)]
MARKER_BAND = (0, MARKERS_Y - REST_CAMERA[1] - 10, 250, MARKERS_Y - REST_CAMERA[1] + 100)

POINTER = (200, 150)


def started(play, shoot, gamepads, blocks=(), plugged=True):
    """The game with a pad plugged in before it starts (or none yet), its figure at rest on the
    floor and the blocks at world (x, y) loaded."""
    pad = gamepads.plug() if plugged else None
    game, window = play(level=level_text([(0, x, y) for x, y in blocks]), gamepads=gamepads)
    poll(30, lambda: shoot(window, "at-rest"), lambda shot: figure_drawn(shot, *REST), game)
    if blocks:
        window.key("space")
        x, y = on_screen(blocks[0], REST_CAMERA)
        poll(10, lambda: shoot(window, "level"), lambda shot: block_drawn(shot, x, y), game)
    return game, window, pad


def against_wall(shot):
    view = camera(AGAINST_WALL_WORLD)
    box = figure_box(*on_screen(AGAINST_WALL_WORLD, view))
    if shot.count("#", box) < 10:
        return "no figure in its box (%d,%d)-(%d,%d)" % box
    return block_drawn(shot, *on_screen(WALL, view))


@pytest.mark.parametrize("control", ["stick", "dpad"])
def test_stick_and_dpad_walk_right(play, shoot, gamepads, control):
    game, window, pad = started(play, shoot, gamepads, [WALL])
    getattr(pad, control)(1)
    poll(15, lambda: shoot(window, "walked-right"), against_wall, game)


def marker_columns(window):
    """Where the air blocks are across the window: the runs of drawn columns along their row."""
    x, y, _, _ = window.geometry()
    shot = grab(window.conn, (x, y + MARKERS_Y - REST_CAMERA[1] + BLOCK // 2, rules.WINDOW_SIZE, 1))
    row = shot.rows()[0]
    return tuple(i for i, c in enumerate(row) if c == "#" and (i == 0 or row[i - 1] != "#"))


def test_unplugging_while_walking_stops_the_figure(play, shoot, gamepads):
    game, window, pad = started(play, shoot, gamepads, MARKERS)
    at_rest = marker_columns(window)
    pad.stick(1)
    poll(10, lambda: marker_columns(window),
         lambda seen: None if seen != at_rest else "the stick pushed right does not walk the figure", game)
    pad.unplug()
    poll(10, game.stderr, lambda err: None if "gamepad unplugged" in err else "the unplug was not heard", game)
    time.sleep(0.2)
    first = marker_columns(window)
    time.sleep(1)
    assert marker_columns(window) == first, "the figure walks on after its pad was unplugged"
    assert game.stderr().count("\n") == 1, game.stderr()


def jump_height(window, pad, seconds):
    """Holds the jump button for seconds; how far the air blocks came down at most meanwhile."""
    x, y, _, _ = window.geometry()
    band = (x + MARKER_BAND[0], y + MARKER_BAND[1], MARKER_BAND[2] - MARKER_BAND[0] + 1,
            MARKER_BAND[3] - MARKER_BAND[1] + 1)

    def top():
        ink = grab(window.conn, band).ink_box()
        return ink[1] if ink else rest

    rest = None
    rest = top()
    highest = 0
    pad.hold("south", seconds)
    start = time.monotonic()
    while time.monotonic() - start < 1.5:
        highest = max(highest, top() - rest)
    return highest


def test_longer_hold_jumps_higher(play, shoot, gamepads):
    game, window, pad = started(play, shoot, gamepads, MARKERS)
    short = jump_height(window, pad, 0.05)
    long = jump_height(window, pad, 0.5)
    assert short > 5 and long >= short + 8, "a jump held 0.05 s rose %d pixels, one held 0.5 s %d" % (short, long)


def test_pad_plugged_after_start_places_blocks_under_pointer(play, shoot, gamepads):
    game, window, _ = started(play, shoot, gamepads, plugged=False)
    pad = gamepads.plug()
    poll(10, game.stderr, lambda err: None if "gamepad plugged in" in err else "the new pad was not heard", game)
    window.pointer(*POINTER)
    time.sleep(0.3)
    pad.press("east")
    pad.release("east")
    placed = (POINTER[0] - OFFSET_X, POINTER[1] - OFFSET_Y)
    poll(10, lambda: shoot(window, "blocks"), lambda shot: blocks_at(shot, *placed, blocks=2), game)
    assert game.stderr() == "platformer: gamepad plugged in: Virtual gamepad\n"
