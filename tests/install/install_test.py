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
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))

SKY = (70, 200, 255)  # the sky's colour exactly, as the game draws it
SKY_PIXELS = 10000


def _ldconfig():
    return shutil.which("ldconfig") or shutil.which("ldconfig", path="/sbin:/usr/sbin") or "ldconfig"


def missing_tools(cmake, cpack):
    missing = [tool for tool in (cmake, cpack, "dpkg", "dpkg-deb", "dpkg-shlibdeps",
                                 "desktop-file-validate", "lintian", "appstreamcli", "Xvfb", "readelf")
               if shutil.which(tool) is None]
    if shutil.which(_ldconfig()) is None:
        missing.append("ldconfig")
    for module, package in (("Xlib", "python3-xlib"), ("PIL", "python3-pil")):
        try:
            __import__(module)
        except ImportError:
            missing.append(package)
    return missing


class Checks:
    """Counts and prints each check as it is made."""

    def __init__(self):
        self.passed = 0
        self.failed = 0

    def ok(self, what):
        print("ok   - %s" % what, flush=True)
        self.passed += 1

    def fail(self, what):
        print("FAIL - %s" % what, flush=True)
        self.failed += 1

    def check(self, what, condition):
        (self.ok if condition else self.fail)(what)
        return condition

    def summary(self):
        print("install_test: %d passed, %d failed" % (self.passed, self.failed), flush=True)
        return 0 if self.failed == 0 else 1


def run(argv, **options):
    """argv's exit status and its output (stdout and stderr together unless split)."""
    options.setdefault("stdout", subprocess.PIPE)
    options.setdefault("stderr", subprocess.STDOUT)
    done = subprocess.run(argv, **options)
    out = done.stdout.decode("utf-8", "replace") if done.stdout is not None else ""
    return done.returncode, out


def indent(prefix, text, last=None):
    lines = text.splitlines()
    if last is not None:
        lines = lines[-last:]
    for line in lines:
        print("    %s: %s" % (prefix, line))


# --- Reading a menu entry -----------------------------------------------------------------

def entry_value(path, key):
    """The value of key in the [Desktop Entry] group (not a localised one, not another group)."""
    group = None
    pattern = re.compile("^" + re.escape(key) + "[ \t]*=[ \t]*")
    with open(path, encoding="utf-8") as f:
        for line in f.read().splitlines():
            if line.startswith("["):
                group = line
                continue
            if group == "[Desktop Entry]":
                m = pattern.match(line)
                if m:
                    return line[m.end():]
    return ""


def unescape_string(value):
    """Undoes the escapes of a desktop string value (\\s \\n \\t \\r \\\\)."""
    out, i = [], 0
    while i < len(value):
        c = value[i]
        if c == "\\" and i + 1 < len(value):
            i += 1
            out.append({"s": " ", "n": "\n", "t": "\t", "r": "\r"}.get(value[i], value[i]))
        else:
            out.append(c)
        i += 1
    return "".join(out)


def split_exec(value):
    """The argv a menu would run for an Exec value: double quotes group, a backslash in quotes
    escapes " ` $ \\, %% is a percent sign and other field codes (%f, %U ...) drop out."""
    text = unescape_string(value)
    argv, arg, have, quoted, i = [], "", False, False, 0
    while i < len(text):
        c = text[i]
        if c == "%":
            i += 1
            if text[i:i + 1] == "%":
                arg += "%"
                have = True
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
            arg += c
            have = True
        i += 1
    if have:
        argv.append(arg)
    return argv


