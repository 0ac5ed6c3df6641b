"""Started where its pictures cannot be loaded, the game says which picture and which folder
on one line of standard error, prints nothing on standard output, and ends with a non-zero
status of its own: it neither crashes, nor hangs, nor decodes a picture it refuses."""
import os
import shutil
import subprocess
import time

import pytest
from PIL import Image

from harness import Game, Window, XServer, rules
from harness.game import window_name
from harness.pictures import huge_png
from looks import escape_ends_game

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
    # 33 KB that would take 1 GB decoded.
    huge_png(os.path.join(path, FIGURE), 16000, 16000)


def blocks_as(make):
    def spoil(path, pictures):
        os.remove(os.path.join(path, BLOCKS))
        make(os.path.join(path, BLOCKS))
    return spoil


# How the folder is spoilt, the picture the message names (None: any of them), and what
# it says.
START_FAILURES = [
    pytest.param(missing_figure, FIGURE, "cannot find", id="missing_figure", marks=pytest.mark.windows),
    pytest.param(figure_not_png, FIGURE, "not a PNG", id="figure_not_png"),
    pytest.param(empty(FIGURE), FIGURE, "empty", id="figure_empty"),
    pytest.param(figure_truncated, FIGURE, "cannot be decoded", id="figure_truncated"),
    pytest.param(pictures_in_subfolder, None, "cannot find", id="pictures_in_subfolder"),
    pytest.param(figure_tiny, FIGURE, "8 x 8 pixels, too small", id="figure_tiny"),
    pytest.param(empty(BLOCKS), BLOCKS, "empty file", id="blocks_empty"),
    pytest.param(figure_huge, FIGURE, "16000 x 16000 pixels, too big", id="figure_huge"),
    # Opening a FIFO would wait for a writer that never comes.
    pytest.param(blocks_as(os.mkfifo), BLOCKS, "is a FIFO, not a regular file", id="blocks_fifo"),
    pytest.param(blocks_as(os.mkdir), BLOCKS, "is a folder, not a regular file", id="blocks_folder"),
]


