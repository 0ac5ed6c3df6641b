#!/usr/bin/env bash
# Builds the Debian package from a configured, built tree, checks it with lintian, installs it
# (into a scratch root, into a prefix with a space in it, and -- where allowed -- for real with
# apt) and starts the game each time exactly as the menu entry says, with its Exec, from a
# folder that has nothing to do with the game, under a private Xvfb. The window must come up
# showing the sky, and Escape must end the game with status 0; a game that cannot find its
# data folder fails to load its pictures. The installed game also answers --help, --version,
# a wrong argument and a missing display without a window.
#
#   install_test.sh --build DIR --source DIR --version X.Y.Z --bindir DIR --datadir DIR
#                   --app-id ID [--cmake CMAKE] [--cpack CPACK]
#
# --bindir and --datadir are the configured install folders, relative to the prefix.
#
# PLATFORMER_TEST_DPKG=1 (as root) also installs the package with apt-get and removes it
# afterwards if it was not installed before. PLATFORMER_TEST_DISPLAYS="81 82" limits the X
# display numbers tried (default 130-199). Without its tools the test is skipped (77), except
# under CI=true, where that is a failure.
set -uo pipefail

build='' source='' version='' bindir='' datadir='' app_id='' cmake_cmd=cmake cpack_cmd=cpack
while (($#)); do
    case $1 in
    --build) build=$2; shift 2 ;;
    --source) source=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    --bindir) bindir=$2; shift 2 ;;
    --datadir) datadir=$2; shift 2 ;;
    --app-id) app_id=$2; shift 2 ;;
    --cmake) cmake_cmd=$2; shift 2 ;;
    --cpack) cpack_cmd=$2; shift 2 ;;
    *) echo "install_test: unknown argument $1" >&2; exit 2 ;;
    esac
done
[[ -n $build && -n $source && -n $version && -n $bindir && -n $datadir && -n $app_id ]] ||
    { echo "install_test: need --build, --source, --version, --bindir, --datadir and --app-id" >&2; exit 2; }

passed=0 failed=0
ok() { echo "ok   - $*"; passed=$((passed + 1)); }
fail() { echo "FAIL - $*"; failed=$((failed + 1)); }
check() { # check "what" command...
    local what=$1; shift
    if "$@"; then ok "$what"; else fail "$what"; fi
}

