"""What scripts/memcheck, scripts/screenshot and scripts/bench share: the tools
they need, the game they play, a private X server of the test harness (tests/harness) to play
it on, and one way each to read a setting, run a command and read a file."""
import importlib.util
import os
import shutil
import subprocess
import sys

REPO = os.path.dirname(os.path.dirname(os.path.realpath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests"))


def env(name, default, kind=str):
    """The setting name from the environment as kind; default when it is unset or empty."""
    return kind(os.environ.get(name) or default)


def run(argv, **options):
    """argv's exit status and its standard output as text."""
    done = subprocess.run(argv, stdout=subprocess.PIPE, **options)
    return done.returncode, done.stdout.decode("utf-8", "replace")


def read_text(path):
    """The file's text, "" when it cannot be read."""
    try:
        with open(path, "rb") as f:
            return f.read().decode("utf-8", "replace")
    except OSError:
        return ""


def load_average():
    return " ".join(read_text("/proc/loadavg").split()[:3])


def shell_status(status):
    """An exit status as a shell reports it: a signal's number above 128."""
    return 128 - status if status < 0 else status


def missing_modules():
    """(module, package) of each Python module the harness drives the game through that is not here."""
    return [(module, package) for module, package in (("Xlib", "python3-xlib"), ("PIL", "python3-pil"))
            if importlib.util.find_spec(module) is None]


def need_tools(pairs):
    """True when every command of pairs ("command:apt-package") and the harness's Python
    modules are here; otherwise says which packages bring them and returns False."""
    missing = [pair.split(":")[1] for pair in pairs if shutil.which(pair.split(":")[0]) is None]
    missing += [package for _, package in missing_modules()]
    if missing:
        print("missing tools; install with: apt-get install -y %s" % " ".join(missing), file=sys.stderr)
    return not missing


def build_game(given=None, build_dir="build-mem"):
    """The game to play: given, else build_dir/platformer, built first when it is not there."""
    game = given or os.path.join(REPO, build_dir, "platformer")
    if given is None and not os.access(game, os.X_OK):
        print("building %s" % game, flush=True)
        build = os.path.join(REPO, build_dir)
        for step in (["cmake", "-S", REPO, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo"],
                     ["cmake", "--build", build, "-j2", "--target", "platformer"]):
            if subprocess.run(step, stdout=subprocess.DEVNULL).returncode != 0:
                return None
    if not (os.path.isfile(game) and os.access(game, os.X_OK)):
        print("no game executable at %s" % game, file=sys.stderr)
        return None
    return os.path.realpath(game)


def session_xserver(log_dir, width=800, height=700, window_manager=False):
    """A started X server on the first free display of SESSION_DISPLAYS (default: the
    harness's choice), its log in log_dir; None when no display could be had."""
    from harness import XServer
    server = XServer(width, height, log_dir=log_dir, displays=os.environ.get("SESSION_DISPLAYS", "").split() or None,
                     window_manager=window_manager)
    try:
        return server.start()
    except RuntimeError:
        print("no free X display among: %s (set SESSION_DISPLAYS)" % " ".join(map(str, server.displays)),
              file=sys.stderr)
        return None
