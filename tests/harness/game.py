"""The real game as a process: its folder, its streams, its window, keys, pointer and pictures."""
import os
import shutil
import subprocess
import time

from Xlib import X, XK
from Xlib.error import XError
from Xlib.ext import xtest

from . import rules
from .screen import Shot
from .xserver import _end


def game_folder(path, pictures_from, level=None):
    """Makes path a folder such as a player's: copies of the three pictures, and the level
    file's text when one is given."""
    os.makedirs(path, exist_ok=True)
    for name in rules.PICTURES:
        shutil.copyfile(os.path.join(pictures_from, name), os.path.join(path, name))
    if level is not None:
        with open(os.path.join(path, "LoadLevel.txt"), "w") as out:
            out.write(level)
    return path


def level_text(records):
    """Level file text from (label, x, y) records, one per line."""
    return "".join("%d,%d,%d\n" % tuple(r) for r in records)


class Game:
    """One run of the game in folder, under xserver (or with no DISPLAY when xserver is None).

    stdout and stderr go to files in the folder unless given (a path, a file object,
    subprocess.DEVNULL or PIPE, or None for a closed stream); argv_prefix runs it under another
    command (valgrind, setpriv, nice); gamepads (a gamepad.VirtualPads) gives it virtual pads.
    With wine (a wine prefix folder), exe is the Windows build, played under wine in that prefix.
    """

    def __init__(self, exe, folder, xserver=None, args=(), argv_prefix=(), stdin=subprocess.DEVNULL,
                 stdout="file", stderr="file", env=None, close_fds_of=(), preexec_fn=None, gamepads=None,
                 wine=None):
        self.exe = exe
        self.folder = folder
        self.xserver = xserver
        self.wine = wine
        self.stdout_path = stdout if _is_path(stdout) else os.path.join(folder, "stdout")
        self.stderr_path = stderr if _is_path(stderr) else os.path.join(folder, "stderr")
        base = dict(os.environ if env is None else env)
        if xserver is not None:
            base = xserver.env(base)
        if gamepads is not None:
            base = gamepads.env(base)
        if wine is not None:
            # Wine's own notes would mix with the game's standard error.
            base.update(WINEPREFIX=wine, WINEDEBUG="-all")
            argv_prefix = list(argv_prefix) + ["wine"]
        self.env = base
        self.argv = list(argv_prefix) + [exe] + list(args)
        self.streams = (stdin, stdout, stderr)
        self.close_fds_of = close_fds_of
        self.preexec_fn = preexec_fn
        self.proc = None
        self.status = None
        self._window = None
        self._wine_ended = False

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def start(self):
        stdin, stdout, stderr = self.streams
        opened = []

        def stream(which, path):
            if which == "file" or _is_path(which):
                f = open(path, "wb")
                opened.append(f)
                return f
            return which

        out = stream(stdout, self.stdout_path)
        err = stream(stderr, self.stderr_path)
        closed = [fd for fd, s in zip((0, 1, 2), (stdin, out, err)) if s is None]

        def child_setup():
            for fd in closed:
                os.close(fd)
            if self.preexec_fn:
                self.preexec_fn()

        self.proc = subprocess.Popen(
            self.argv, cwd=self.folder, env=self.env,
            stdin=stdin if stdin is not None else subprocess.DEVNULL,
            stdout=out if out is not None else subprocess.DEVNULL,
            stderr=err if err is not None else subprocess.DEVNULL,
            preexec_fn=child_setup, start_new_session=True)
        for f in opened:
            f.close()
        return self

    @property
    def pid(self):
        return self.proc.pid

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def wait(self, timeout):
        """The exit status (negative: the signal that ended it), or None if still running."""
        try:
            self.status = self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None
        return self.status

    def stop(self):
        if self.proc is not None and self.proc.poll() is None:
            _end(self.proc)
        if self.proc is not None:
            self.status = self.proc.returncode
        if self.wine is not None and self.proc is not None and not self._wine_ended:
            # Wine's helper processes outlive the game, tied to this test's X server: the
            # next game starts them afresh on its own. (This ends every program of the prefix:
            # one game at a time under wine.)
            subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, check=False)
            self._wine_ended = True

    def shown_path(self, path):
        """path as the game names it in its messages: under wine, on wine's drive Z:."""
        path = os.path.realpath(path)
        return path if self.wine is None else "Z:" + path.replace("/", "\\")

    def _text(self, path):
        text = _read(path)
        return text if self.wine is None else text.replace("\r\n", "\n")

    def stdout(self):
        return self._text(self.stdout_path)

    def stderr(self):
        return self._text(self.stderr_path)

    def stdout_lines(self):
        return self.stdout().splitlines()

    def ended_note(self):
        return "the game ended on its own with status %s; its stderr:\n%s" % (
            self.proc.returncode, self.stderr())

    def window(self, timeout=30, name=rules.WINDOW_TITLE, wm_class=None):
        """The game's window once it is shown; fails early if the game ends first. With
        wm_class, the window of that class (as a menu entry's StartupWMClass names it)."""
        if self._window is None:
            conn = self.xserver.connection()
            deadline = time.monotonic() + timeout
            while True:
                found = find_window(conn, None if wm_class else name, wm_class)
                inside = found if found is None or self.wine is None else _client_window(found)
                if inside is not None:
                    self._window = Window(conn, inside, titled=found)
                    break
                if not self.running():
                    raise AssertionError(self.ended_note())
                if time.monotonic() > deadline:
                    raise AssertionError("no window appeared within %d s" % timeout)
                time.sleep(0.1)
        return self._window

    def wait_for_frames(self, count=1, timeout=15):
        """Waits until the game has written count frame-rate lines (it draws then)."""
        deadline = time.monotonic() + timeout
        while len(self.stdout_lines()) < count:
            if not self.running():
                raise AssertionError(self.ended_note())
            if time.monotonic() > deadline:
                raise AssertionError("fewer than %d frames within %d s" % (count, timeout))
            time.sleep(0.05)


