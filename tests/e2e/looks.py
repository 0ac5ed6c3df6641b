"""What the player should see, and the screen conditions the end-to-end cases wait for.

Coordinates are pixels of the window, (0,0) at its top-left, unless called world.
Each condition takes a Shot and returns None when met, else why not (for harness.poll).

Where things are: the view keeps the figure's (x + 9, y + 8) mid-window, 9 and 8 being
the pointer offset, and is held at the world's left and top edges. The figure starts at
world (352,18) and falls onto the floor line: its top-left ends at world (352,581), the view's
top-left at world (61,289), the figure at window (291,292), and the ruled lines (world
y = 0, 15, 30, ...) at window rows 11, 26, ..., 596.
"""
import math
import re

from harness import rules

SIZE = rules.WINDOW_SIZE
HALF = rules.HALF_WINDOW
BLOCK = rules.BLOCK_SIZE
FIG_W, FIG_H = rules.FIGURE_SIZE
OFFSET_X, OFFSET_Y = rules.POINTER_OFFSET
WHOLE = (0, 0, SIZE - 1, SIZE - 1)

# The figure at rest on the floor line, in the world and in the window.
REST_WORLD = (rules.FIGURE_START[0], rules.FLOOR - FIG_H)


def camera(figure_world):
    """The view's top-left in the world while the figure's top-left is at figure_world."""
    return (max(0, figure_world[0] + OFFSET_X - HALF), max(0, figure_world[1] + OFFSET_Y - HALF))


def on_screen(world, view):
    return (world[0] - view[0], world[1] - view[1])


REST_CAMERA = camera(REST_WORLD)
REST = on_screen(REST_WORLD, REST_CAMERA)
# The band of rows the figure walks in while it is on the floor line.
FLOOR_ROW = (0, REST[1] - 10, SIZE - 1, REST[1] + FIG_H + 10)

# One frame-rate line of the game's standard output.
FRAME_RATE = re.compile(r"[0-9]+(\.[0-9]+)?(e[+-]?[0-9]+)?\Z")


def figure_box(x, y):
    return (x, y, x + FIG_W - 1, y + FIG_H - 1)


def block_box(x, y, blocks=1):
    return (x, y, x + blocks * BLOCK - 1, y + BLOCK - 1)


def figure_drawn(shot, x, y, below=True):
    """The figure's frame has ink in its box at (x, y), and nothing else is drawn within 6
    pixels left, right and above it, nor below unless below is False (it stands on something)."""
    box = figure_box(x, y)
    inside = shot.count("#", box)
    if inside < 10:
        return "no figure in its box (%d,%d)-(%d,%d): %d drawn pixels there" % (box + (inside,))
    bottom = box[3] + 6 if below else box[3]
    outer = (x - 6, y - 6, box[2] + 6, bottom)
    around = shot.count("#w", outer) - shot.count("#w", box)
    if around:
        return "%d drawn pixels just outside the figure's box (%d,%d)-(%d,%d): around it: %s" % (
            (around,) + box + (shot.describe(outer),))
    return None


def block_drawn(shot, x, y):
    """A block fills most of its square at (x, y) (the pictures may have see-through pixels)."""
    inside = shot.count("#", block_box(x, y))
    if inside < BLOCK * BLOCK // 2:
        return "no block at (%d,%d): only %d of its %d pixels are drawn" % (x, y, inside, BLOCK * BLOCK)
    return None


def clear_around(shot, box):
    """Nothing drawn within 6 pixels outside box (ruled lines aside): where blocks should end."""
    around = shot.around(box)
    if around:
        return "%d drawn pixels just outside (%d,%d)-(%d,%d), where the blocks should end; around it: %s" % (
            (around,) + tuple(box) + (shot.describe((box[0] - 6, box[1] - 6, box[2] + 6, box[3] + 6)),))
    return None


def blocks_at(shot, x, y, blocks=1):
    """blocks side by side from (x, y), and nothing drawn just around them."""
    for i in range(blocks):
        why = block_drawn(shot, x + i * BLOCK, y)
        if why:
            return why
    return clear_around(shot, block_box(x, y, blocks))


