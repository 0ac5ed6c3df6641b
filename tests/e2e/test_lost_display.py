"""The X server gone under the game (a logout, a dropped remote session): idle or busy
loading a level, the game says so on one line of standard error and ends at once with
status 1, leaving nothing behind."""
import os

import pytest

from harness import poll
from looks import BLOCK, WHOLE, ink_at_least, rest_view
from test_level_file import large_level


@pytest.mark.parametrize("loading", [False, True], ids=["idle", "loading"])
def test_lost_display_ends_game(loading, xserver, play, folder, shoot):
    path = folder("lost display")
    if loading:
        large_level(path, 2000000)
    game, window = play(path=path)
    game.wait_for_frames(1)
    before = poll(30, lambda: shoot(window, "at-rest"), rest_view, game).count("#", WHOLE)
    if loading:
        window.key("space")
        # The first slice's blocks in view: the load has begun, and has far to go.
        poll(10, lambda: shoot(window, "loading"), ink_at_least(before + 10 * BLOCK * BLOCK), game)
    xserver.kill()
    assert not os.path.exists("/tmp/.X11-unix/X%d" % xserver.number), "the killed server's socket is left"
    status = game.wait(2)
    assert status is not None, "the game still runs 2 s after its X server went away"
    assert status == 1, "exit status %d, expected 1; stderr:\n%s" % (status, game.stderr())
    assert game.stderr() == 'platformer: lost the connection to the display "%s"; the game ends\n' % xserver.name
    with pytest.raises(ProcessLookupError):
        os.killpg(game.pid, 0)  # nothing of the game's is left running
