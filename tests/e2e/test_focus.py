"""The keyboard taken by another window while a key is held."""
import subprocess
import time

import pytest

from harness import Window, find_window, poll
from looks import FLOOR_ROW, REST, escape_ends_game, rest_view


@pytest.fixture
def other(xserver):
    """Another application's window beside the game's, to take the keyboard."""
    app = subprocess.Popen(["xlogo", "-geometry", "30x30+605+0"], env=xserver.env(),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    conn = xserver.connection()
    found = poll(10, lambda: find_window(conn, "xlogo"),
                 lambda w: None if w is not None else "the other window did not appear")
    yield Window(conn, found)
    app.terminate()
    app.wait(5)


def test_key_released_in_other_window_stops_walking(play, shoot, other):
    # Left held for 0.7 s walks the figure past where the view is held at the world's left
    # edge (so that its steps show on screen) and well short of walking out of view; its
    # release, in another window, never reaches the game.
    game, window = play()
    poll(30, lambda: shoot(window, "at-rest"), rest_view, game)
    window.key_down("Left")
    time.sleep(0.7)
    other.focus()
    window.key_up("Left")
    window.focus()
    time.sleep(0.3)
    first = shoot(window, "back").ink_box(FLOOR_ROW)
    time.sleep(1)
    second = shoot(window, "a-second-later").ink_box(FLOOR_ROW)
    # Its drawing may change from a walking to a standing frame: compare where, not what.
    where = "(left, top, right, bottom, count)"
    assert first is not None and second is not None and first[:4] == second[:4], \
        "the figure kept walking after its key was released in another window: at %s, a second later at %s %s" % (
            first, second, where)
    assert 40 <= first[0] <= REST[0] - 20, \
        "after 0.7 s of Left the figure is not between window x 40 and %d: %s %s" % (REST[0] - 20, first, where)
    escape_ends_game(window, game, 5)


def test_escape_pressed_in_other_window_released_over_game_goes_on(play, other):
    game, window = play()
    game.wait_for_frames(10)
    other.focus()
    window.key_down("Escape")
    window.focus()
    window.key_up("Escape")
    game.wait_for_frames(len(game.stdout_lines()) + 30)
    escape_ends_game(window, game, 5)
