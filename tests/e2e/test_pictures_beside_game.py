"""Started from a folder without all three pictures, the game uses the copies beside its
executable."""
import os

import pytest

from harness import poll, rules
from harness.pictures import huge_png
from looks import BLOCK, SIZE, WHOLE, escape_ends_game, ink_at_least, rest_view


def nothing(path):
    pass


def huge_background(path):
    # Too big to load: read at all, it would end the game instead of being passed over.
    huge_png(os.path.join(path, "Background.png"), 5000, 3000)


@pytest.mark.parametrize("stray", [pytest.param(nothing, id="none", marks=pytest.mark.windows),
                                   pytest.param(huge_background, id="huge_background")])
def test_pictures_and_sample_level_found_beside_game(stray, play, folder, shoot):
    # The sample level's first steps stand on the floor, in view: Space shows them.
    path = folder("no pictures here", pictures=False)
    stray(path)
    game, window = play(path=path)
    assert window.title() == rules.WINDOW_TITLE
    assert window.size() == (SIZE, SIZE)
    game.wait_for_frames(1, timeout=10)
    before = poll(30, lambda: shoot(window, "before-space"), rest_view, game).count("#", WHOLE)
    window.key("space")
    poll(10, lambda: shoot(window, "sample-level"), ink_at_least(before + 3 * BLOCK * BLOCK), game)
    escape_ends_game(window, game, 10)
    assert game.stderr() == ""
