"""Started from a folder with no pictures, the game uses the copies beside its executable."""
from harness import poll, rules
from looks import BLOCK, SIZE, WHOLE, escape_ends_game, ink_at_least, rest_view


def test_pictures_and_sample_level_found_beside_game(play, folder, shoot):
    # The sample level's first steps stand on the floor, in view: Space shows them.
    game, window = play(path=folder("no pictures here", pictures=False))
    assert window.title() == rules.WINDOW_TITLE
    assert window.size() == (SIZE, SIZE)
    game.wait_for_frames(1, timeout=10)
    before = poll(30, lambda: shoot(window, "before-space"), rest_view, game).count("#", WHOLE)
    window.key("space")
    poll(10, lambda: shoot(window, "sample-level"), ink_at_least(before + 3 * BLOCK * BLOCK), game)
    escape_ends_game(window, game, 10)
