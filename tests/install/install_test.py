#!/usr/bin/python3
"""Builds the Debian package from a configured, built tree, checks it with lintian, installs it
(into a scratch root, into a prefix with a space in it, and -- where allowed -- for real with
apt) and starts the game each time exactly as the menu entry says, with its Exec, from a
folder that has nothing to do with the game, under a private X server of the harness. The
window of the entry's StartupWMClass must come up showing the sky, and Escape must end the
game with status 0; a game that cannot find its data folder fails to load its pictures. The
installed game also answers --help, --version, a wrong argument and a missing display without
a window.

  install_test.py --build DIR --source DIR --version X.Y.Z --bindir DIR --datadir DIR
                  --app-id ID [--cmake CMAKE] [--cpack CPACK]

--bindir and --datadir are the configured install folders, relative to the prefix.

PLATFORMER_TEST_DPKG=1 (as root) also installs the package with apt-get and removes it
afterwards if it was not installed before. PLATFORMER_TEST_DISPLAYS="81 82" limits the X
display numbers tried. Without its tools the test is skipped (77), except under CI=true,
where that is a failure.
"""
import argparse
import filecmp
import importlib.util
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

SKY = (70, 200, 255)  # the sky's colour exactly, as the game draws it
SKY_PIXELS = 10000
APT_ENV = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
LDCONFIG = shutil.which("ldconfig") or shutil.which("ldconfig", path="/sbin:/usr/sbin")


def missing_tools(cmake, cpack):
    missing = [tool for tool in (cmake, cpack, "dpkg", "dpkg-deb", "dpkg-shlibdeps", "desktop-file-validate",
                                 "lintian", "appstreamcli", "Xvfb", "readelf") if shutil.which(tool) is None]
    if LDCONFIG is None:
        missing.append("ldconfig")
    return missing + [package for module, package in (("Xlib", "python3-xlib"), ("PIL", "python3-pil"))
                      if importlib.util.find_spec(module) is None]


class Checks:
    """Counts and prints each check as it is made."""

    def __init__(self):
        self.passed = self.failed = 0

    def check(self, what, condition):
        print("%s - %s" % ("ok  " if condition else "FAIL", what), flush=True)
        self.passed += bool(condition)
        self.failed += not condition
        return condition

    def under(self, label):
        """check() with "label: " before each description."""
        return lambda what, condition: self.check("%s: %s" % (label, what), condition)

    def ok(self, what):
        self.check(what, True)

    def fail(self, what):
        self.check(what, False)

    def summary(self):
        print("install_test: %d passed, %d failed" % (self.passed, self.failed), flush=True)
        return 0 if self.failed == 0 else 1


def run(argv, **options):
    """argv's exit status and its output (stdout and stderr together unless split)."""
    options.setdefault("stdout", subprocess.PIPE)
    options.setdefault("stderr", subprocess.STDOUT)
    done = subprocess.run(argv, **options)
    return done.returncode, _text(done.stdout)


def output(argv, **options):
    """argv's standard output alone."""
    return run(argv, stderr=subprocess.DEVNULL, **options)[1]


def indent(prefix, text, last=None):
    for line in text.splitlines()[-last if last else 0:]:
        print("    %s: %s" % (prefix, line))


def _text(data):
    return data.decode("utf-8", "replace") if data else ""


def _read(path):
    try:
        with open(path, "rb") as f:
            return _text(f.read())
    except OSError:
        return ""


def _same_file(a, b):
    try:
        return filecmp.cmp(a, b, shallow=False)
    except OSError:
        return False


# --- Reading a menu entry -----------------------------------------------------------------

def desktop_entry(path):
    """key -> value of the [Desktop Entry] group (not a localised key, not another group);
    a missing key reads as ""."""
    values, group = {}, None
    for line in _read(path).splitlines():
        if line.startswith("["):
            group = line
            continue
        m = re.match(r"([A-Za-z0-9-]+)[ \t]*=[ \t]*", line)
        if group == "[Desktop Entry]" and m:
            values.setdefault(m.group(1), line[m.end():])
    return lambda key: values.get(key, "")


