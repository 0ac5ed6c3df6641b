"""What scripts/memcheck, scripts/soak and scripts/screenshot share: the tools they need, the
game they play, and a private X server of the test harness (tests/harness) to play it on."""
import os
import shutil
import subprocess
import sys

REPO = os.path.dirname(os.path.dirname(os.path.realpath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tests"))

# The harness drives the game through these Python modules.
PYTHON_MODULES = (("Xlib", "python3-xlib"), ("PIL", "python3-pil"))


def need_tools(pairs):
    """True when every command of pairs ("command:apt-package") and the harness's Python
    modules are here; otherwise says which packages bring them and returns False."""
    missing = [pair.split(":")[1] for pair in pairs if shutil.which(pair.split(":")[0]) is None]
    for module, package in PYTHON_MODULES:
        try:
            __import__(module)
        except ImportError:
            missing.append(package)
    if missing:
        print("missing tools; install with: apt-get install -y %s" % " ".join(missing), file=sys.stderr)
        return False
    return True


def build_game(repo, given=None, build_dir="build-mem"):
    """The game to play: given, else build_dir/platformer, built first when it is not there."""
    game = given or os.path.join(repo, build_dir, "platformer")
    if given is None and not os.access(game, os.X_OK):
        print("building %s" % game, flush=True)
        build = os.path.join(repo, build_dir)
        for step in (["cmake", "-S", repo, "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo"],
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
    chosen = os.environ.get("SESSION_DISPLAYS", "").split() or None
    server = XServer(width, height, log_dir=log_dir, displays=chosen, window_manager=window_manager)
    try:
        return server.start()
    except RuntimeError:
        print("no free X display among: %s (set SESSION_DISPLAYS)" % " ".join(map(str, server.displays)),
              file=sys.stderr)
        return None
