"""A private X server (Xvfb), optionally with a window manager, for driving the real game."""
import os
import select
import signal
import socket
import struct
import subprocess
import tempfile
import time

from Xlib import display as xdisplay


def _display_numbers(displays=None):
    if displays:
        return [int(n) for n in displays]
    chosen = os.environ.get("PLATFORMER_TEST_DISPLAYS")
    if chosen:
        return [int(n) for n in chosen.split()]
    return list(range(95, 140))


class XServer:
    """Starts Xvfb on the first free display of PLATFORMER_TEST_DISPLAYS (default :95 to :139).

    -displayfd makes the server write its number once it accepts clients, and only the server
    that owns the display does, so a display taken by someone else between our look and our
    start is never mistaken for ours. displays, when given, are the numbers to try instead.
    screens: how many X screens of that size the display has (":N.1" is the second).
    auth: the server lets in only clients that show its key; env() gives them the key's file.
    Use as a context manager, or call stop().
    """

    def __init__(self, width=640, height=640, depth=24, window_manager=False, log_dir=None,
                 displays=None, screens=1, auth=False):
        self.displays = _display_numbers(displays)
        self.size = (width, height)
        self.depth = depth
        self.window_manager = window_manager
        self.log_dir = log_dir
        self.screens = screens
        self.auth_file = _write_key() if auth else None
        self.proc = None
        self.wm = None
        self.name = None
        self.number = None
        self._conn = None

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    @property
    def pid(self):
        return self.proc.pid if self.proc else None

    def env(self, base=None, screen=0):
        env = dict(os.environ if base is None else base)
        env["DISPLAY"] = self.name if screen == 0 else "%s.%d" % (self.name, screen)
        env.pop("WAYLAND_DISPLAY", None)
        if self.auth_file:
            env["XAUTHORITY"] = self.auth_file
        return env

    def _log(self, what):
        if not self.log_dir:
            return subprocess.DEVNULL
        return open(os.path.join(self.log_dir, what + ".log"), "ab")

    def start(self):
        screen = "%dx%dx%d" % (self.size[0], self.size[1], self.depth)
        screens = [arg for i in range(self.screens) for arg in ("-screen", str(i), screen)]
        auth = ["-auth", self.auth_file] if self.auth_file else []
        for n in self.displays:
            if os.path.exists("/tmp/.X%d-lock" % n) or os.path.exists("/tmp/.X11-unix/X%d" % n):
                continue
            # Xvfb given -displayfd makes no lock file, and a second server on a taken number
            # takes over its socket file: harnesses started together claim numbers first.
            if _answers("\0/tmp/.X11-unix/X%d" % n) or not _claim(n):
                continue
            r, w = os.pipe()
            proc = subprocess.Popen(
                ["Xvfb", ":%d" % n] + screens + auth + ["-nolisten", "tcp", "-noreset", "-displayfd", str(w)],
                pass_fds=(w,), stdout=self._log("xvfb"), stderr=subprocess.STDOUT,
                start_new_session=True)
            os.close(w)
            ready = b""
            deadline = time.monotonic() + 20
            while proc.poll() is None and time.monotonic() < deadline and not ready.endswith(b"\n"):
                if select.select([r], [], [], 0.1)[0]:
                    chunk = os.read(r, 64)
                    if not chunk:
                        break
                    ready += chunk
            os.close(r)
            if proc.poll() is None and ready.strip() == str(n).encode():
                self.proc = proc
                self.number = n
                self.name = ":%d" % n
                if self.window_manager:
                    self._start_window_manager()
                return self
            _end(proc)
            _remove_leftovers(proc.pid, n)
            _release(n)
        raise RuntimeError("could not start Xvfb on any display of %s" % self.displays)

    def _start_window_manager(self):
        self.wm = subprocess.Popen(["openbox", "--sm-disable"], env=self.env(),
                                   stdout=self._log("openbox"), stderr=subprocess.STDOUT,
                                   start_new_session=True)
        # openbox owns the screen once it has set _NET_SUPPORTING_WM_CHECK on the root.
        conn = self.connection()
        atom = conn.intern_atom("_NET_SUPPORTING_WM_CHECK")
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            if conn.screen().root.get_full_property(atom, 0) is not None:
                return
            if self.wm.poll() is not None:
                break
            time.sleep(0.05)
        raise RuntimeError("openbox did not take the screen on %s" % self.name)

    def connection(self):
        """The harness's own Xlib connection to this server (for keys, pointer, pictures)."""
        if self._conn is None:
            self._conn = xdisplay.Display(self.name)
        return self._conn

    def kill(self):
        """Ends the server at once, as a crash or a dropped session would."""
        self._drop_connection()
        if self.proc and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        if self.proc:
            _remove_leftovers(self.proc.pid, self.number)
            _release(self.number)

    def _drop_connection(self):
        if self._conn is not None:
            try:
                self._conn.close()
            except Exception:
                pass
            self._conn = None

    def stop(self):
        self._drop_connection()
        for proc in (self.wm, self.proc):
            if proc is not None:
                _end(proc)
        if self.proc is not None:
            _remove_leftovers(self.proc.pid, self.number)
            _release(self.number)
        if self.auth_file:
            os.remove(self.auth_file)
            self.auth_file = None
        self.wm = None
        self.proc = None


def _claim_path(n):
    return os.path.join(tempfile.gettempdir(), "platformer-test-display-%d.claim" % n)


def _claim(n):
    """Claims display n for this process, taking over a claim whose process has ended."""
    path = _claim_path(n)
    for _ in range(2):
        try:
            fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
        except FileExistsError:
            try:
                with open(path) as f:
                    os.kill(int(f.read().strip() or "0"), 0)
                return False
            except (ProcessLookupError, ValueError):
                try:
                    os.remove(path)
                except FileNotFoundError:
                    pass
                continue
            except (OSError, PermissionError):
                return False
        with os.fdopen(fd, "w") as f:
            f.write("%d\n" % os.getpid())
        return True
    return False


def _release(n):
    try:
        os.remove(_claim_path(n))
    except FileNotFoundError:
        pass


def _remove_leftovers(pid, n):
    """A server that could not end itself (SIGKILL) leaves its socket, and its lock file where
    it made one, and the next look takes the display for taken. They go, but only while
    nothing answers on the socket and the lock, if any, still names that server."""
    lock = "/tmp/.X%d-lock" % n
    try:
        with open(lock) as f:
            owner = int(f.read().strip() or "0")
    except FileNotFoundError:
        owner = pid
    except (OSError, ValueError):
        return
    path = "/tmp/.X11-unix/X%d" % n
    if owner != pid or _answers(path):
        return
    for leftover in (path, lock):
        try:
            os.remove(leftover)
        except FileNotFoundError:
            pass


def _answers(path):
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as probe:
        try:
            probe.connect(path)
            return True
        except OSError:
            return False


def _write_key():
    """A file holding one MIT-MAGIC-COOKIE-1 key for any display, in the format Xau reads."""
    fd, path = tempfile.mkstemp(prefix="platformer-xauth-")

    def field(data):
        return struct.pack(">H", len(data)) + data
    family_wild = 0xFFFF
    with os.fdopen(fd, "wb") as out:
        out.write(struct.pack(">H", family_wild) + field(b"") + field(b"") + field(b"MIT-MAGIC-COOKIE-1")
                  + field(os.urandom(16)))
    return path


def _end(proc, grace=3.0):
    """Ends a process we started: politely, then for good."""
    if proc.poll() is None:
        try:
            proc.send_signal(signal.SIGTERM)
            proc.wait(grace)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    return proc.returncode
