"""The window around the picture: fullscreen on F11 and Alt+Enter and back, a window resized
by the player, blocks placed in an enlarged picture, the size the window opens at,
fullscreen refused where no window manager offers it, and fullscreen with a window manager
stalled or killed, a burst of F11, and an iconified window."""
import os
import signal
import time

import pytest
from Xlib import X
from Xlib.protocol import event

from harness import poll, rules
from looks import BLOCK, FRAME_RATE, OFFSET_X, OFFSET_Y, SIZE, escape_ends_game, picture_shown, rest_view

SCREEN = (1920, 1080)
# Fullscreen on that screen the picture is the centred 1080 square, 1.8 times its size.
FULL_LEFT, FULL_SIDE = 420, 1080
FULL_SCALE = FULL_SIDE / SIZE
KEYS = {"F11": ("F11",), "alt_enter": ("Alt_L", "Return")}
REFUSED = ("platformer: fullscreen is not available (no window manager offers it); "
           "the game goes on in its window")
# The picture's pixel the pointer is over when Down is pressed.
AIM = (200, 150)


def at_rest(play, shoot):
    game, window = play()
    poll(30, lambda: shoot(window, "at-rest"), rest_view, game)
    return game, window


def wait_geometry(game, window, want, seconds=2):
    """The window's inside reaches want, (x, y, width, height) or (width, height)."""
    def check(geometry):
        now = geometry[-len(want):]
        return None if now == tuple(want) else "the window is %s, expected %s" % (geometry, want)
    poll(seconds, window.geometry, check, game, interval=0.05)


def fullscreen(game, window, key=KEYS["F11"]):
    window.key(*key)
    wait_geometry(game, window, (0, 0) + SCREEN)


def ends_cleanly(game, window):
    """Escape ends the game with status 0, which wrote frame rates only and no complaint."""
    escape_ends_game(window, game, 10)
    bad = [line for line in game.stdout_lines() if not FRAME_RATE.match(line)]
    assert not bad, "standard output lines that are not frame rates: %s" % bad[:5]
    assert game.stderr() == ""


def on_window(gx, gy):
    """Where the fullscreen window shows the picture's point (gx, gy)."""
    return FULL_LEFT + gx * FULL_SCALE, gy * FULL_SCALE


@pytest.mark.screen(*SCREEN, window_manager=True)
@pytest.mark.windows
@pytest.mark.parametrize("key", KEYS.values(), ids=KEYS.keys())
def test_fullscreen_and_back(play, shoot, key):
    game, window = at_rest(play, shoot)
    windowed = window.geometry()
    assert windowed[2:] == (SIZE, SIZE)
    fullscreen(game, window, key)
    poll(5, lambda: shoot(window, "fullscreen"), picture_shown(FULL_LEFT, 0, FULL_SIDE), game)
    window.key(*key)
    # Wine puts the window back by its own frame's reckoning, a few pixels off: the size is
    # the game's part.
    wait_geometry(game, window, windowed if game.wine is None else windowed[2:])
    poll(5, lambda: shoot(window, "back"), rest_view, game)
    ends_cleanly(game, window)


@pytest.mark.screen(*SCREEN, window_manager=True)
def test_down_places_blocks_under_pointer_in_fullscreen(play, shoot):
    game, window = at_rest(play, shoot)
    fullscreen(game, window)
    # The middle of the window pixels that show the aimed pixel.
    window.pointer(*(int(c + FULL_SCALE / 2) for c in on_window(*AIM)))
    time.sleep(0.3)  # the game reads the pointer once per event: let a few ticks pass
    window.key("Down")
    # Two blocks side by side, 9 left of and 8 above the aimed pixel, 1.8 times their size.
    x0, y0 = on_window(AIM[0] - OFFSET_X, AIM[1] - OFFSET_Y)
    x1, y1 = on_window(AIM[0] - OFFSET_X + 2 * BLOCK, AIM[1] - OFFSET_Y + BLOCK)
    want = (x0, y0, x1 - 1, y1 - 1)
    area = (int(x0) - 12, int(y0) - 12, int(x1) + 12, int(y1) + 12)

    def two_blocks(shot):
        ink = shot.ink_box(area)
        if ink is None or any(abs(a - b) > 1 for a, b in zip(ink, want)) or ink[4] < 0.9 * (x1 - x0) * (y1 - y0):
            return "expected two blocks filling (%.1f,%.1f)-(%.1f,%.1f); %s" % (want + (shot.describe(area),))
        return None
    poll(10, lambda: shoot(window, "blocks"), two_blocks, game)
    ends_cleanly(game, window)


@pytest.mark.screen(*SCREEN, window_manager=True)
@pytest.mark.parametrize("asked, picture", [((900, 700), (100, 0, 700)), ((10, 10), (0, 0, rules.MINIMUM_WINDOW_SIZE))],
                         ids=["900x700", "tiny"])