class InstallTest:
    def __init__(self, args, scratch):
        self.a = args
        self.scratch = scratch
        self.c = Checks()
        self.xserver = None
        self.apt_installed = False

    def path(self, *parts):
        return os.path.join(self.scratch, *parts)

    # --- Starting it as the menu would ----------------------------------------------------

    def launch_from_entry(self, label, entry, root):
        """Starts the game as the menu would from entry (paths mapped into root, "" for the
        real system), in a folder of its own that holds no pictures, and checks the window,
        the picture and the exit on Escape."""
        from harness import Game
        c = self.c
        folder = self.path("somewhere else", label)
        os.makedirs(folder, exist_ok=True)
        argv = split_exec(entry_value(entry, "Exec"))
        wm_class = entry_value(entry, "StartupWMClass") or "platformer"
        if not argv:
            c.fail("%s: Exec is empty" % label)
            return
        prog = argv[0]
        if not prog.startswith("/"):
            # Looked up on PATH, as the menu does; in a scratch root, on PATH inside that root.
            for d in os.environ.get("PATH", "").split(":"):
                if os.access(root + d + "/" + prog, os.X_OK):
                    prog = root + d + "/" + prog
                    break
        else:
            prog = root + prog
        if not (os.path.isfile(prog) and os.access(prog, os.X_OK)):
            c.fail("%s: Exec (%s) does not exist" % (label, prog))
            return

        log_path = self.path("game-%s.log" % label)
        with open(log_path, "wb") as log:
            game = Game(prog, folder, self.xserver, args=argv[1:], stdout=log, stderr=log)
            game.start()
        try:
            try:
                window = game.window(timeout=20, wm_class=wm_class)
            except AssertionError as why:
                c.fail("%s: no window of class %s appeared (%s)" % (label, wm_class, str(why).splitlines()[0]))
                indent("game", _read(log_path), last=5)
                return
            c.ok("%s: the window appeared" % label)

            # The sky, exactly its colour, inside the game's window.
            sky = 0
            for _ in range(50):
                colours = window.screenshot().image.getcolors(1 << 24) or []
                sky = sum(n for n, rgb in colours if tuple(rgb[:3]) == SKY)
                if sky > SKY_PIXELS:
                    break
                time.sleep(0.2)
            c.check("%s: the window shows the sky (%d sky-blue pixels)" % (label, sky), sky > SKY_PIXELS)

            window.focus()
            window.key("Escape")
            status = game.wait(10)
            if status is None:
                c.fail("%s: the game was still running 10 s after Escape" % label)
                game.stop()
                status = game.status
            if status == 0:
                c.ok("%s: Escape ended the game with status 0" % label)
            else:
                c.fail("%s: the game ended with status %s" % (label, status))
                lines = [l for l in _read(log_path).splitlines() if not re.fullmatch(r"[0-9.]*", l)]
                indent("game", "\n".join(lines), last=5)
        finally:
            game.stop()

    # --- An installed tree ------------------------------------------------------------------

    def check_layout(self, label, prefix, want):
        """Checks of an installed tree under prefix (as the files lie on disk) whose entry
        should point at want (the prefix the menu will see)."""
        from harness import rules
        from PIL import Image
        a, c = self.a, self.c
        entry = os.path.join(prefix, "share/applications", a.app_id + ".desktop")
        metainfo = os.path.join(prefix, "share/metainfo", a.app_id + ".metainfo.xml")
        bindir = os.path.join(prefix, a.bindir)
        datadir = os.path.join(prefix, a.datadir)

        listing = sorted(os.listdir(bindir)) if os.path.isdir(bindir) else []
        c.check("%s: %s/ holds only the game" % (label, a.bindir), listing == ["platformer"])
        data = os.path.join(a.source, "data")
        for name in sorted(os.listdir(data)):
            if name.endswith(".png") or name == rules.LEVEL_FILE:
                c.check("%s: %s/%s installed" % (label, a.datadir, name),
                        _same_file(os.path.join(data, name), os.path.join(datadir, name)))
        for name in rules.PICTURES:
            c.check("%s: the game's picture %s is there" % (label, name),
                    os.path.isfile(os.path.join(datadir, name)))
        for f in ("man/man6/platformer.6.gz", "doc/platformer/README.md", "doc/platformer/copyright",
                  "doc/platformer/changelog.gz"):
            p = os.path.join(prefix, "share", f)
            c.check("%s: share/%s installed" % (label, f), os.path.isfile(p) and os.path.getsize(p) > 0)
        for n in (16, 32, 48, 64, 128, 256):
            p = os.path.join(prefix, "share/icons/hicolor/%dx%d/apps/%s.png" % (n, n, a.app_id))
            try:
                with Image.open(p) as icon:
                    icon.load()  # the whole picture decodes, not just its header
                    good = icon.format == "PNG" and icon.size == (n, n)
            except OSError:
                good = False
            c.check("%s: %dx%d icon" % (label, n, n), good)
        status, out = run(["appstreamcli", "validate", "--no-net", metainfo])
        if status == 0:
            c.ok("%s: appstreamcli validate accepts the metainfo" % label)
        else:
            c.fail("%s: appstreamcli validate: %s" % (label, " ".join(l for l in out.splitlines() if l)))
        if not os.path.isfile(entry):
            c.fail("%s: no menu entry at %s" % (label, entry))
            return
        status, out = run(["desktop-file-validate", entry])
        if status == 0 and out == "":
            c.ok("%s: desktop-file-validate accepts the entry" % label)
        else:
            c.fail("%s: desktop-file-validate: %s" % (label, out.replace("\n", " ")))
        c.check("%s: the entry needs no Path" % label, entry_value(entry, "Path") == "")
        want_exec = "%s/%s/platformer" % (want, a.bindir)
        c.check("%s: Exec runs %s" % (label, want_exec), split_exec(entry_value(entry, "Exec")) == [want_exec])
        c.check("%s: the entry is not a terminal program" % label, entry_value(entry, "Terminal") == "false")
        c.check("%s: the entry is in Game;ArcadeGame;" % label,
                entry_value(entry, "Categories") == "Game;ArcadeGame;")
        c.check("%s: the entry's icon is %s" % (label, a.app_id), entry_value(entry, "Icon") == a.app_id)
        c.check("%s: the metainfo launches the entry" % label,
                '<launchable type="desktop-id">%s.desktop<' % a.app_id in _read(metainfo))

    def check_command_line(self, label, prog):
        """The command line of the game at prog, with no display at all: none of it may need one."""
        c = self.c
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}

        def play(*args, timeout=None):
            try:
                done = subprocess.run([prog] + list(args), cwd=self.scratch, env=env, stdin=subprocess.DEVNULL,
                                      stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
            except subprocess.TimeoutExpired as ended:
                return "still running after %d s" % timeout, _text(ended.stdout), _text(ended.stderr)
            return done.returncode, _text(done.stdout), _text(done.stderr)

        status, out, err = play("--help")
        c.check("%s: --help prints the usage and ends with 0 (%s)" % (label, status),
                status == 0 and out.startswith("Usage: platformer ") and err == "")
        status, out, err = play("--version")
        c.check('%s: --version prints "platformer %s" and ends with 0 (%s)' % (label, self.a.version, status),
                status == 0 and out.rstrip("\n") == "platformer %s" % self.a.version and err == "")
        status, out, err = play("--fly")
        c.check("%s: an unknown argument is named and ends with 2 (%s)" % (label, status),
                status == 2 and out == "" and err.split("\n")[0] == 'platformer: unknown argument "--fly"')
        status, out, err = play(timeout=20)
        lines = err.count("\n")
        c.check("%s: without a display it ends with 255 and one line on stderr (%s, %d lines)" % (label, status, lines),
                status == 255 and lines == 1 and len(err.splitlines()) == 1)
        indent("stderr", err)

    # --- The whole test ----------------------------------------------------------------------

    def main(self):
        a, c = self.a, self.c
        arch = run(["dpkg", "--print-architecture"])[1].strip()
        deb_name = "platformer_%s_%s.deb" % (a.version, arch)
        pkg = self.path("pkg")
        deb = os.path.join(pkg, deb_name)
        status, out = run([a.cpack, "-G", "DEB", "--config", os.path.join(a.build, "CPackConfig.cmake"), "-B", pkg])
        if status != 0:
            indent("cpack", out, last=20)
            c.fail("cpack -G DEB")
            return c.summary()
        if not os.path.isfile(deb):
            made = " ".join(n for n in sorted(os.listdir(pkg)) if n.endswith(".deb"))
            c.fail("cpack made no %s: %s" % (deb_name, made))
            return c.summary()
        c.ok("cpack made %s" % deb_name)

        def field(name):
            return run(["dpkg-deb", "-f", deb, name], stderr=subprocess.DEVNULL)[1].rstrip("\n")

        for name, want in (("Package", "platformer"), ("Version", a.version), ("Architecture", arch),
                           ("Section", "games")):
            c.check("control field %s is %s" % (name, want), field(name) == want)
        c.check('control field Maintainer is "Name <address>"',
                re.fullmatch(r"[^<>\n]+ <[^<>@ \n]+@[^<>@ \n]+\.[a-z]+>", field("Maintainer")) is not None)
        c.check("control field Description has a summary", field("Description").split("\n")[0].strip() != "")
        depends = field("Depends")
        print("    Depends: %s" % depends)

        # Every file of the package lies under /usr.
        listing = run(["dpkg-deb", "-c", deb], stderr=subprocess.DEVNULL)[1]
        names = [line.split(None, 5)[5].split(" -> ")[0] for line in listing.splitlines() if line.strip()]
        c.check("the package installs only under /usr",
                bool(names) and all(n == "./" or n.startswith("./usr/") for n in names))

        _, lint = run(["lintian", deb])
        c.check("lintian finds no error and no warning", not re.search(r"^[EW]: ", lint, re.M))
        for line in lint.splitlines():
            if re.match(r"[EWI]: ", line):
                print("    lintian: %s" % line)

        root = self.path("root")
        subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
        game = os.path.join(root, "usr", a.bindir, "platformer")

        # The Allegro libraries the packaged game really links must all be in Depends, by the
        # name of the Debian package that holds them here.
        dynamic = run(["readelf", "-d", game])[1]
        needed = re.findall(r"Shared library: \[(.*)\]", dynamic)
        c.check("the game links Allegro", any(lib.startswith("liballegro") for lib in needed))
        cache = run([_ldconfig(), "-p"])[1]
        owners = {}
        for lib in needed:
            if not lib.startswith("liballegro"):
                continue
            path = next((line.split()[-1] for line in cache.splitlines()[1:]
                         if line.split() and line.split()[0] == lib), "")
            owner = ""
            if path:
                found = run(["dpkg", "-S", os.path.realpath(path)], stderr=subprocess.DEVNULL)[1]
                owner = found.split("\n")[0].split(":")[0] if found else ""
            if not owner:
                c.fail("no Debian package here holds %s" % lib)
                continue
            owners.setdefault(owner, []).append(lib)

        def depends_on(package):
            return re.search(r"(^|, )%s( |,|$)" % re.escape(package), depends) is not None

        for owner, libs in owners.items():
            c.check("Depends names %s (for %s)" % (owner, " ".join(libs)), depends_on(owner))
        c.check("Depends names libc6", depends_on("libc6"))

        self.check_layout("package", os.path.join(root, "usr"), "/usr")

        # Built with dpkg-buildflags' hardening: relocations read-only and bound at start,
        # stack protector.
        c.check("the game is built with read-only relocations", "GNU_RELRO" in run(["readelf", "-lW", game])[1])
        c.check("the game is built with BIND_NOW",
                re.search(r"BIND_NOW|FLAGS.*NOW", run(["readelf", "-dW", game])[1]) is not None)
        c.check("the game is built with the stack protector",
                "__stack_chk_fail" in run(["readelf", "--dyn-syms", "-W", game])[1])

        self.check_command_line("package", game)

        # --- A user's own prefix, with a space in it ---
        prefix = self.path("home dir", ".local")
        manifest = []
        status, out = run([a.cmake, "--install", a.build, "--prefix", prefix])
        if status == 0:
            c.ok("cmake --install --prefix")
            manifest = [line for line in _read(os.path.join(a.build, "install_manifest.txt")).splitlines()
                        if prefix + "/" in line]
            self.check_layout("prefix", prefix, prefix)
            self.check_command_line("prefix", os.path.join(prefix, a.bindir, "platformer"))
        else:
            indent("install", out, last=20)
            c.fail("cmake --install --prefix")

        # --- Starting it as the menu would, under the harness's X server ---
        from harness import XServer
        server = XServer(800, 700, log_dir=self.scratch)
        try:
            server.start()
            self.xserver = server
            print("install_test: Xvfb on %s (pid %d)" % (server.name, server.pid), flush=True)
        except RuntimeError as why:
            c.fail("no X display could be started (%s)" % why)
        try:
            if self.xserver:
                self.launch_from_entry("package", os.path.join(root, "usr/share/applications", a.app_id + ".desktop"),
                                       root)
                prefix_entry = os.path.join(prefix, "share/applications", a.app_id + ".desktop")
                if os.path.isfile(prefix_entry):
                    self.launch_from_entry("prefix", prefix_entry, "")

            # Uninstalling the user's copy, as the README says, leaves none of its files behind.
            if manifest:
                for path in manifest:
                    try:
                        os.remove(path)
                    except FileNotFoundError:
                        pass
                left = [os.path.join(d, f) for d, _, files in os.walk(prefix) for f in files]
                left += [os.path.join(d, s) for d, subdirs, _ in os.walk(prefix) for s in subdirs
                         if os.path.islink(os.path.join(d, s))]
                c.check("removing the files of install_manifest.txt uninstalls the prefix", not left)

            if os.environ.get("PLATFORMER_TEST_DPKG") == "1":
                self.system_install(deb, deb_name)
        finally:
            server.stop()
        return c.summary()

    def system_install(self, deb, deb_name):
        a, c = self.a, self.c
        if os.geteuid() != 0:
            c.fail("PLATFORMER_TEST_DPKG=1 needs root")
            return
        state = run(["dpkg-query", "-W", "-f=${Status}", "platformer"], stderr=subprocess.DEVNULL)[1]
        self.apt_installed = "install ok installed" not in state
        env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        status, out = run(["apt-get", "install", "-y", "-q", deb], env=env)
        if status != 0:
            indent("apt", out, last=20)
            c.fail("apt-get install ./%s" % deb_name)
            return
        c.ok("apt-get install ./%s" % deb_name)
        files = run(["dpkg", "-L", "platformer"])[1].splitlines()
        c.check("dpkg lists the installed menu entry", "/usr/share/applications/%s.desktop" % a.app_id in files)
        # A terminal finds it by name: /usr/games is on every user's PATH on Debian.
        login = dict(os.environ, PATH="/usr/local/bin:/usr/bin:/bin:/usr/local/games:/usr/games")
        version = run(["platformer", "--version"], cwd="/", env=login, stderr=subprocess.DEVNULL)[1]
        c.check("platformer --version from a login PATH", version.rstrip("\n") == "platformer %s" % a.version)
        if self.xserver:
            self.launch_from_entry("system", "/usr/share/applications/%s.desktop" % a.app_id, "")

    def cleanup(self):
        if self.apt_installed:
            env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
            status, out = run(["apt-get", "purge", "-y", "-q", "platformer"], env=env)
            if status != 0:
                print("install_test: could not remove the platformer package again", file=sys.stderr)


def _same_file(a, b):
    try:
        with open(a, "rb") as x, open(b, "rb") as y:
            return x.read() == y.read()
    except OSError:
        return False


def _read(path):
    try:
        with open(path, "rb") as f:
            return f.read().decode("utf-8", "replace")
    except OSError:
        return ""


def _text(data):
    return data.decode("utf-8", "replace") if data else ""


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
