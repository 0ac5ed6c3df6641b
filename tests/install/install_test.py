"""The installed game, as a player gets it: the Debian package (its fields, lintian, Depends,
hardening), the files of each installed game (the package and a prefix with a space), its
command line without a display, its start from the menu entry in an unrelated folder under
the harness's X server (the sky shown, Escape ends it with status 0), and the uninstall the
README gives. A game that cannot find its data folder fails to load its pictures.

  python3 -m pytest install_test.py --build DIR --source DIR --game-version X.Y.Z --bindir DIR
                    --datadir DIR --app-id ID [--cmake CMAKE] [--cpack CPACK]

PLATFORMER_TEST_DPKG=1 (as root) also installs the package with apt-get and removes it
afterwards if it was not installed before. PLATFORMER_TEST_DISPLAYS="81 82" limits the X
display numbers tried.
"""
import filecmp
import os
import re
import subprocess

import pytest

from conftest import LDCONFIG, install_into, output, run
from harness import Game, poll, rules

SKY_PIXELS = 10000
APT_ENV = dict(os.environ, DEBIAN_FRONTEND="noninteractive")


def desktop_entry(path):
    """key -> value of the [Desktop Entry] group (not a localised key, not another group);
    a missing key reads as ""."""
    values, group = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f.read().splitlines():
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


def launch_from_entry(entry_path, root, folder, xserver):
    """Starts the game as the menu would from the entry (its paths under root, "" for the real
    system), in a folder of its own that holds no pictures; the window must show the sky and
    Escape must end the game with status 0."""
    os.makedirs(folder, exist_ok=True)
    entry = desktop_entry(entry_path)
    argv = split_exec(entry("Exec"))
    assert argv, "Exec is empty"
    prog = argv[0]
    if prog.startswith("/"):
        prog = root + prog
    else:
        # Looked up on PATH, as the menu does; in a scratch root, on PATH inside that root.
        prog = next((root + d + "/" + prog for d in os.environ.get("PATH", "").split(":")
                     if os.access(root + d + "/" + prog, os.X_OK)), prog)
    assert os.path.isfile(prog) and os.access(prog, os.X_OK), "Exec (%s) does not exist" % prog

    with Game(prog, folder, xserver, args=argv[1:]) as game:
        window = game.window(timeout=20, wm_class=entry("StartupWMClass") or "platformer")
        poll(10, window.screenshot, lambda shot: None if shot.count(".") > SKY_PIXELS else
             "only %d sky-blue pixels in the window" % shot.count("."), game)
        window.focus()
        window.key("Escape")
        status = game.wait(10)
        assert status == 0, "Escape did not end the game with status 0 (%s): %s" % (status, game.stderr()[-2000:])


# --- The package ---------------------------------------------------------------------------

def test_package_fields_contents_and_lintian(config, deb):
    def field(name):
        return output(["dpkg-deb", "-f", deb.path, name]).rstrip("\n")

    for name, want in (("Package", "platformer"), ("Version", config.game_version), ("Architecture", deb.arch),
                       ("Section", "games")):
        assert field(name) == want, name
    assert re.fullmatch(r"[^<>\n]+ <[^<>@ \n]+@[^<>@ \n]+\.[a-z]+>", field("Maintainer")), field("Maintainer")
    assert field("Description").split("\n")[0].strip(), "the Description has no summary"
    names = [line.split(None, 5)[5].split(" -> ")[0] for line in output(["dpkg-deb", "-c", deb.path]).splitlines()
             if line.strip()]
    assert names and all(n == "./" or n.startswith("./usr/") for n in names), "files outside /usr: %s" % names
    lint = run(["lintian", deb.path])[1]
    assert not re.search(r"^[EW]: ", lint, re.M), lint


def test_package_depends_on_what_the_game_links_and_is_hardened(config, deb, package_root):
    game = os.path.join(package_root, "usr", config.bindir, "platformer")
    depends = output(["dpkg-deb", "-f", deb.path, "Depends"])
    needed = re.findall(r"Shared library: \[(.*)\]", run(["readelf", "-d", game])[1])
    allegro = [lib for lib in needed if lib.startswith("liballegro")]
    assert allegro, "the game links no Allegro: %s" % needed
    # Each Allegro library the game really links must be in Depends, by the Debian package
    # that holds it here.
    cache = [line.split() for line in run([LDCONFIG, "-p"])[1].splitlines()[1:]]
    for lib in allegro:
        path = next((words[-1] for words in cache if words and words[0] == lib), "")
        owner = output(["dpkg", "-S", os.path.realpath(path)]).split("\n")[0].split(":")[0] if path else ""
        assert owner, "no Debian package here holds %s" % lib
        assert re.search(r"(^|, )%s( |,|$)" % re.escape(owner), depends), "Depends lacks %s (for %s): %s" % (
            owner, lib, depends)
    assert re.search(r"(^|, )libc6( |,|$)", depends), depends
    # dpkg-buildflags' hardening: relocations read-only and bound at start, stack protector.
    assert "GNU_RELRO" in run(["readelf", "-lW", game])[1]
    assert re.search(r"BIND_NOW|FLAGS.*NOW", run(["readelf", "-dW", game])[1])
    assert "__stack_chk_fail" in run(["readelf", "--dyn-syms", "-W", game])[1]


