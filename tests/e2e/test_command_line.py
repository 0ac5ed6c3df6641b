"""The command line: answers that cannot be written, arguments refused and echoed so that
they cannot steer the terminal, and -- that ends the options."""
import os

import pytest

from harness import Game
from looks import escape_ends_game

USAGE = "Usage: platformer [--help | --version]\n"

# The arguments, where standard output goes, and the status and standard error expected.
REFUSED = [
    pytest.param(["--help"], "/dev/full", 1,
                 b"platformer: cannot write the help: No space left on device\n", id="help_unwritten"),
    pytest.param(["--version"], "/dev/full", 1,
                 b"platformer: cannot write the version: No space left on device\n", id="version_unwritten"),
    # An escape sequence, a line break and a byte that is not UTF-8, shown as \xNN.
    pytest.param([b"\x1b[2Jred\nline\xff"], "file", 2,
                 b'platformer: unknown argument "\\x1b[2Jred\\x0aline\\xff"\n' + USAGE.encode(), id="unprintable"),
    pytest.param(["--", "--help"], "file", 2,
                 b'platformer: unknown argument "--help"\n' + USAGE.encode(), id="help_after_dashes"),
]


@pytest.mark.parametrize("args, stdout, status, said", REFUSED)
def test_command_line_refused(args, stdout, status, said, game_exe, tmp_path):
    # Refused before any window: no display is needed.
    env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
    with Game(game_exe, str(tmp_path), None, args=args, stdout=stdout, env=env) as game:
        ended = game.wait(10)
        assert ended == status, "exit status %s, expected %d; stderr:\n%s" % (ended, status, game.stderr())
        with open(game.stderr_path, "rb") as f:
            assert f.read() == said
        if stdout == "file":
            assert game.stdout() == ""


def test_double_dash_alone_plays(play):
    game, window = play(args=["--"])
    game.wait_for_frames(1)
    escape_ends_game(window, game, 5)
    assert game.stderr() == ""
