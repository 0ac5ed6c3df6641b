"""Fixtures of the install test: the built Debian package, the game installed two ways (the
package unpacked into a scratch root, and cmake --install into a prefix with a space), and an
X server to start it on. Without its tools the whole test is skipped (status 77 for CTest),
except under CI=true, where that is a failure."""
import importlib.util
import os
import shutil
import subprocess
import sys
from types import SimpleNamespace

import pytest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
from harness import XServer  # noqa: E402

LDCONFIG = shutil.which("ldconfig") or shutil.which("ldconfig", path="/sbin:/usr/sbin")
OPTIONS = ("build", "source", "game-version", "bindir", "datadir", "app-id")


def pytest_addoption(parser):
    for name in OPTIONS:
        parser.addoption("--" + name, help="required; --bindir and --datadir are relative to the prefix")
    parser.addoption("--cmake", default="cmake")
    parser.addoption("--cpack", default="cpack")


def run(argv, **options):
    """argv's exit status and its output as text (stdout and stderr together unless split)."""
    options.setdefault("stdout", subprocess.PIPE)
    options.setdefault("stderr", subprocess.STDOUT)
    done = subprocess.run(argv, **options)
    return done.returncode, (done.stdout or b"").decode("utf-8", "replace")


def output(argv, **options):
    """argv's standard output alone."""
    return run(argv, stderr=subprocess.DEVNULL, **options)[1]


@pytest.fixture(scope="session")
def config(pytestconfig):
    values = {name.replace("-", "_"): pytestconfig.getoption("--" + name) for name in OPTIONS + ("cmake", "cpack")}
    absent = [name for name in OPTIONS if values[name.replace("-", "_")] is None]
    if absent:
        pytest.fail("missing options: %s" % " ".join("--" + name for name in absent))
    return SimpleNamespace(**values)


@pytest.fixture(scope="session", autouse=True)
def tools(config):
    missing = [tool for tool in (config.cmake, config.cpack, "dpkg", "dpkg-deb", "dpkg-shlibdeps",
                                 "desktop-file-validate", "lintian", "appstreamcli", "Xvfb", "readelf")
               if shutil.which(tool) is None] + ([] if LDCONFIG else ["ldconfig"])
    missing += [package for module, package in (("Xlib", "python3-xlib"), ("PIL", "python3-pil"))
                if importlib.util.find_spec(module) is None]
    if missing:
        (pytest.fail if os.environ.get("CI") == "true" else pytest.skip)("missing tools: %s" % " ".join(missing))


def pytest_sessionfinish(session, exitstatus):
    # CTest counts the test as skipped, not passed, when nothing ran.
    reporter = session.config.pluginmanager.get_plugin("terminalreporter")
    if exitstatus == 0 and reporter and reporter.stats.get("skipped") and not reporter.stats.get("passed"):
        session.exitstatus = 77


@pytest.fixture(scope="session")
def scratch(tmp_path_factory):
    return str(tmp_path_factory.mktemp("platformer-install"))


@pytest.fixture(scope="session")
def deb(config, scratch):
    """The package cpack makes of the build."""
    arch = output(["dpkg", "--print-architecture"]).strip()
    pkg = os.path.join(scratch, "pkg")
    status, out = run([config.cpack, "-G", "DEB", "--config", os.path.join(config.build, "CPackConfig.cmake"),
                       "-B", pkg])
    assert status == 0, "cpack -G DEB failed:\n%s" % out[-3000:]
    path = os.path.join(pkg, "platformer_%s_%s.deb" % (config.game_version, arch))
    assert os.path.isfile(path), "cpack made no %s: %s" % (os.path.basename(path), sorted(os.listdir(pkg)))
    return SimpleNamespace(path=path, arch=arch)


@pytest.fixture(scope="session")
def package_root(deb, scratch):
    """The package unpacked into a scratch root, as dpkg would lay it out."""
    root = os.path.join(scratch, "root")
    subprocess.run(["dpkg-deb", "-x", deb.path, root], check=True)
    return root


def install_into(config, prefix):
    status, out = run([config.cmake, "--install", config.build, "--prefix", prefix])
    assert status == 0, "cmake --install --prefix %s failed:\n%s" % (prefix, out[-3000:])


@pytest.fixture(scope="session", params=["package", "prefix"])
def installed(request, config, scratch):
    """The game as installed: where its files lie (prefix), the prefix its menu entry names
    (seen), and the root the entry's paths lie under ("" for the real system)."""
    if request.param == "package":
        root = request.getfixturevalue("package_root")
        prefix, seen = os.path.join(root, "usr"), "/usr"
    else:
        root, prefix = "", os.path.join(scratch, "home dir", ".local")
        install_into(config, prefix)
        seen = prefix
    return SimpleNamespace(label=request.param, prefix=prefix, seen=seen, root=root,
                           game=os.path.join(prefix, config.bindir, "platformer"),
                           entry=os.path.join(prefix, "share/applications", config.app_id + ".desktop"))


@pytest.fixture(scope="session")
def xserver(scratch):
    server = XServer(800, 700, log_dir=scratch)
    server.start()
    yield server
    server.stop()