missing=()
for tool in "$cmake_cmd" "$cpack_cmd" dpkg dpkg-deb dpkg-shlibdeps desktop-file-validate lintian appstreamcli Xvfb xdotool xwd convert file readelf; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if ((${#missing[@]})); then
    echo "install_test: missing tools: ${missing[*]}"
    [[ ${CI:-} == true ]] && exit 1
    exit 77
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/platformer-install.XXXXXX")
xvfb_pid='' game_pid='' apt_installed=0
cleanup() {
    [[ -n $game_pid ]] && kill "$game_pid" 2>/dev/null
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    if ((apt_installed)); then
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -q platformer >"$scratch/apt-purge.log" 2>&1 ||
            echo "install_test: could not remove the platformer package again" >&2
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

# --- Reading a menu entry -----------------------------------------------------------------

# The value of KEY in the [Desktop Entry] group (not a localised one, not another group).
entry_value() { # entry_value FILE KEY
    awk -v key="$2" '
        /^\[/ { group = $0; next }
        group == "[Desktop Entry]" {
            line = $0
            if (match(line, "^" key "[ \t]*=[ \t]*")) { print substr(line, RLENGTH + 1); exit }
        }' "$1"
}

# Undoes the escapes of a desktop string value (\s \n \t \r \\).
unescape_string() {
    local in=$1 out='' i c
    for ((i = 0; i < ${#in}; i++)); do
        c=${in:i:1}
        if [[ $c == "\\" ]] && ((i + 1 < ${#in})); then
            i=$((i + 1))
            case ${in:i:1} in
            s) out+=' ' ;; n) out+=$'\n' ;; t) out+=$'\t' ;; r) out+=$'\r' ;;
            *) out+=${in:i:1} ;;
            esac
        else
            out+=$c
        fi
    done
    printf '%s' "$out"
}

# Splits an Exec value into the argv a menu would run: double quotes group, a backslash in
# quotes escapes " ` $ \, %% is a percent sign and other field codes (%f, %U ...) drop out.
# The result is left in the array exec_argv.
split_exec() {
    local in arg='' have=0 quoted=0 i c
    in=$(unescape_string "$1")
    exec_argv=()
    for ((i = 0; i < ${#in}; i++)); do
        c=${in:i:1}
        if [[ $c == % ]]; then
            i=$((i + 1))
            [[ ${in:i:1} == % ]] && { arg+=%; have=1; }
        elif ((quoted)); then
            if [[ $c == "\\" ]] && [[ ${in:i+1:1} == [\"\`\$\\] ]]; then
                i=$((i + 1)); arg+=${in:i:1}
            elif [[ $c == '"' ]]; then
                quoted=0
            else
                arg+=$c
            fi
        elif [[ $c == ' ' ]]; then
            ((have)) && exec_argv+=("$arg")
            arg='' have=0
        elif [[ $c == '"' ]]; then
            quoted=1 have=1
        else
            arg+=$c have=1
        fi
    done
    ((have)) && exec_argv+=("$arg")
}

# --- A private X server -------------------------------------------------------------------

start_xvfb() {
    local n candidates ready
    if [[ -n ${PLATFORMER_TEST_DISPLAYS:-} ]]; then
        read -r -a candidates <<<"$PLATFORMER_TEST_DISPLAYS"
    else
        mapfile -t candidates < <(seq 130 199)
    fi
    for n in "${candidates[@]}"; do
        [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
        # With -displayfd the server writes its number only once it owns the display and
        # takes clients, so someone else's server on the same number is never taken for ours.
        ready=$scratch/xvfb-$n.ready
        Xvfb ":$n" -screen 0 800x700x24 -nolisten tcp -displayfd 3 3>"$ready" >"$scratch/xvfb-$n.log" 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 100); do
            if ! kill -0 "$xvfb_pid" 2>/dev/null || [[ -s $ready ]]; then break; fi
            sleep 0.1
        done
        if kill -0 "$xvfb_pid" 2>/dev/null && [[ -s $ready ]]; then
            export DISPLAY=":$n"
            echo "install_test: Xvfb on :$n (pid $xvfb_pid)"
            return 0
        fi
        # Lost the number to someone else, or the server is stuck: try the next one.
        kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=''
    done
    return 1
}

sky_pixels() { # how many pixels of the screen show the game's sky colour
    xwd -root -silent 2>/dev/null | convert xwd:- -format %c histogram:info:- 2>/dev/null |
        awk '/\(70,200,255\)/ { sub(":", "", $1); n += $1 } END { print n + 0 }'
}

# Starts the game as the menu would from ENTRY (paths mapped into ROOT, "" for the real
# system), in a folder of its own that holds no pictures, and checks the window, the picture
# and the exit on Escape. LABEL names the case.
launch_from_entry() { # launch_from_entry LABEL ENTRY ROOT
    local label=$1 entry=$2 root=$3 dir prog wmclass wid='' sky=0 status i d
    dir="$scratch/somewhere else/$label"
    mkdir -p "$dir"
    split_exec "$(entry_value "$entry" Exec)"
    wmclass=$(entry_value "$entry" StartupWMClass)
    if ((${#exec_argv[@]} == 0)); then
        fail "$label: Exec is empty"; return
    fi
    prog=${exec_argv[0]}
    if [[ $prog != /* ]]; then
        # Looked up on PATH, as the menu does; in a scratch root, on PATH inside that root.
        local IFS=:
        for d in $PATH; do
            [[ -x $root$d/$prog ]] && { prog=$root$d/$prog; break; }
        done
        unset IFS
    else
        prog=$root$prog
    fi
    if [[ ! -x $prog ]]; then
        fail "$label: Exec ($prog) does not exist"; return
    fi

    (cd "$dir" && exec "$prog" "${exec_argv[@]:1}") >"$scratch/game-$label.log" 2>&1 &
    game_pid=$!
    wid=$(timeout 20 xdotool search --sync --onlyvisible --class "^${wmclass:-platformer}\$" 2>/dev/null | head -n 1)
    if [[ -z $wid ]]; then
        fail "$label: no window of class ${wmclass:-platformer} appeared"
        sed 's/^/    game: /' "$scratch/game-$label.log" | tail -n 5
        kill "$game_pid" 2>/dev/null; wait "$game_pid" 2>/dev/null; game_pid=
        return
    fi
    ok "$label: the window appeared"

    for ((i = 0; i < 50; i++)); do
        sky=$(sky_pixels)
        ((sky > 10000)) && break
        sleep 0.2
    done
    check "$label: the window shows the sky ($sky sky-blue pixels)" test "$sky" -gt 10000

    xdotool windowfocus --sync "$wid" key Escape 2>/dev/null
    for ((i = 0; i < 100; i++)); do
        kill -0 "$game_pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$game_pid" 2>/dev/null; then
        fail "$label: the game was still running 10 s after Escape"
        kill "$game_pid" 2>/dev/null
    fi
    wait "$game_pid"
    status=$?
    game_pid=
    if ((status == 0)); then
        ok "$label: Escape ended the game with status 0"
    else
        fail "$label: the game ended with status $status"
        sed 's/^/    game: /' "$scratch/game-$label.log" | grep -v '^    game: [0-9.]*$' | tail -n 5
    fi
}

# Checks of an installed tree under PREFIX (as the files lie on disk) whose entry should
# point at WANT_PREFIX (what the menu will see).
check_layout() { # check_layout LABEL PREFIX WANT_PREFIX
    local label=$1 prefix=$2 want=$3 entry metainfo n f
    entry=$prefix/share/applications/$app_id.desktop
    metainfo=$prefix/share/metainfo/$app_id.metainfo.xml

    check "$label: $bindir/ holds only the game" test "$(ls -A "$prefix/$bindir" 2>/dev/null)" = platformer
    for f in "$source"/data/*.png "$source"/data/LoadLevel.txt; do
        [[ -e $f ]] || continue
        check "$label: $datadir/${f##*/} installed" cmp -s "$f" "$prefix/$datadir/${f##*/}"
    done
    for f in Background.png Blocks.png Quillorn.png; do
        check "$label: the game's picture $f is there" test -f "$prefix/$datadir/$f"
    done
    for f in man/man6/platformer.6.gz doc/platformer/README.md doc/platformer/copyright doc/platformer/changelog.gz; do
        check "$label: share/$f installed" test -s "$prefix/share/$f"
    done
    for n in 16 32 48 64 128 256; do
        f=$prefix/share/icons/hicolor/${n}x${n}/apps/$app_id.png
        check "$label: ${n}x${n} icon" grep -q "PNG image data, $n x $n," <(file -b "$f" 2>&1)
    done
    if appstreamcli validate --no-net "$metainfo" >"$scratch/appstream.log" 2>&1; then
        ok "$label: appstreamcli validate accepts the metainfo"
    else
        fail "$label: appstreamcli validate: $(grep -v '^$' "$scratch/appstream.log" | tr '\n' ' ')"
    fi
    if [[ ! -f $entry ]]; then
        fail "$label: no menu entry at $entry"; return
    fi
    if desktop-file-validate "$entry" >"$scratch/validate.log" 2>&1 && [[ ! -s $scratch/validate.log ]]; then
        ok "$label: desktop-file-validate accepts the entry"
    else
        fail "$label: desktop-file-validate: $(tr '\n' ' ' <"$scratch/validate.log")"
    fi
    check "$label: the entry needs no Path" test -z "$(entry_value "$entry" Path)"
    split_exec "$(entry_value "$entry" Exec)"
    check "$label: Exec runs $want/$bindir/platformer" test "${exec_argv[*]}" = "$want/$bindir/platformer"
    check "$label: the entry is not a terminal program" test "$(entry_value "$entry" Terminal)" = false
    check "$label: the entry is in Game;ArcadeGame;" test "$(entry_value "$entry" Categories)" = "Game;ArcadeGame;"
    check "$label: the entry's icon is $app_id" test "$(entry_value "$entry" Icon)" = "$app_id"
    check "$label: the metainfo launches the entry" grep -q "<launchable type=\"desktop-id\">$app_id.desktop<" "$metainfo"
}

# The command line of the game at PROG, with no display at all: none of it may need one.
check_command_line() { # check_command_line LABEL PROG
    local label=$1 prog=$2 status out=$scratch/out err=$scratch/err
    (cd "$scratch" && exec env -u DISPLAY -u WAYLAND_DISPLAY "$prog" --help) >"$out" 2>"$err"
    status=$?
    check "$label: --help prints the usage and ends with 0 ($status)" \
        test "$status" = 0 -a "$(head -c 18 "$out")" = "Usage: platformer " -a ! -s "$err"
    (cd "$scratch" && exec env -u DISPLAY -u WAYLAND_DISPLAY "$prog" --version) >"$out" 2>"$err"
    status=$?
    check "$label: --version prints \"platformer $version\" and ends with 0 ($status)" \
        test "$status" = 0 -a "$(cat "$out")" = "platformer $version" -a ! -s "$err"
    (cd "$scratch" && exec env -u DISPLAY -u WAYLAND_DISPLAY "$prog" --fly) >"$out" 2>"$err"
    status=$?
    check "$label: an unknown argument is named and ends with 2 ($status)" \
        test "$status" = 2 -a ! -s "$out" -a "$(head -n 1 "$err")" = 'platformer: unknown argument "--fly"'
    (cd "$scratch" && exec env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$prog") >"$out" 2>"$err"
    status=$?
    check "$label: without a display it ends with 255 and one line on stderr ($status, $(wc -l <"$err") lines)" \
        test "$status" = 255 -a "$(wc -l <"$err")" = 1
    sed 's/^/    stderr: /' "$err"
}

# --- The package --------------------------------------------------------------------------

arch=$(dpkg --print-architecture)
deb=$scratch/pkg/platformer_${version}_${arch}.deb
if ! "$cpack_cmd" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1; then
    sed 's/^/    cpack: /' "$scratch/cpack.log" | tail -n 20
    fail "cpack -G DEB"
    echo "install_test: $passed passed, $failed failed"
    exit 1
fi
if [[ ! -f $deb ]]; then
    fail "cpack made no ${deb##*/}: $(find "$scratch/pkg" -maxdepth 1 -name '*.deb' -printf '%f ')"
    echo "install_test: $passed passed, $failed failed"
    exit 1
fi
ok "cpack made ${deb##*/}"

field() { dpkg-deb -f "$deb" "$1"; }
while read -r name want; do
    check "control field $name is $want" test "$(field "$name")" = "$want"
done <<EOF
Package platformer
Version $version
Architecture $arch
Section games
EOF
check "control field Maintainer is \"Name <address>\"" grep -qE '^[^<>]+ <[^<>@ ]+@[^<>@ ]+\.[a-z]+>$' <<<"$(field Maintainer)"
check "control field Description has a summary" test -n "$(field Description | head -n 1)"
depends=$(field Depends)
echo "    Depends: $depends"

# Every file of the package lies under /usr.
check "the package installs only under /usr" \
    test -z "$(dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -v -e '^\./$' -e '^\./usr/')"

lintian "$deb" >"$scratch/lintian.log" 2>&1
check "lintian finds no error and no warning" test -z "$(grep -E '^[EW]: ' "$scratch/lintian.log")"
grep -E '^[EWI]: ' "$scratch/lintian.log" | sed 's/^/    lintian: /'

root=$scratch/root
dpkg-deb -x "$deb" "$root"

# The Allegro libraries the packaged game really links must all be in Depends, by the name
# of the Debian package that holds them here.
needed=$(readelf -d "$root/usr/$bindir/platformer" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p')
check "the game links Allegro" grep -q '^liballegro' <<<"$needed"
declare -A owners=()
for lib in $needed; do
    [[ $lib == liballegro* ]] || continue
    path=$(ldconfig -p | awk -v l="$lib" '$1 == l { print $NF; exit }')
    owner=$(dpkg -S "$(readlink -f "$path")" 2>/dev/null | head -n 1 | cut -d: -f1)
    if [[ -z $owner ]]; then
        fail "no Debian package here holds $lib"
        continue
    fi
    owners[$owner]+=" $lib"
done
for owner in "${!owners[@]}"; do
    check "Depends names $owner (for${owners[$owner]})" grep -qE "(^|, )$owner( |,|$)" <<<"$depends"
done
check "Depends names libc6" grep -qE '(^|, )libc6( |,|$)' <<<"$depends"

check_layout package "$root/usr" /usr

# Built with dpkg-buildflags' hardening: relocations read-only and bound at start, stack protector.
check "the game is built with read-only relocations" grep -q 'GNU_RELRO' <(readelf -lW "$root/usr/$bindir/platformer")
check "the game is built with BIND_NOW" grep -qE 'BIND_NOW|FLAGS.*NOW' <(readelf -dW "$root/usr/$bindir/platformer")
check "the game is built with the stack protector" grep -q __stack_chk_fail <(readelf --dyn-syms -W "$root/usr/$bindir/platformer")

check_command_line package "$root/usr/$bindir/platformer"

# --- A user's own prefix, with a space in it ------------------------------------------------

prefix="$scratch/home dir/.local"
if "$cmake_cmd" --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1; then
    ok "cmake --install --prefix"
    grep -F "$prefix/" "$build/install_manifest.txt" >"$scratch/manifest"
    check_layout prefix "$prefix" "$prefix"
    check_command_line prefix "$prefix/$bindir/platformer"
else
    sed 's/^/    install: /' "$scratch/install.log" | tail -n 20
    fail "cmake --install --prefix"
fi

# --- Starting it as the menu would --------------------------------------------------------

if start_xvfb; then
    launch_from_entry package "$root/usr/share/applications/$app_id.desktop" "$root"
    [[ -f $prefix/share/applications/$app_id.desktop ]] &&
        launch_from_entry prefix "$prefix/share/applications/$app_id.desktop" ""
else
    fail "no X display could be started"
fi

# Uninstalling the user's copy, as the README says, leaves none of its files behind.
if [[ -s $scratch/manifest ]]; then
    xargs -d '\n' rm -f -- <"$scratch/manifest"
    check "removing the files of install_manifest.txt uninstalls the prefix" \
        test -z "$(find "$prefix" ! -type d -print -quit)"
fi

if [[ ${PLATFORMER_TEST_DPKG:-} == 1 ]]; then
    if ((EUID != 0)); then
        fail "PLATFORMER_TEST_DPKG=1 needs root"
    else
        dpkg-query -W -f='${Status}' platformer 2>/dev/null | grep -q 'install ok installed' || apt_installed=1
        if DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb" >"$scratch/apt.log" 2>&1; then
            ok "apt-get install ./${deb##*/}"
            check "dpkg lists the installed menu entry" grep -qx "/usr/share/applications/$app_id.desktop" <(dpkg -L platformer)
            # A terminal finds it by name: /usr/games is on every user's PATH on Debian.
            check "platformer --version from a login PATH" test "$(cd / && env PATH=/usr/local/bin:/usr/bin:/bin:/usr/local/games:/usr/games platformer --version)" = "platformer $version"
            [[ -n $xvfb_pid ]] && launch_from_entry system "/usr/share/applications/$app_id.desktop" ""
        else
            sed 's/^/    apt: /' "$scratch/apt.log" | tail -n 20
            fail "apt-get install ./${deb##*/}"
        fi
    fi
fi

echo "install_test: $passed passed, $failed failed"
((failed == 0))