@pytest.fixture(scope="module")
def lone_game(game_exe, tmp_path_factory):
    """A copy of the game alone in a folder of its own, so that the copies of the pictures
    beside the built game cannot stand in for the ones a case takes away."""
    path = tmp_path_factory.mktemp("lone") / "lone game" / "bin" / os.path.basename(game_exe)
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
    game = launch(path, exe=lone_game)
    ended = wait_measured(game, 20)
    assert ended is not None, "the game did not end within 20 s and was killed (it hung instead of giving up)"
    status, peak = ended
    with open(os.path.join(path, "stderr")) as f:
        err = f.read()
    with open(os.path.join(path, "stdout")) as f:
        out = f.read()
    about = "; stderr was:\n" + err
    assert status == 1, "exit status %d, expected 1 (a negative status: it crashed)" % status + about
    assert out == "", "stdout is not empty: " + out[:200]
    assert len(err.splitlines()) == 1, "stderr should hold one line" + about
    assert game.shown_path(path) in err, "the message does not name the folder" + about
    if picture is None:
        assert any(name in err for name in rules.PICTURES), "the message names none of the pictures" + about
    else:
        assert picture in err, "the message does not name " + picture + about
    assert said in err, "the message does not say %r" % said + about
    if said == "cannot find":
        assert game.shown_path(os.path.dirname(lone_game)) in err, \
            "the message does not name every folder tried (the game's own is missing)" + about
    else:
        assert "cannot find" not in err, "a picture that is there is reported as not found" + about
    assert peak <= PEAK_LIMIT_KIB, \
        "peak memory %d MiB, more than %d MiB: the picture was decoded" % (peak // 1024, PEAK_LIMIT_KIB // 1024)


def test_start_fails_with_pictures_split_between_folders(game_exe, tmp_path, launch, folder, pictures_dir):
    # A stray picture in the working folder must not mix with the game's own.
    exe = tmp_path / "split game" / "platformer"
    exe.parent.mkdir()
    shutil.copy2(game_exe, exe)
    for name in (BLOCKS, FIGURE):
        shutil.copyfile(os.path.join(pictures_dir, name), str(exe.parent / name))
    path = folder("start", pictures=False)
    shutil.copyfile(os.path.join(pictures_dir, "Background.png"), os.path.join(path, "Background.png"))
    game = launch(path, exe=str(exe))
    status = game.wait(20)
    assert status == 1, "exit status %s, expected 1; stderr:\n%s" % (status, game.stderr())
    assert game.stdout() == ""
    assert game.stderr() == (
        "platformer: cannot find the pictures Background.png, Blocks.png and Quillorn.png together in one "
        "folder: %s holds only Background.png, %s holds only Blocks.png and Quillorn.png (start the game in a "
        "folder that holds its pictures, or reinstall it)\n" % (os.path.realpath(path), os.path.realpath(exe.parent)))


# A part of the game the library cannot start: a stand-in preloaded before the library
# answers as the library does when it fails (false, or no handle).
PARTS_REFUSED = [
    pytest.param("al_install_keyboard", "the keyboard", id="keyboard"),
    pytest.param("al_install_mouse", "the mouse", id="mouse"),
    pytest.param("al_init_image_addon", "the library's PNG reader", id="png_reader"),
    pytest.param("al_init_primitives_addon", "the library's drawing add-on", id="drawing_add_on"),
    pytest.param("al_create_event_queue", "the game's event queue", id="event_queue"),
    pytest.param("al_create_timer", "the game's timer", id="timer"),
]


@pytest.mark.parametrize("function, part", PARTS_REFUSED)
def test_start_fails_when_a_part_cannot_start(function, part, launch, tmp_path):
    source, refuse = tmp_path / "refuse.cpp", tmp_path / "refuse.so"
    source.write_text('extern "C" void* %s() { return nullptr; }\n' % function)
    subprocess.run(["c++", "-shared", "-fPIC", "-o", str(refuse), str(source)], check=True)
    game = launch(env=dict(os.environ, LD_PRELOAD=str(refuse)))
    status = game.wait(20)
    assert status == 1, "exit status %s, expected 1; stderr:\n%s" % (status, game.stderr())
    assert game.stderr() == "platformer: cannot start %s; the game ends\n" % part
    assert game.stdout() == ""


def test_plays_on_the_second_screen_of_a_display(game_exe, folder, tmp_path):
    # Left to itself the library asks X which screen holds the focus, in a way that fails while
    # no window has it, and the game then hung for good.
    with XServer(screens=2, log_dir=str(tmp_path)) as server, \
            Game(game_exe, folder(), env=server.env(screen=1)) as game:
        game.wait_for_frames(1, timeout=20)
        conn = server.connection()
        shown = [w for w in conn.screen(1).root.query_tree().children
                 if window_name(conn, w) == rules.WINDOW_TITLE]
        assert len(shown) == 1, "the game's window is not on the screen DISPLAY names"
        window = Window(conn, shown[0])
        window.focus()
        escape_ends_game(window, game, 5)
        assert game.stderr() == ""


def window_destroyed(server, game):
    game.window().win.destroy()
    server.connection().sync()


# The display refuses the game: its connection (a server that asks for a key, and the game
# given none), or a request once it plays. Xlib's own text came first, or instead.
DISPLAY_REFUSALS = [
    pytest.param(True, None, 255,
                 'platformer: the display "{display}" refused the game: "Authorization required, but no authorization '
                 'protocol specified" (may this user use that display? XAUTHORITY names the file of its keys)\n',
                 id="no_key"),
    pytest.param(False, window_destroyed, 1,
                 'platformer: the game\'s window on the display "{display}" is gone (another program destroyed it); '
                 'the game ends\n', id="window_destroyed"),
]


@pytest.mark.parametrize("key_asked, then, status, said", DISPLAY_REFUSALS)
def test_display_refusal_is_one_line(key_asked, then, status, said, game_exe, folder, tmp_path):
    with XServer(auth=key_asked, log_dir=str(tmp_path)) as server:
        if key_asked:
            game = Game(game_exe, folder(), env=dict(server.env(), XAUTHORITY=os.devnull))
        else:
            game = Game(game_exe, folder(), server)
        with game:
            if then:
                then(server, game)
            ended = game.wait(10)
            assert ended == status, "exit status %s, expected %d; stderr:\n%s" % (ended, status, game.stderr())
            assert game.stderr() == said.format(display=server.name)
