"""A world far too big to tick at 60 Hz slows the game down but must not freeze it."""
import time

import pytest

from harness import level_text, poll
from looks import BLOCK, escape_ends_game, ink_at_least


@pytest.mark.serial
def test_overloaded_world_keeps_drawing_and_quits_on_escape(play, shoot):
    # 4,000 blocks, 40 to a row: frames must keep coming, and Escape still ends it promptly.
    records = [(i, 48 + (i % 40) * BLOCK, 400 + (i // 40) % 8 * BLOCK) for i in range(4000)]
    game, window = play(level=level_text(records))
    game.wait_for_frames(1, timeout=10)
    window.key("space")
    poll(10, lambda: shoot(window, "overload"), ink_at_least(40 * BLOCK * BLOCK), game)
    before = len(game.stdout_lines())
    deadline = time.monotonic() + 3
    while len(game.stdout_lines()) - before < 3 and time.monotonic() < deadline:
        time.sleep(0.05)
    frames = len(game.stdout_lines()) - before
    assert frames >= 3, "only %d frames in 3 s with 4,000 blocks: the game froze" % frames
    escape_ends_game(window, game, 10)