def test_resized_window_scales_picture(play, shoot, asked, picture):
    game, window = at_rest(play, shoot)
    window.resize(*asked)
    size = tuple(max(side, rules.MINIMUM_WINDOW_SIZE) for side in asked)
    wait_geometry(game, window, size)
    poll(5, lambda: shoot(window, "resized"), picture_shown(*picture), game)
    # Fullscreen and back comes back to the size the player chose.
    fullscreen(game, window)
    window.key("F11")
    wait_geometry(game, window, size)
    poll(5, lambda: shoot(window, "back"), picture_shown(*picture), game)
    ends_cleanly(game, window)


def test_fullscreen_refused_without_window_manager(play, shoot):
    game, window = at_rest(play, shoot)
    where = window.geometry()
    window.pointer(SIZE // 2, SIZE // 2)
    for presses, key in enumerate(KEYS.values(), 1):
        window.key(*key)
        poll(5, game.stderr, lambda err: None if err.count("\n") >= presses else "said: %r" % err, game)
    game.wait_for_frames(len(game.stdout_lines()) + 30)
    assert game.stderr() == (REFUSED + "\n") * len(KEYS)
    assert window.geometry() == where
    poll(5, lambda: shoot(window, "still-windowed"), rest_view, game)
    escape_ends_game(window, game, 10)


@pytest.mark.parametrize("side", [pytest.param(1200, marks=pytest.mark.screen(3840, 2160), id="3840x2160"),
                                  pytest.param(600, marks=pytest.mark.screen(1920, 1080), id="1920x1080")])
def test_window_opens_at_whole_multiple_of_picture(launch, shoot, side):
    # The largest whole multiple of the picture that fits in two thirds of the screen.
    game = launch()
    window = game.window()
    assert window.size() == (side, side)
    poll(10, lambda: shoot(window, "opened"), picture_shown(0, 0, side), game)


@pytest.mark.screen(*SCREEN, window_manager=True)
def test_fullscreen_answered_by_a_stalled_window_manager(play, shoot, xserver):
    # The window manager answers a second late: the game takes that answer, says nothing,
    # and the next F11 brings the window back.
    game, window = at_rest(play, shoot)
    windowed = window.geometry()
    os.kill(xserver.wm.pid, signal.SIGSTOP)
    try:
        window.key("F11")
        time.sleep(1)
    finally:
        os.kill(xserver.wm.pid, signal.SIGCONT)
    wait_geometry(game, window, (0, 0) + SCREEN)
    window.key("F11")
    wait_geometry(game, window, windowed[2:])
    ends_cleanly(game, window)


@pytest.mark.screen(*SCREEN, window_manager=True)
def test_escape_answered_at_once_after_a_burst_of_f11(play, shoot):
    # Each switch makes the window manager resize the window; the game does not queue one
    # per press (40 of them took 6.7 s).
    game, window = at_rest(play, shoot)
    for _ in range(40):
        window.key("F11")
    escape_ends_game(window, game, 2)


@pytest.mark.screen(*SCREEN, window_manager=True)
def test_no_frames_while_iconified(play, shoot, xserver):
    game, window = at_rest(play, shoot)
    conn = xserver.connection()
    iconify = event.ClientMessage(window=window.win, client_type=conn.intern_atom("WM_CHANGE_STATE"),
                                  data=(32, [3, 0, 0, 0, 0]))  # IconicState
    conn.screen().root.send_event(iconify, event_mask=X.SubstructureRedirectMask | X.SubstructureNotifyMask)
    conn.sync()
    poll(5, lambda: window.win.get_attributes().map_state, lambda state: None if state == X.IsUnmapped else
         "the window manager did not iconify the window", game, interval=0.05)
    time.sleep(0.2)  # a frame under way when it went
    drawn = len(game.stdout_lines())
    time.sleep(1)
    assert len(game.stdout_lines()) == drawn, "frames were drawn in an iconified window"
    window.win.map()
    conn.sync()
    game.wait_for_frames(drawn + 30, timeout=5)
    window.focus()
    ends_cleanly(game, window)


@pytest.mark.screen(*SCREEN, window_manager=True)
def test_window_manager_killed_while_fullscreen_then_restarted(play, shoot, xserver):
    # With its manager gone, leaving fullscreen is refused at once rather than waited for;
    # a new manager brings the window back.
    game, window = at_rest(play, shoot)
    windowed = window.geometry()
    fullscreen(game, window)
    xserver.wm.kill()
    xserver.wm.wait()
    window.focus()
    window.key("F11")
    poll(5, game.stderr, lambda err: None if err else "nothing said", game)
    assert game.stderr() == "platformer: the window cannot leave fullscreen here\n"
    xserver._start_window_manager()
    # It manages the game's window once it has put it in a frame of its own.
    root = xserver.connection().screen().root
    poll(10, lambda: window.win.query_tree().parent, lambda parent: None if parent != root else
         "the new window manager did not take the window", game)
    window.focus()
    window.key("F11")
    wait_geometry(game, window, windowed[2:])
    escape_ends_game(window, game, 10)
