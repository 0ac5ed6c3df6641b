"""Fixtures for the end-to-end tests: each test gets its own X server, game folders and game
processes, all ended when it ends, pass or fail. See tests/README.md."""
import os
import re
import sys

import pytest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from harness import Game, XServer, game_folder, rules  # noqa: E402

SOURCE_DIR = rules.SOURCE_DIR


def pytest_addoption(parser):
    parser.addoption("--game", default=os.environ.get("PLATFORMER_GAME"),
                     help="the built game (default: $PLATFORMER_GAME)")
    parser.addoption("--ctest-list", default=None,
                     help="write the collected tests for CTest to this file (node id, tab, serial or not)")
    parser.addoption("--wine", default=os.environ.get("PLATFORMER_WINEPREFIX"),
                     help="a wine prefix: --game is then the Windows build, played under wine, and only "
                          "the cases marked windows run (default: $PLATFORMER_WINEPREFIX)")
    parser.addoption("--screenshots", default=os.environ.get("PLATFORMER_SCREENSHOTS"),
                     help="where screenshots go (default: $PLATFORMER_SCREENSHOTS or a temporary folder)")


def pytest_collection_modifyitems(config, items):
    if config.getoption("--wine"):
        kept = [item for item in items if item.get_closest_marker("windows")]
        config.hook.pytest_deselected(items=[item for item in items if item not in kept])
        items[:] = kept
    listing = config.getoption("--ctest-list")
    if listing:
        with open(listing, "w") as out:
            for item in items:
                serial = "serial" if item.get_closest_marker("serial") else "parallel"
                out.write("%s\t%s\n" % (item.nodeid, serial))


@pytest.fixture(scope="session")
def wine_prefix(pytestconfig):
    """The wine prefix the Windows build is played in, or None for the Linux build."""
    prefix = pytestconfig.getoption("--wine")
    return os.path.abspath(prefix) if prefix else None


@pytest.fixture(scope="session")
def game_exe(pytestconfig, wine_prefix):
    exe = pytestconfig.getoption("--game")
    if not exe or not os.access(exe, os.R_OK if wine_prefix else os.X_OK):
        pytest.fail("no built game: pass --game PATH or set PLATFORMER_GAME")
    return os.path.abspath(exe)


@pytest.fixture(scope="session")
def pictures_dir():
    return os.path.join(SOURCE_DIR, "data")


@pytest.fixture
def shots_dir(request, pytestconfig, tmp_path):
    """This test's screenshot folder; its path is printed when the test fails."""
    root = pytestconfig.getoption("--screenshots") or str(tmp_path / "screenshots")
    path = os.path.join(root, re.sub(r"[^\w.-]+", "_", request.node.name))
    os.makedirs(path, exist_ok=True)
    for old in os.listdir(path):
        os.remove(os.path.join(path, old))
    request.node.shots_dir = path
    return path


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    path = getattr(item, "shots_dir", None)
    if report.when == "call" and report.failed and path and os.listdir(path):
        report.sections.append(("screenshots", path))
        print("\nscreenshots of %s: %s" % (item.nodeid, path))


@pytest.fixture
def xserver(request, tmp_path):
    """A private Xvfb for this test: 640x640 without a window manager unless the test's
    screen marker says otherwise."""
    mark = request.node.get_closest_marker("screen")
    width, height = (mark.args[:2] if mark else (640, 640))
    wm = bool(mark.kwargs.get("window_manager")) if mark else False
    server = XServer(width, height, window_manager=wm, log_dir=str(tmp_path))
    server.start()
    yield server
    server.stop()


@pytest.fixture
def gamepads():
    """Virtual gamepads for a game started with gamepads=...: gamepads.plug() -> Pad."""
    from harness.gamepad import VirtualPads
    pads = VirtualPads()
    yield pads
    pads.close()


@pytest.fixture
def folder(tmp_path, pictures_dir):
    """Makes a fresh game folder with the pictures: folder("name", level="0,1,2\\n")."""
    def make(name="game", level=None, pictures=True):
        path = str(tmp_path / name)
        if pictures:
            return game_folder(path, pictures_dir, level)
        os.makedirs(path, exist_ok=True)
        if level is not None:
            with open(os.path.join(path, rules.LEVEL_FILE), "w") as out:
                out.write(level)
        return path
    return make


@pytest.fixture
def launch(game_exe, xserver, folder, wine_prefix):
    """Starts the game: launch(folder_path=None, args=(), **Game options) -> Game.
    Every game started is ended when the test ends."""
    games = []

    def start(path=None, exe=None, **options):
        options.setdefault("wine", wine_prefix)
        game = Game(exe or game_exe, path or folder(), xserver, **options)
        games.append(game)
        return game.start()
    yield start
    for game in games:
        game.stop()


@pytest.fixture
def play(launch, folder):
    """Starts the game in a fresh folder (or path) and gives its window the keyboard, as a
    click on it would: play(level=None, name="game", path=None, **Game options) -> (game, window)."""
    def start(level=None, name="game", path=None, **options):
        game = launch(path or folder(name, level=level), **options)
        window = game.window()
        window.focus()
        return game, window
    return start


@pytest.fixture
def shoot(shots_dir):
    """shoot(window, "name") takes a screenshot of the window and keeps it as name.png."""
    def take(window, name, **options):
        return window.screenshot(os.path.join(shots_dir, name + ".png"), **options)
    return take