def _client_window(window):
    """Under wine, the child window that holds what the game draws: without a window manager
    wine draws the frame of a Windows window itself, around it. None until it is shown."""
    try:
        for child in window.query_tree().children:
            if child.get_attributes().map_state == X.IsViewable:
                return child
    except XError:
        pass
    return None


def _is_path(stream):
    return isinstance(stream, (str, os.PathLike)) and stream != "file"


def _read(path):
    try:
        with open(path, "rb") as f:
            return f.read().decode("utf-8", "replace")
    except FileNotFoundError:
        return ""


def window_name(conn, window):
    """The window's title: the UTF-8 one the library sets, else the old WM_NAME."""
    prop = window.get_full_property(conn.intern_atom("_NET_WM_NAME"), 0)
    if prop is not None and prop.value:
        value = prop.value
        return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)
    return window.get_wm_name() or ""


def window_class(window):
    """The class half of the window's WM_CLASS, or None."""
    pair = window.get_wm_class()
    return pair[1] if pair else None


def find_window(conn, name=None, wm_class=None):
    """A viewable window of that name and/or WM_CLASS class anywhere under the root (a window
    manager may have put it inside a frame of its own), or None."""
    if name is None and wm_class is None:
        raise ValueError("find_window needs a name or a class")
    todo = [conn.screen().root]
    while todo:
        w = todo.pop()
        try:
            if (w.get_attributes().map_state == X.IsViewable
                    and (name is None or window_name(conn, w) == name)
                    and (wm_class is None or window_class(w) == wm_class)):
                return w
            todo.extend(w.query_tree().children)
        except XError:
            continue  # went away while we looked
    return None


