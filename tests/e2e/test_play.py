"""A player's session: the figure at rest, walking into a wall, a jump, the keys that place
blocks, load the level, reset the figure and let snow fall, and Escape."""
import time

import pytest

from harness import poll, rules
from looks import (BLOCK, FIG_H, FIG_W, FLOOR_ROW, FRAME_RATE, HALF, OFFSET_X, OFFSET_Y, REST,
                   REST_CAMERA, SIZE, WHOLE, block_box, block_drawn, blocks_at, camera, escape_ends_game,
                   figure_box, figure_drawn, on_screen, rest_view, ruled_row)

# Where Down is pressed: its two blocks land side by side, 9 left of and 8 above the pointer,
# wherever the view is.
POINTER = (200, 150)
PLACED = (POINTER[0] - OFFSET_X, POINTER[1] - OFFSET_Y)


def level_block(x, y):
    """Where a level record's block lies in the world: x snapped down to the block grid."""
    return (x // BLOCK * BLOCK, y)


# The level: three blocks in view of the figure at rest, the third standing on the floor, a
# wall in the way when the figure walks left; two more just below the start point, off
# screen while the figure is on the floor: after R the figure must come down on them, which
# shows that R put it back at its start.
SHOWN = [(0, 240, 500), (7, 400, 380), (3, 200, 576)]
UNDER_START = [(1, 340, 200), (2, 370, 200)]
LEVEL = "".join("%d,%d,%d\n" % r for r in SHOWN + UNDER_START)
WALL = level_block(200, 576)

# Against the wall's right face the view is held at the world's left edge.
AT_WALL_WORLD = (WALL[0] + BLOCK, rules.FLOOR - FIG_H)
AT_WALL_CAMERA = camera(AT_WALL_WORLD)
AT_WALL = on_screen(AT_WALL_WORLD, AT_WALL_CAMERA)
WALL_ON_SCREEN = on_screen(WALL, AT_WALL_CAMERA)

# Back at its start, the figure stands on the two blocks under it, the view held at the
# world's top.
START_BLOCKS = [level_block(x, y) for _, x, y in UNDER_START]
ON_START_BLOCKS_WORLD = (rules.FIGURE_START[0], START_BLOCKS[0][1] - FIG_H)
START_CAMERA = camera(ON_START_BLOCKS_WORLD)


def at_rest(play, shoot, level=None):
    """The game started, its figure fallen onto the floor line: (game, window, screenshot)."""
    game, window = play(level=level)
    shot = poll(30, lambda: shoot(window, "at-rest"), rest_view, game)
    return game, window, shot


def level_shown(shot):
    for x, y in (level_block(x, y) for _, x, y in SHOWN):
        why = blocks_at(shot, *on_screen((x, y), REST_CAMERA))
        if why:
            return why
    return None


def load_level(game, window, shoot):
    window.key("space")
    poll(10, lambda: shoot(window, "level-loaded"), level_shown, game)


def figure_at_wall(shot):
    """The figure against the wall's right face, and nothing else on the floor row."""
    x, y = AT_WALL
    box = figure_box(x, y)
    if shot.count("#", box) < 10:
        return "the figure is not against the wall at (%d,%d): floor row: %s" % (x, y, shot.describe(FLOOR_ROW))
    why = block_drawn(shot, *WALL_ON_SCREEN)
    if why:
        return why
    others = shot.count("#w", FLOOR_ROW) - shot.count("#w", box) - shot.count("#w", block_box(*WALL_ON_SCREEN))
    if others:
        return "%d drawn pixels on the floor row besides the figure at (%d,%d) and the wall at (%d,%d); floor row: %s" % (
            (others, x, y) + WALL_ON_SCREEN + (shot.describe(FLOOR_ROW),))
    return None


def figure_back_at_start(shot):
    """The figure standing on the blocks under its start, the floor row empty."""
    why = figure_drawn(shot, *on_screen(ON_START_BLOCKS_WORLD, START_CAMERA), below=False)
    for block in START_BLOCKS:
        why = why or block_drawn(shot, *on_screen(block, START_CAMERA))
    if why:
        return why
    if shot.ink_box(FLOOR_ROW) is not None:
        return "something is still drawn where the floor row was: %s" % shot.describe(FLOOR_ROW)
    return None


def press_down_at_pointer(window):
    window.pointer(*POINTER)
    time.sleep(0.3)  # the game reads the pointer once per event: let a few ticks pass
    window.key("Down")


def two_blocks_under_pointer(shot):
    return blocks_at(shot, *PLACED, blocks=2)


@pytest.mark.windows
def test_window_opens_600x600_titled_platformer(play):
    _, window = play()
    assert window.size() == (SIZE, SIZE)
    assert window.title() == rules.WINDOW_TITLE


@pytest.mark.windows
def test_figure_falls_and_rests_under_ruled_lines(play, shoot):
    _, _, shot = at_rest(play, shoot)
    # Exact colours beside the figure and on the first and last ruled lines: a clear message
    # should the letter map be wrong.
    lines = [y for y in range(SIZE) if ruled_row(y, REST_CAMERA[1])]
    sky, black = rules.SKY, (0, 0, 0)
    for x, y, want in [(REST[0] - 6, HALF, sky), (REST[0] + FIG_W + 5, HALF, sky),
                       (5, lines[0], black), (590, lines[-1], black)]:
        assert shot.rgb(x, y) == want, "pixel (%d,%d) is %s, expected %s" % (x, y, shot.rgb(x, y), want)


@pytest.mark.windows
def test_down_places_two_blocks_under_pointer(play, shoot):
    game, window, _ = at_rest(play, shoot)
    press_down_at_pointer(window)
    poll(10, lambda: shoot(window, "blocks-under-pointer"), two_blocks_under_pointer, game)


@pytest.mark.windows
def test_space_loads_level_blocks(play, shoot):
    game, window, _ = at_rest(play, shoot, LEVEL)
    load_level(game, window, shoot)


def walked_to_wall(play, shoot):
    """The level loaded and Left held until the figure stands against its wall (Left stays held)."""
    game, window, _ = at_rest(play, shoot, LEVEL)
    load_level(game, window, shoot)
    window.key_down("Left")
    try:
        poll(10, lambda: shoot(window, "walked-left"), figure_at_wall, game)
    except BaseException:
        window.key_up("Left")
        raise
    return game, window


@pytest.mark.windows
def test_holding_left_walks_figure_until_wall_stops_it(play, shoot):
    # The view stops at the world's left edge once the figure is near it, and from then on the
    # figure itself moves left on screen; the wall stops it long before it could leave the
    # window, so it ends the same way however long Left is held beyond that.
    game, window = walked_to_wall(play, shoot)
    try:
        time.sleep(0.5)
        why = figure_at_wall(shoot(window, "still-held"))
        assert why is None, "Left still held half a second later: " + why
    finally:
        window.key_up("Left")
    poll(5, lambda: shoot(window, "released"), figure_at_wall, game)


def view_risen(shot):
    """The view has risen with the figure in the air: its ruled lines stand lower than at rest."""
    lines = [y for y, row in enumerate(shot.rows()) if row.count("k") > SIZE // 2]
    if lines and lines != [y for y in range(SIZE) if ruled_row(y, REST_CAMERA[1])]:
        return None
    return "the ruled lines are where they are at rest: the figure has not left the floor"


@pytest.mark.windows
def test_up_jumps_figure_and_it_lands_again(play, shoot):
    game, window, _ = at_rest(play, shoot)
    window.hold("Up", 0.2)
    poll(5, lambda: shoot(window, "in-the-air"), view_risen, game, interval=0.05)
    poll(10, lambda: shoot(window, "landed"), rest_view, game)


@pytest.mark.windows
def test_r_puts_figure_back_at_start(play, shoot):
    game, window = walked_to_wall(play, shoot)
    window.key_up("Left")
    window.key("r")
    poll(15, lambda: shoot(window, "reset"), figure_back_at_start, game)


def test_down_right_after_r_places_blocks_under_pointer(play, shoot):
    # With the view held at the world's top the blocks land just as where the view follows.
    # (That R itself moves the figure is the case above: here the level may load before
    # the figure has fallen past its blocks.)
    game, window = play(level=LEVEL)
    game.wait_for_frames(1)
    window.key("space")
    window.key("r")
    poll(15, lambda: shoot(window, "reset"), figure_back_at_start, game)
    press_down_at_pointer(window)
    poll(10, lambda: shoot(window, "blocks-after-reset"), two_blocks_under_pointer, game)


@pytest.mark.windows
def test_s_lets_snow_fall(play, shoot):
    # A dot covers about 12 pixels and about half of the flakes fall inside the window:
    # ask for a few dots' worth of white.
    game, window, shot = at_rest(play, shoot)
    before = shot.count("w", WHOLE)
    window.key("s")

    def snow_visible(shot):
        white = shot.count("w", WHOLE)
        return None if white >= before + 24 else "only %d white pixels (%d before S)" % (white, before)
    poll(10, lambda: shoot(window, "snow"), snow_visible, game)


@pytest.mark.serial
@pytest.mark.windows
def test_escape_ends_game_after_frame_rate_lines_only(play):
    # One frame per 60 Hz tick when the game keeps up.
    game, window = play()
    game.wait_for_frames(90)
    escape_ends_game(window, game, 15)
    lines = game.stdout_lines()
    bad = [line for line in lines if not FRAME_RATE.match(line)]
    assert len(lines) >= 30 and not bad, "stdout has %d lines, %d of them not a frame rate; first lines:\n%s" % (
        len(lines), len(bad), "\n".join(lines[:5]))
    median = sorted(float(v) for v in lines)[(len(lines) + 1) // 2 - 1]
    assert 40 <= median <= 80, "median frame rate %s over %d frames, expected 40 to 80" % (median, len(lines))
    assert game.stderr() == ""
