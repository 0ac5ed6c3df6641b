"""Space with a level file the game must not read, or cannot read whole: the game says why on
one line of standard error and still answers Escape at once."""
import os
import shutil
import subprocess
import tempfile
import time

import pytest

from harness import poll, rules
from looks import escape_ends_game, ink_at_least


def make_fifo(path):
    os.mkfifo(path)


def make_folder(path):
    os.mkdir(path)


def write(text):
    def make(path):
        with open(path, "w") as out:
            out.write(text)
    return make


def make_unreadable(path):
    write("0,240,500\n")(path)
    os.chmod(path, 0o000)


# How the folder's level file is made, and what the game says after
# 'platformer: the level file "LoadLevel.txt" '.
LEVEL_FILE_CASES = [
    pytest.param(make_fifo, "is a FIFO, not a regular file; nothing loaded", id="fifo"),
    pytest.param(make_folder, "is a folder, not a regular file; nothing loaded", id="folder"),
    pytest.param(make_unreadable, "cannot be opened: Permission denied", id="unreadable"),
    pytest.param(write("0,240,500\n5,abc,7\n3,200,576\n"),
                 'stops at line 2, where "5,abc,7" is not three numbers; 1 block added', id="bad_record"),
]


@pytest.fixture
def as_player(game_exe, pictures_dir):
    """(folder, argv prefix) to run the game as a player whose permissions count: root reads a
    file whatever its permissions, so as root the game runs as nobody from a folder nobody
    can reach."""
    if os.geteuid() != 0:
        yield None, ()
        return
    if shutil.which("setpriv") is None:
        pytest.skip("as root a file without read permission is still read, and setpriv is missing "
                    "to run the game as nobody")
    place = tempfile.mkdtemp(prefix="platformer-nobody-")
    os.chmod(place, 0o755)
    path = os.path.join(place, "game")
    os.mkdir(path)
    os.chmod(path, 0o755)
    for name in rules.PICTURES:
        shutil.copyfile(os.path.join(pictures_dir, name), os.path.join(path, name))
        os.chmod(os.path.join(path, name), 0o644)
    prefix = ("setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups")
    reach = subprocess.call(list(prefix) + ["test", "-x", game_exe, "-a", "-r", os.path.join(path, rules.PICTURES[-1])])
    if reach != 0:
        shutil.rmtree(place)
        pytest.skip("as root a file without read permission is still read, and nobody cannot "
                    "reach the game at %s to run it instead" % game_exe)
    yield path, prefix
    shutil.rmtree(place)


@pytest.mark.parametrize("make, said", LEVEL_FILE_CASES)
def test_space_with_unusable_level_file_reports_it(request, make, said, play, folder, shoot):
    prefix = ()
    path = folder("level")
    if make is make_unreadable:
        place, prefix = request.getfixturevalue("as_player")
        path = place or path
    make(os.path.join(path, rules.LEVEL_FILE))
    game, window = play(path=path, argv_prefix=prefix)
    poll(15, lambda: shoot(window, "started"), ink_at_least(10), game)
    window.key("space")
    deadline = time.monotonic() + 5
    while not game.stderr() and time.monotonic() < deadline:
        time.sleep(0.05)
    escape_ends_game(window, game, 5)
    assert game.stderr() == 'platformer: the level file "LoadLevel.txt" %s\n' % said