def ruled_row(y, view_top):
    return (y + view_top) % rules.RULED_LINE_SPACING == 0


def rest_view(shot):
    """The whole window at rest: sky, ruled lines, the figure's box at REST, nothing else."""
    fx0, fy0, fx1, fy1 = figure_box(*REST)
    bad = []
    count = 0
    for y, row in enumerate(shot.rows()):
        want = "k" if ruled_row(y, REST_CAMERA[1]) else "."
        if row == want * len(row):
            continue
        for x, c in enumerate(row):
            if c != want and not (fx0 <= x <= fx1 and fy0 <= y <= fy1):
                if count < 5:
                    bad.append("(%d,%d) is %s, expected %s;" % (x, y, c, want))
                count += 1
    if count:
        return ("the resting view is not sky with ruled lines and the figure: %d pixels differ: %s "
                "(letters: . sky, k black, w white, # other)" % (count, " ".join(bad)))
    return figure_drawn(shot, *REST)


def ink_at_least(count):
    """A condition: at least count drawn pixels in the whole window."""
    def check(shot):
        now = shot.count("#", WHOLE)
        return None if now >= count else "%d drawn pixels, expected at least %d" % (now, count)
    return check


def escape_ends_game(window, game, seconds):
    """Escape ends the game within seconds, with status 0."""
    window.key("Escape")
    status = game.wait(seconds)
    assert status is not None, "the game was still running %s s after Escape" % seconds
    assert status == 0, "exit status %s after Escape, expected 0; stderr:\n%s" % (status, game.stderr())


def picture_shown(left, top, size):
    """A condition on a shot of the whole window: the picture as the square of side size at
    (left, top), black all around it; enlarged, its ruled lines 15 x scale apart and scale
    rows thick, give or take the one-pixel rounding of a picture enlarged by a fraction."""
    right, bottom = left + size - 1, top + size - 1
    scale = size / SIZE

    def check(shot):
        outside = shot.width * shot.height - size * size
        black = shot.count("k") - shot.count("k", (left, top, right, bottom))
        if black != outside:
            return "%d of the %d pixels around the picture (%d,%d)-(%d,%d) are not black" % (
                outside - black, outside, left, top, right, bottom)
        # The picture reaches each side of its square: sky on its first and last columns and rows
        # (shrunk, a ruled line blended into the sky may fill a side).
        for side in ((left, top, left, bottom), (right, top, right, bottom),
                     (left, top, right, top), (left, bottom, right, bottom)):
            if not shot.count(".", side) and (size >= SIZE or shot.count("k", side)):
                return "no sky along the picture's side (%d,%d)-(%d,%d): it does not fill its square" % side
        if size < SIZE:
            # Shrunk, each line is blended into the sky, but every one of them still shows.
            rows = shot.rows()
            column = [rows[y][left + size // 10] for y in range(top, bottom + 1)]
            tops = [y for y in range(1, len(column)) if column[y] != "." and column[y - 1] == "."]
            spacing = rules.RULED_LINE_SPACING * scale
            if (len(tops) < SIZE // rules.RULED_LINE_SPACING - 2
                    or any(abs(b - a - spacing) > 1 for a, b in zip(tops, tops[1:]))):
                return "ruled lines not all shown %g apart: %d lines, tops %s" % (spacing, len(tops), tops)
            return None
        lines = shot.crop((left, top, right, bottom)).ruled_lines(size // 10)
        tops = [y for y, _ in lines]
        spacing = rules.RULED_LINE_SPACING * scale
        gaps = [b - a for a, b in zip(tops, tops[1:])]
        thick = sorted(set(t for _, t in lines))
        if (len(lines) < SIZE // rules.RULED_LINE_SPACING - 2 or any(abs(g - spacing) > 1 for g in gaps)
                or abs(tops[-1] - tops[0] - spacing * len(gaps)) > 1
                or not set(thick) <= {math.floor(scale), math.ceil(scale)}):
            return "ruled lines not %g apart and %g thick: %d lines, %s thick, tops %s" % (
                spacing, scale, len(lines), thick, tops)
        return None
    return check
