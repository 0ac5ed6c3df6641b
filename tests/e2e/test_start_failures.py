"""Started where its pictures cannot be loaded, the game says which picture and which folder
on one line of standard error, prints nothing on standard output, and ends with a non-zero
status of its own: it neither crashes, nor hangs, nor decodes a picture it refuses."""
import os
import shutil
import struct
import time
import zlib

import pytest
from PIL import Image

from harness import rules

FIGURE = "Quillorn.png"
BLOCKS = "Blocks.png"
assert FIGURE in rules.PICTURES and BLOCKS in rules.PICTURES

# Peak resident memory allowed to a refused start: the game with its window and no pictures
# takes well under this, a decoded 16000 x 16000 picture over 1 GB.
PEAK_LIMIT_KIB = 200 * 1024


def missing_figure(path, pictures):
    os.remove(os.path.join(path, FIGURE))


def figure_not_png(path, pictures):
    with open(os.path.join(path, FIGURE), "w") as out:
        out.write("this is not a picture\n")


def empty(name):
    def make(path, pictures):
        open(os.path.join(path, name), "w").close()
    return make


def figure_truncated(path, pictures):
    with open(os.path.join(pictures, FIGURE), "rb") as f:
        data = f.read()
    with open(os.path.join(path, FIGURE), "wb") as out:
        out.write(data[:len(data) // 2])


def pictures_in_subfolder(path, pictures):
    os.mkdir(os.path.join(path, "pictures"))
    for name in rules.PICTURES:
        os.rename(os.path.join(path, name), os.path.join(path, "pictures", name))


def figure_tiny(path, pictures):
    Image.new("RGB", (8, 8), "red").save(os.path.join(path, FIGURE))


def figure_huge(path, pictures):
    # A real 16000 x 16000 PNG of 33 KB, one bit a pixel: decoded it would take 1 GB.
    side = 16000

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    pack = zlib.compressobj(9)
    row = bytes(1 + side // 8)  # filter byte, then the pixels
    body = b"".join(pack.compress(row) for _ in range(side)) + pack.flush()
    with open(os.path.join(path, FIGURE), "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 1, 0, 0, 0, 0))
                  + chunk(b"IDAT", body) + chunk(b"IEND", b""))


# How the folder is spoilt, the picture the message names (None: any of them), and what
# it says.
START_FAILURES = [
    pytest.param(missing_figure, FIGURE, "cannot find", id="missing_figure"),
    pytest.param(figure_not_png, FIGURE, "not a PNG", id="figure_not_png"),
    pytest.param(empty(FIGURE), FIGURE, "empty", id="figure_empty"),
    pytest.param(figure_truncated, FIGURE, "cannot be decoded", id="figure_truncated"),
    pytest.param(pictures_in_subfolder, None, "cannot find", id="pictures_in_subfolder"),
    pytest.param(figure_tiny, FIGURE, "8 x 8 pixels, too small", id="figure_tiny"),
    pytest.param(empty(BLOCKS), BLOCKS, "empty file", id="blocks_empty"),
    pytest.param(figure_huge, FIGURE, "16000 x 16000 pixels, too big", id="figure_huge"),
]


@pytest.fixture(scope="module")
def lone_game(game_exe, tmp_path_factory):
    """A copy of the game alone in a folder of its own, so that the copies of the pictures
    beside the built game cannot stand in for the ones a case takes away."""
    path = tmp_path_factory.mktemp("lone") / "lone game" / "bin" / "platformer"
    path.parent.mkdir(parents=True)
    shutil.copy2(game_exe, path)
    return str(path)


def wait_measured(game, seconds):
    """The game's exit status and its peak resident memory in KiB, or None if it outlives
    seconds (it is then ended)."""
    deadline = time.monotonic() + seconds
    while True:
        pid, status, usage = os.wait4(game.pid, os.WNOHANG)
        if pid:
            game.proc.returncode = os.waitstatus_to_exitcode(status)
            return game.proc.returncode, usage.ru_maxrss
        if time.monotonic() > deadline:
            game.stop()
            return None
        time.sleep(0.05)


@pytest.mark.parametrize("spoil, picture, said", START_FAILURES)
def test_start_fails_with_unusable_pictures(spoil, picture, said, lone_game, launch, folder, pictures_dir):
    path = folder("start")
    spoil(path, pictures_dir)
    ended = wait_measured(launch(path, exe=lone_game), 20)
    assert ended is not None, "the game did not end within 20 s and was killed (it hung instead of giving up)"
    status, peak = ended
    with open(os.path.join(path, "stderr")) as f:
        err = f.read()
    with open(os.path.join(path, "stdout")) as f:
        out = f.read()
    about = "; stderr was:\n" + err
    assert status != 0, "exit status 0, expected a failure" + about
    assert 0 < status < 128, "the game crashed: exit status %d" % status + about
    assert out == "", "stdout is not empty: " + out[:200]
    assert len(err.splitlines()) == 1, "stderr should hold one line" + about
    assert os.path.realpath(path) in err, "the message does not name the folder" + about
    if picture is None:
        assert any(name in err for name in rules.PICTURES), "the message names none of the pictures" + about
    else:
        assert picture in err, "the message does not name " + picture + about
    assert said in err, "the message does not say %r" % said + about
    if said == "cannot find":
        assert os.path.dirname(lone_game) in err, \
            "the message does not name every folder tried (the game's own is missing)" + about
    else:
        assert "cannot find" not in err, "a picture that is there is reported as not found" + about
    assert peak <= PEAK_LIMIT_KIB, \
        "peak memory %d MiB, more than %d MiB: the picture was decoded" % (peak // 1024, PEAK_LIMIT_KIB // 1024)