class Window:
    """A top-level window on the harness's connection: keys, pointer and pictures of it.

    Key names are X keysym names: Left, Up, space, Escape, r, s, F11, Return, Alt_L, ...
    """

    def __init__(self, conn, window, titled=None):
        self.conn = conn
        self.win = window
        self.titled = titled or window  # the top-level window, when window is inside it
        self.root = conn.screen().root
        self._released = 0.0

    @property
    def id(self):
        return self.win.id

    def title(self):
        return window_name(self.conn, self.titled)

    def geometry(self):
        """(x, y, width, height) of the window's inside, x and y on the screen."""
        g = self.win.get_geometry()
        return _abs_position(self.win, self.root) + (g.width, g.height)

    def size(self):
        g = self.win.get_geometry()
        return g.width, g.height

    def resize(self, width, height):
        """Asks for a new inside size, as dragging the window's corner would; a window manager
        may hold the window to the size limits the game gave it."""
        self.win.configure(width=width, height=height)
        self.conn.sync()

    def focus(self):
        """Gives the window the keyboard, as clicking on it would."""
        self.titled.set_input_focus(X.RevertToParent, X.CurrentTime)
        self.conn.sync()

    def _keycode(self, name):
        code = self.conn.keysym_to_keycode(XK.string_to_keysym(name))
        if not code:
            raise ValueError("no key %r on this keyboard" % name)
        return code

    def key_down(self, *names):
        # While the library is busy switching to fullscreen, a key released and pressed again
        # within a few milliseconds reads to it as the key repeating, and the game gets no
        # key-down: no hand is that quick, so neither are the cases.
        time.sleep(max(0.0, self._released + 0.02 - time.monotonic()))
        for name in names:
            xtest.fake_input(self.conn, X.KeyPress, self._keycode(name))
        self.conn.sync()

    def key_up(self, *names):
        for name in reversed(names):
            xtest.fake_input(self.conn, X.KeyRelease, self._keycode(name))
        self.conn.sync()
        self._released = time.monotonic()

    def key(self, *names):
        """Presses the keys together, then releases them (a chord such as Alt_L, Return)."""
        self.key_down(*names)
        time.sleep(0.05)
        self.key_up(*names)

    def hold(self, name, seconds):
        self.key_down(name)
        time.sleep(seconds)
        self.key_up(name)

    def pointer(self, x, y):
        """Moves the pointer to (x, y) of the window's inside."""
        wx, wy, _, _ = self.geometry()
        xtest.fake_input(self.conn, X.MotionNotify, x=wx + x, y=wy + y)
        self.conn.sync()

    def screenshot(self, path=None, whole_screen=False):
        """What the window (or the whole screen) shows now, as the player sees it."""
        if whole_screen:
            g = self.root.get_geometry()
            box = (0, 0, g.width, g.height)
        else:
            box = self.geometry()
        return grab(self.conn, box, path)


def _abs_position(win, root):
    pos = win.translate_coords(root, 0, 0)
    return (-pos.x, -pos.y)


def grab(conn, box, path=None):
    """The screen's pixels in box (x, y, width, height), as a Shot; saved as PNG to path."""
    from PIL import Image
    x, y, w, h = box
    root = conn.screen().root
    raw = root.get_image(x, y, w, h, X.ZPixmap, 0xFFFFFFFF)
    image = Image.frombytes("RGB", (w, h), raw.data, "raw", "BGRX")
    shot = Shot(image)
    if path:
        os.makedirs(os.path.dirname(path), exist_ok=True)
        image.save(path)
        shot.path = path
    return shot


def poll(seconds, look, check, game=None, interval=0.2):
    """Calls look() (a screenshot, say) and check(it) until check returns None (met) or
    seconds pass; then fails with check's last reason. A game that ends meanwhile fails at once.
    On a slow machine the game may take a while to show a change; polling keeps the fast case fast."""
    deadline = time.monotonic() + seconds
    while True:
        if game is not None and not game.running():
            raise AssertionError(game.ended_note())
        seen = look()
        why = check(seen)
        if why is None:
            return seen
        if time.monotonic() > deadline:
            where = getattr(seen, "path", None)
            raise AssertionError(why + ("\n(screenshot: %s)" % where if where else ""))
        time.sleep(interval)