# --- Each installed game -------------------------------------------------------------------

def test_installed_files(config, installed):
    from PIL import Image
    bindir, datadir = os.path.join(installed.prefix, config.bindir), os.path.join(installed.prefix, config.datadir)
    assert sorted(os.listdir(bindir)) == ["platformer"], "%s/ holds more than the game" % config.bindir
    data = os.path.join(config.source, "data")
    for name in sorted(os.listdir(data)):
        if name.endswith(".png") or name == rules.LEVEL_FILE:
            assert filecmp.cmp(os.path.join(data, name), os.path.join(datadir, name), shallow=False), name
    for name in rules.PICTURES:
        assert os.path.isfile(os.path.join(datadir, name)), name
    for f in ("man/man6/platformer.6.gz", "doc/platformer/README.md", "doc/platformer/copyright",
              "doc/platformer/changelog.gz"):
        assert os.path.getsize(os.path.join(installed.prefix, "share", f)) > 0, f
    for n in (16, 32, 48, 64, 128, 256):
        with Image.open(os.path.join(installed.prefix, "share/icons/hicolor/%dx%d/apps/%s.png" % (
                n, n, config.app_id))) as icon:
            icon.load()  # the whole picture decodes, not just its header
            assert (icon.format, icon.size) == ("PNG", (n, n))


def test_menu_entry_and_metainfo(config, installed):
    metainfo = os.path.join(installed.prefix, "share/metainfo", config.app_id + ".metainfo.xml")
    status, out = run(["appstreamcli", "validate", "--no-net", metainfo])
    assert status == 0, out
    with open(metainfo, encoding="utf-8") as f:
        assert '<launchable type="desktop-id">%s.desktop<' % config.app_id in f.read()
    assert run(["desktop-file-validate", installed.entry]) == (0, "")
    entry = desktop_entry(installed.entry)
    assert entry("Path") == ""
    assert split_exec(entry("Exec")) == ["%s/%s/platformer" % (installed.seen, config.bindir)]
    assert entry("Terminal") == "false"
    assert entry("Categories") == "Game;ArcadeGame;"
    assert entry("Icon") == config.app_id


def test_command_line_needs_no_display(config, installed, scratch):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}

    def play(*args):
        done = subprocess.run([installed.game, *args], cwd=scratch, env=env, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=20)
        return done.returncode, done.stdout.decode(), done.stderr.decode()

    status, out, err = play("--help")
    assert (status, err) == (0, "") and out.startswith("Usage: platformer ")
    assert play("--version") == (0, "platformer %s\n" % config.game_version, "")
    status, out, err = play("--fly")
    assert (status, out, err.split("\n")[0]) == (2, "", 'platformer: unknown argument "--fly"')
    status, out, err = play()
    assert status != 0 and len(err.splitlines()) == 1 and err.endswith("\n"), (status, err)


def test_menu_entry_starts_the_game_anywhere(installed, scratch, xserver):
    launch_from_entry(installed.entry, installed.root, os.path.join(scratch, "somewhere else", installed.label),
                      xserver)


def test_removing_the_manifest_uninstalls_a_prefix(config, scratch):
    prefix = os.path.join(scratch, "to remove", ".local")
    install_into(config, prefix)
    with open(os.path.join(config.build, "install_manifest.txt")) as f:
        for path in f.read().splitlines():
            if path.startswith(prefix + "/") and os.path.lexists(path):
                os.remove(path)
    left = [os.path.join(d, name) for d, subdirs, files in os.walk(prefix)
            for name in files + [s for s in subdirs if os.path.islink(os.path.join(d, s))]]
    assert not left


@pytest.mark.skipif(os.environ.get("PLATFORMER_TEST_DPKG") != "1", reason="PLATFORMER_TEST_DPKG=1 installs it")
def test_system_install(config, deb, scratch, xserver):
    assert os.geteuid() == 0, "PLATFORMER_TEST_DPKG=1 needs root"
    was_installed = "install ok installed" in output(["dpkg-query", "-W", "-f=${Status}", "platformer"])
    try:
        status, out = run(["apt-get", "install", "-y", "-q", deb.path], env=APT_ENV)
        assert status == 0, out[-3000:]
        assert "/usr/share/applications/%s.desktop" % config.app_id in output(["dpkg", "-L", "platformer"]).split()
        # A terminal finds it by name: /usr/games is on every user's PATH on Debian.
        login = dict(os.environ, PATH="/usr/local/bin:/usr/bin:/bin:/usr/local/games:/usr/games")
        assert output(["platformer", "--version"], cwd="/", env=login) == "platformer %s\n" % config.game_version
        launch_from_entry("/usr/share/applications/%s.desktop" % config.app_id, "",
                          os.path.join(scratch, "somewhere else", "system"), xserver)
    finally:
        if not was_installed:
            run(["apt-get", "purge", "-y", "-q", "platformer"], env=APT_ENV)
