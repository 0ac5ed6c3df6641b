"""Space with a level file the game must not read, or cannot read whole: the game says why on
one line of standard error and still answers Escape at once. A large level loads in slices
while the game draws and answers Escape."""
import os
import shutil
import subprocess
import tempfile
import time

import pytest

from harness import poll, rules
from looks import BLOCK, REST_CAMERA, blocks_at, escape_ends_game, on_screen, rest_view


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


def stops(line, found, added):
    return 'stops at line %d, where "%s" is not three numbers; %d block%s added' % (
        line, found, added, "" if added == 1 else "s")


# How the folder's level file is made, what the game says after
# 'platformer: the level file "LoadLevel.txt" ', and the blocks then in view (world places).
LEVEL_FILE_CASES = [
    pytest.param(make_fifo, "is a FIFO, not a regular file; nothing loaded", (), id="fifo"),
    pytest.param(make_folder, "is a folder, not a regular file; nothing loaded", (), id="folder"),
    pytest.param(make_unreadable, "cannot be opened: Permission denied", (), id="unreadable"),
    pytest.param(write("0,240,500\n5,abc,7\n3,200,576\n"), stops(2, "5,abc,7", 1), ((240, 500),), id="bad_record"),
]


def wait_for_stderr(game, seconds):
    deadline = time.monotonic() + seconds
    while not game.stderr():
        assert time.monotonic() < deadline, "nothing on standard error within %s s" % seconds
        assert game.running(), game.ended_note()
        time.sleep(0.05)


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


@pytest.mark.parametrize("make, said, shown", LEVEL_FILE_CASES)
def test_space_with_unusable_level_file_reports_it(request, make, said, shown, play, folder, shoot):
    prefix = ()
    path = folder("level")
    if make is make_unreadable:
        place, prefix = request.getfixturevalue("as_player")
        path = place or path
    make(os.path.join(path, rules.LEVEL_FILE))
    game, window = play(path=path, argv_prefix=prefix)
    poll(30, lambda: shoot(window, "at-rest"), rest_view, game)
    window.key("space")
    wait_for_stderr(game, 5)
    game.wait_for_frames(len(game.stdout_lines()) + 3)  # frames drawn after the load

    def check(shot):
        for block in shown:
            why = blocks_at(shot, *on_screen(block, REST_CAMERA))
            if why:
                return why
        return None if shown else rest_view(shot)
    poll(5, lambda: shoot(window, "after-space"), check, game)
    escape_ends_game(window, game, 5)
    assert game.stderr() == 'platformer: the level file "LoadLevel.txt" %s\n' % said


def large_level(path, records, tail=""):
    """A level of records blocks, each in a place of its own, then tail: a row of 1,000 from
    the view far to its right, under it rows far below the floor."""
    row = "".join("%d,%d,Y\n" % (i, 96 + i * BLOCK) for i in range(1000))
    ys = [300] + [1000 + k * BLOCK for k in range(1, records // 1000)]
    with open(os.path.join(path, rules.LEVEL_FILE), "w") as out:
        out.write("".join(row.replace("Y", str(y)) for y in ys) + tail)


def space_on_large_level(play, folder, shoot, records, tail=""):
    """The game at rest, Space just pressed on a large level: (game, window, frames before)."""
    path = folder("large level")
    large_level(path, records, tail)
    game, window = play(path=path)
    poll(30, lambda: shoot(window, "at-rest"), rest_view, game)
    frames = len(game.stdout_lines())
    window.key("space")
    return game, window, frames


def test_large_level_loads_while_game_draws(play, folder, shoot):
    game, window, frames = space_on_large_level(play, folder, shoot, 100000, "x\n")
    # A slice takes a third of a tick: about 11 s here on a quiet machine, far longer on a busy one.
    wait_for_stderr(game, 90)
    drawn = len(game.stdout_lines()) - frames
    assert game.stderr() == 'platformer: the level file "LoadLevel.txt" %s\n' % stops(100001, "x", 100000)
    assert drawn >= 20, "only %d frames drawn while 100,000 records loaded" % drawn
    escape_ends_game(window, game, 5)


def test_escape_ends_game_mid_load(play, folder, shoot):
    game, window, _ = space_on_large_level(play, folder, shoot, 2000000)
    time.sleep(1)
    assert game.stderr() == "", "the load of 2,000,000 records ended within a second"
    escape_ends_game(window, game, 1)
