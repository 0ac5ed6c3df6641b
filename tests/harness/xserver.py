"""A private X server (Xvfb), optionally with a window manager, for driving the real game."""
import os
import select
import signal
import subprocess
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
    Use as a context manager, or call stop().
    """

    def __init__(self, width=640, height=640, depth=24, window_manager=False, log_dir=None,
                 displays=None):
        self.displays = _display_numbers(displays)
        self.size = (width, height)
        self.depth = depth
        self.window_manager = window_manager
        self.log_dir = log_dir
        self.proc = None
        self.wm = None
        self.name = None
        self._conn = None

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    @property
    def pid(self):
        return self.proc.pid if self.proc else None

    def env(self, base=None):
        env = dict(os.environ if base is None else base)
        env["DISPLAY"] = self.name
        env.pop("WAYLAND_DISPLAY", None)
        return env

    def _log(self, what):
        if not self.log_dir:
            return subprocess.DEVNULL
        return open(os.path.join(self.log_dir, what + ".log"), "ab")

    def start(self):
        screen = "%dx%dx%d" % (self.size[0], self.size[1], self.depth)
        for n in self.displays:
            if os.path.exists("/tmp/.X%d-lock" % n) or os.path.exists("/tmp/.X11-unix/X%d" % n):
                continue
            r, w = os.pipe()
            proc = subprocess.Popen(
                ["Xvfb", ":%d" % n, "-screen", "0", screen, "-nolisten", "tcp", "-noreset",
                 "-displayfd", str(w)],
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
                self.name = ":%d" % n
                if self.window_manager:
                    self._start_window_manager()
                return self
            _end(proc)
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
        self.wm = None
        self.proc = None


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