def split_exec(value):
    """The argv a menu would run for an Exec value: first the string escapes (\\s \\n \\t \\r
    \\\\) are undone; then double quotes group, a backslash in quotes escapes " ` $ \\, %% is a
    percent sign and other field codes (%f, %U ...) drop out."""
    text = re.sub(r"\\(.)", lambda m: {"s": " ", "n": "\n", "t": "\t", "r": "\r"}.get(m.group(1), m.group(1)),
                  value, flags=re.S)
    argv, arg, have, quoted, i = [], "", False, False, 0
    while i < len(text):
        c = text[i]
        if c == "%":
            i += 1
            if text[i:i + 1] == "%":
                arg, have = arg + "%", True
        elif quoted:
            if c == "\\" and text[i + 1:i + 2] in ('"', "`", "$", "\\") and i + 1 < len(text):
                i += 1
                arg += text[i]
            elif c == '"':
                quoted = False
            else:
                arg += c
        elif c == " ":
            if have:
                argv.append(arg)
            arg, have = "", False
        elif c == '"':
            quoted = have = True
        else:
            arg, have = arg + c, True
        i += 1
    return argv + [arg] if have else argv


class InstallTest(Checks):
    def __init__(self, args, scratch):
        super().__init__()
        self.a = args
        self.scratch = scratch
        self.xserver = None
        self.apt_installed = False

    def path(self, *parts):
        return os.path.join(self.scratch, *parts)

    def entry_path(self, prefix):
        return os.path.join(prefix, "share/applications", self.a.app_id + ".desktop")

    def launch_from_entry(self, label, entry, root):
        """Starts the game as the menu would from entry (paths mapped into root, "" for the
        real system), in a folder of its own that holds no pictures, and checks the window,
        the picture and the exit on Escape."""
        from harness import Game
        folder = self.path("somewhere else", label)
        os.makedirs(folder, exist_ok=True)
        entry = desktop_entry(entry)
        argv = split_exec(entry("Exec"))
        wm_class = entry("StartupWMClass") or "platformer"
        if not argv:
            return self.fail("%s: Exec is empty" % label)
        prog = argv[0]
        if prog.startswith("/"):
            prog = root + prog
        else:
            # Looked up on PATH, as the menu does; in a scratch root, on PATH inside that root.
            prog = next((root + d + "/" + prog for d in os.environ.get("PATH", "").split(":")
                         if os.access(root + d + "/" + prog, os.X_OK)), prog)
        if not (os.path.isfile(prog) and os.access(prog, os.X_OK)):
            return self.fail("%s: Exec (%s) does not exist" % (label, prog))

        log_path = self.path("game-%s.log" % label)
        with open(log_path, "wb") as log:
            game = Game(prog, folder, self.xserver, args=argv[1:], stdout=log, stderr=log).start()
        try:
            try:
                window = game.window(timeout=20, wm_class=wm_class)
            except AssertionError as why:
                self.fail("%s: no window of class %s appeared (%s)" % (label, wm_class, str(why).splitlines()[0]))
                return indent("game", _read(log_path), last=5)
            self.ok("%s: the window appeared" % label)

            # The sky, exactly its colour, inside the game's window.
            for _ in range(50):
                colours = window.screenshot().image.getcolors(1 << 24) or []
                sky = sum(n for n, rgb in colours if tuple(rgb[:3]) == SKY)
                if sky > SKY_PIXELS:
                    break
                time.sleep(0.2)
            self.check("%s: the window shows the sky (%d sky-blue pixels)" % (label, sky), sky > SKY_PIXELS)

            window.focus()
            window.key("Escape")
            status = game.wait(10)
            if status is None:
                self.fail("%s: the game was still running 10 s after Escape" % label)
                game.stop()
                status = game.status
            if status == 0:
                return self.ok("%s: Escape ended the game with status 0" % label)
            self.fail("%s: the game ended with status %s" % (label, status))
            lines = [l for l in _read(log_path).splitlines() if not re.fullmatch(r"[0-9.]*", l)]
            indent("game", "\n".join(lines), last=5)
        finally:
            game.stop()

    def check_layout(self, label, prefix, want):
        """Checks of an installed tree under prefix (as the files lie on disk) whose entry
        should point at want (the prefix the menu will see)."""
        from harness import rules
        from PIL import Image
        a, check = self.a, self.under(label)
        bindir = os.path.join(prefix, a.bindir)
        datadir = os.path.join(prefix, a.datadir)
        check("%s/ holds only the game" % a.bindir,
              os.path.isdir(bindir) and sorted(os.listdir(bindir)) == ["platformer"])
        data = os.path.join(a.source, "data")
        for name in sorted(os.listdir(data)):
            if name.endswith(".png") or name == rules.LEVEL_FILE:
                check("%s/%s installed" % (a.datadir, name),
                      _same_file(os.path.join(data, name), os.path.join(datadir, name)))
        for name in rules.PICTURES:
            check("the game's picture %s is there" % name, os.path.isfile(os.path.join(datadir, name)))
        for f in ("man/man6/platformer.6.gz", "doc/platformer/README.md", "doc/platformer/copyright",
                  "doc/platformer/changelog.gz"):
            p = os.path.join(prefix, "share", f)
            check("share/%s installed" % f, os.path.isfile(p) and os.path.getsize(p) > 0)
        for n in (16, 32, 48, 64, 128, 256):
            icon = os.path.join(prefix, "share/icons/hicolor/%dx%d/apps/%s.png" % (n, n, a.app_id))
            try:
                with Image.open(icon) as icon:
                    icon.load()  # the whole picture decodes, not just its header
                    good = icon.format == "PNG" and icon.size == (n, n)
            except OSError:
                good = False
            check("%dx%d icon" % (n, n), good)
        metainfo = os.path.join(prefix, "share/metainfo", a.app_id + ".metainfo.xml")
        status, out = run(["appstreamcli", "validate", "--no-net", metainfo])
        check("appstreamcli validate accepts the metainfo" if status == 0 else
              "appstreamcli validate: %s" % " ".join(l for l in out.splitlines() if l), status == 0)
        path = self.entry_path(prefix)
        if not os.path.isfile(path):
            return check("no menu entry at %s" % path, False)
        status, out = run(["desktop-file-validate", path])
        good = status == 0 and out == ""
        check("desktop-file-validate accepts the entry" if good else
              "desktop-file-validate: %s" % out.replace("\n", " "), good)
        entry = desktop_entry(path)
        want_exec = "%s/%s/platformer" % (want, a.bindir)
        for what, condition in (
                ("the entry needs no Path", entry("Path") == ""),
                ("Exec runs %s" % want_exec, split_exec(entry("Exec")) == [want_exec]),
                ("the entry is not a terminal program", entry("Terminal") == "false"),
                ("the entry is in Game;ArcadeGame;", entry("Categories") == "Game;ArcadeGame;"),
                ("the entry's icon is %s" % a.app_id, entry("Icon") == a.app_id),
                ("the metainfo launches the entry",
                 '<launchable type="desktop-id">%s.desktop<' % a.app_id in _read(metainfo))):
            check(what, condition)

    def check_command_line(self, label, prog):
        """The command line of the game at prog, with no display at all: none of it may need one."""
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}

        def play(*args, timeout=None):
            try:
                done = subprocess.run([prog, *args], cwd=self.scratch, env=env, stdin=subprocess.DEVNULL,
                                      capture_output=True, timeout=timeout)
            except subprocess.TimeoutExpired as ended:
                return "still running after %d s" % timeout, _text(ended.stdout), _text(ended.stderr)
            return done.returncode, _text(done.stdout), _text(done.stderr)

        check = self.under(label)
        status, out, err = play("--help")
        check("--help prints the usage and ends with 0 (%s)" % status,
              status == 0 and out.startswith("Usage: platformer ") and err == "")
        version = "platformer %s" % self.a.version
        status, out, err = play("--version")
        check('--version prints "%s" and ends with 0 (%s)' % (version, status),
              status == 0 and out.rstrip("\n") == version and err == "")
        status, out, err = play("--fly")
        check("an unknown argument is named and ends with 2 (%s)" % status,
              status == 2 and out == "" and err.split("\n")[0] == 'platformer: unknown argument "--fly"')
        status, out, err = play(timeout=20)
        lines = err.count("\n")
        check("without a display it ends with 255 and one line on stderr (%s, %d lines)" % (status, lines),
              status == 255 and lines == 1 and len(err.splitlines()) == 1)
        indent("stderr", err)

    def check_package(self, deb, arch):
        """The package's control fields, files, lintian, Depends and hardening; the game as
        unpacked into a scratch root."""
        a = self.a

        def field(name):
            return output(["dpkg-deb", "-f", deb, name]).rstrip("\n")

        for name, want in (("Package", "platformer"), ("Version", a.version), ("Architecture", arch),
                           ("Section", "games")):
            self.check("control field %s is %s" % (name, want), field(name) == want)
        self.check('control field Maintainer is "Name <address>"',
                   re.fullmatch(r"[^<>\n]+ <[^<>@ \n]+@[^<>@ \n]+\.[a-z]+>", field("Maintainer")) is not None)
        self.check("control field Description has a summary", field("Description").split("\n")[0].strip() != "")
        depends = field("Depends")
        print("    Depends: %s" % depends)

        names = [line.split(None, 5)[5].split(" -> ")[0] for line in output(["dpkg-deb", "-c", deb]).splitlines()
                 if line.strip()]
        self.check("the package installs only under /usr",
                   bool(names) and all(n == "./" or n.startswith("./usr/") for n in names))

        lint = run(["lintian", deb])[1]
        self.check("lintian finds no error and no warning", not re.search(r"^[EW]: ", lint, re.M))
        for line in lint.splitlines():
            if re.match(r"[EWI]: ", line):
                print("    lintian: %s" % line)

        root = self.path("root")
        subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
        game = os.path.join(root, "usr", a.bindir, "platformer")

        # The Allegro libraries the packaged game really links must all be in Depends, by the
        # name of the Debian package that holds them here.
        needed = re.findall(r"Shared library: \[(.*)\]", run(["readelf", "-d", game])[1])
        self.check("the game links Allegro", any(lib.startswith("liballegro") for lib in needed))
        cache = [line.split() for line in run([LDCONFIG, "-p"])[1].splitlines()[1:]]
        owners = {}
        for lib in (lib for lib in needed if lib.startswith("liballegro")):
            path = next((words[-1] for words in cache if words and words[0] == lib), "")
            owner = output(["dpkg", "-S", os.path.realpath(path)]).split("\n")[0].split(":")[0] if path else ""
            if owner:
                owners.setdefault(owner, []).append(lib)
            else:
                self.fail("no Debian package here holds %s" % lib)

        def depends_on(package):
            return re.search(r"(^|, )%s( |,|$)" % re.escape(package), depends) is not None

        for owner, libs in owners.items():
            self.check("Depends names %s (for %s)" % (owner, " ".join(libs)), depends_on(owner))
        self.check("Depends names libc6", depends_on("libc6"))

        self.check_layout("package", os.path.join(root, "usr"), "/usr")

        # Built with dpkg-buildflags' hardening: relocations read-only and bound at start,
        # stack protector.
        self.check("the game is built with read-only relocations", "GNU_RELRO" in run(["readelf", "-lW", game])[1])
        self.check("the game is built with BIND_NOW",
                   re.search(r"BIND_NOW|FLAGS.*NOW", run(["readelf", "-dW", game])[1]) is not None)
        self.check("the game is built with the stack protector",
                   "__stack_chk_fail" in run(["readelf", "--dyn-syms", "-W", game])[1])

        self.check_command_line("package", game)
        return root

    def main(self):
        a = self.a
        arch = run(["dpkg", "--print-architecture"])[1].strip()
        deb_name = "platformer_%s_%s.deb" % (a.version, arch)
        pkg = self.path("pkg")
        deb = os.path.join(pkg, deb_name)
        status, out = run([a.cpack, "-G", "DEB", "--config", os.path.join(a.build, "CPackConfig.cmake"), "-B", pkg])
        if status != 0:
            indent("cpack", out, last=20)
            self.fail("cpack -G DEB")
            return self.summary()
        if not os.path.isfile(deb):
            made = " ".join(n for n in sorted(os.listdir(pkg)) if n.endswith(".deb"))
            self.fail("cpack made no %s: %s" % (deb_name, made))
            return self.summary()
        self.ok("cpack made %s" % deb_name)
        root = self.check_package(deb, arch)

        # --- A user's own prefix, with a space in it ---
        prefix = self.path("home dir", ".local")
        manifest = []
        status, out = run([a.cmake, "--install", a.build, "--prefix", prefix])
        if status != 0:
            indent("install", out, last=20)
        if self.check("cmake --install --prefix", status == 0):
            manifest = [line for line in _read(os.path.join(a.build, "install_manifest.txt")).splitlines()
                        if prefix + "/" in line]
            self.check_layout("prefix", prefix, prefix)
            self.check_command_line("prefix", os.path.join(prefix, a.bindir, "platformer"))

        # --- Starting it as the menu would, under the harness's X server ---
        from harness import XServer
        server = XServer(800, 700, log_dir=self.scratch)
        try:
            server.start()
            self.xserver = server
            print("install_test: Xvfb on %s (pid %d)" % (server.name, server.pid), flush=True)
        except RuntimeError as why:
            self.fail("no X display could be started (%s)" % why)
        try:
            if self.xserver:
                self.launch_from_entry("package", self.entry_path(os.path.join(root, "usr")), root)
                if os.path.isfile(self.entry_path(prefix)):
                    self.launch_from_entry("prefix", self.entry_path(prefix), "")

            # Uninstalling the user's copy, as the README says, leaves none of its files behind.
            if manifest:
                for path in manifest:
                    if os.path.lexists(path):
                        os.remove(path)
                left = [os.path.join(d, name) for d, subdirs, files in os.walk(prefix)
                        for name in files + [s for s in subdirs if os.path.islink(os.path.join(d, s))]]
                self.check("removing the files of install_manifest.txt uninstalls the prefix", not left)

            if os.environ.get("PLATFORMER_TEST_DPKG") == "1":
                self.system_install(deb, deb_name)
        finally:
            server.stop()
        return self.summary()

    def system_install(self, deb, deb_name):
        a = self.a
        if os.geteuid() != 0:
            return self.fail("PLATFORMER_TEST_DPKG=1 needs root")
        self.apt_installed = "install ok installed" not in output(["dpkg-query", "-W", "-f=${Status}", "platformer"])
        status, out = run(["apt-get", "install", "-y", "-q", deb], env=APT_ENV)
        if status != 0:
            indent("apt", out, last=20)
        if not self.check("apt-get install ./%s" % deb_name, status == 0):
            return
        self.check("dpkg lists the installed menu entry",
                   "/usr/share/applications/%s.desktop" % a.app_id in run(["dpkg", "-L", "platformer"])[1].splitlines())
        # A terminal finds it by name: /usr/games is on every user's PATH on Debian.
        login = dict(os.environ, PATH="/usr/local/bin:/usr/bin:/bin:/usr/local/games:/usr/games")
        version = output(["platformer", "--version"], cwd="/", env=login)
        self.check("platformer --version from a login PATH", version.rstrip("\n") == "platformer %s" % a.version)
        if self.xserver:
            self.launch_from_entry("system", self.entry_path("/usr"), "")

    def cleanup(self):
        if self.apt_installed and run(["apt-get", "purge", "-y", "-q", "platformer"], env=APT_ENV)[0] != 0:
            print("install_test: could not remove the platformer package again", file=sys.stderr)


def main(argv):
    parser = argparse.ArgumentParser(prog="install_test")
    for name in ("build", "source", "version", "bindir", "datadir", "app-id"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--cmake", default="cmake")
    parser.add_argument("--cpack", default="cpack")
    args = parser.parse_args(argv)

    missing = missing_tools(args.cmake, args.cpack)
    if missing:
        print("install_test: missing tools: %s" % " ".join(missing))
        return 1 if os.environ.get("CI") == "true" else 77

    scratch = tempfile.mkdtemp(prefix="platformer-install.", dir=os.environ.get("TMPDIR", "/tmp"))
    test = InstallTest(args, scratch)
    try:
        return test.main()
    finally:
        test.cleanup()
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
