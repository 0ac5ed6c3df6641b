#!/usr/bin/env bash
# End-to-end test: starts the real game under a private X server, plays it with xdotool and
# checks the screenshots, the exit status and the output, as a player (or a shell) sees them.
#
#   game_e2e.sh PLATFORMER DATA_DIR [SCREENSHOT_DIR]
#
#   PLATFORMER      the built game
#   DATA_DIR        the folder holding Background.png, Blocks.png and Quillorn.png
#   SCREENSHOT_DIR  where each check leaves its last screenshot (default ./e2e-screenshots)
#
# Needs Xvfb, xdotool, xwd and ImageMagick's convert (scripts/test installs them).
# Window coordinates below are pixels of the 600x600 window, (0,0) at its top-left.
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 PLATFORMER DATA_DIR [SCREENSHOT_DIR]" >&2
    exit 2
fi
GAME="$(readlink -f "$1")"
DATA="$(readlink -f "$2")"
SHOTS="${3:-$PWD/e2e-screenshots}"
HERE="$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")"
PICTURES=(Background.png Blocks.png Quillorn.png)

# --- What the player should see -------------------------------------------------------
# The figure starts at world (352,18) and falls onto the floor line: its top-left ends at
# world (352,581). The camera keeps the point (x+9, y+8) mid-window, so the view's top-left
# is world (61,289), the figure is drawn at window (291,292) and the ruled lines (world
# y = 0, 15, 30, ...) at window rows 15k-289: 11, 26, 41, ..., 596.
REST_X=291
REST_Y=292
CAMERA_Y=289
FIG_W=16
FIG_H=19
BLOCK=24
# Down places its two blocks 9 left of and 8 above the pointer, wherever the view is:
# window (x-9, y-8) and (x+15, y-8).
POINTER_X=200
POINTER_Y=150
# The level's records and where their blocks land on screen with the view at (61,289):
#   0,240,500 -> world (240,500) -> window (179,211)
#   7,400,380 -> x snapped down to the 24-pixel grid: world (384,380) -> window (323,91)
#   3,200,576 -> world (192,576), standing on the floor -> window (131,287): a wall that
#                stops the figure when it walks left (see check_walk_left)
# The last two sit just below the start point, off screen while the figure is on the floor:
# after R the figure must come down on them, which shows that R put it back at (352,18).
#   1,340,200 and 2,370,200 -> world (336,200) and (360,200)
LEVEL=$'0,240,500\n7,400,380\n3,200,576\n1,340,200\n2,370,200\n'

# --- Plumbing ----------------------------------------------------------------------------
WORK=""
XVFB_PID=""
GAME_PID=""
LONE=""
MAP=""
WIN=""
WIN_X=0
WIN_Y=0
PASSED=0
FAILED=0
FAILURES=()

note() { printf '    %s\n' "$*"; }

cleanup() {
    stop_game
    if [ -n "$XVFB_PID" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
    fi
    if [ -n "$WORK" ] && [ -z "${E2E_KEEP_WORK:-}" ]; then
        rm -rf "$WORK"
    fi
}
trap cleanup EXIT
trap 'exit 143' TERM INT

# True while the process runs; a child that has ended but not been waited for is a zombie
# and still answers kill -0, so read its state instead.
running() {
    local state
    state="$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null)" || return 1
    [ -n "$state" ] && [ "$state" != Z ]
}

require_tools() {
    local tool missing=()
    for tool in Xvfb xdotool xwd convert awk timeout xlogo python3; do
        command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "FAIL: missing tools: ${missing[*]} (scripts/test installs them: xvfb xdotool x11-apps imagemagick python3)" >&2
        exit 1
    fi
    [ -x "$GAME" ] || { echo "FAIL: no game at $GAME" >&2; exit 1; }
    local picture
    for picture in "${PICTURES[@]}"; do
        [ -f "$DATA/$picture" ] || { echo "FAIL: $DATA has no $picture" >&2; exit 1; }
    done
}

# Starts Xvfb on the first free display of :95..:120, or of PLATFORMER_TEST_DISPLAYS.
# -displayfd makes the server write its number once it accepts clients, and only the server
# that owns the display does, so a display taken by someone else between our look and our
# start is never mistaken for ours.
start_xvfb() {
    local n ready
    for n in ${PLATFORMER_TEST_DISPLAYS:-$(seq 95 120)}; do
        [ -e "/tmp/.X$n-lock" ] && continue
        ready="$WORK/xvfb-$n.ready"
        : >"$ready"
        Xvfb ":$n" -screen 0 640x640x24 -nolisten tcp -noreset -displayfd 3 \
            3>"$ready" >"$WORK/xvfb-$n.log" 2>&1 &
        XVFB_PID=$!
        local tries=0
        while running "$XVFB_PID" && [ ! -s "$ready" ] && [ $tries -lt 400 ]; do
            sleep 0.05
            tries=$((tries + 1))
        done
        if running "$XVFB_PID" && [ -s "$ready" ]; then
            export DISPLAY=":$n"
            echo "X server: Xvfb $DISPLAY (pid $XVFB_PID)"
            return 0
        fi
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    done
    echo "FAIL: could not start Xvfb on any display of: ${PLATFORMER_TEST_DISPLAYS:-95 to 120}" >&2
    exit 1
}

# A fresh folder holding copies of the game's pictures, as a player's folder would.
game_folder() {
    local dir
    dir="$(mktemp -d "$WORK/$1.XXXXXX")"
    cp "${PICTURES[@]/#/$DATA/}" "$dir/"
    printf '%s\n' "$dir"
}

# Starts the game in folder $1 with its output in $1/stdout and $1/stderr.
start_game() {
    GAME_DIR="$1"
    (cd "$GAME_DIR" && exec "$GAME") >"$GAME_DIR/stdout" 2>"$GAME_DIR/stderr" &
    GAME_PID=$!
}

stop_game() {
    if [ -n "$GAME_PID" ]; then
        kill "$GAME_PID" 2>/dev/null || true
        wait "$GAME_PID" 2>/dev/null || true
        GAME_PID=""
    fi
}

# Waits up to $2 seconds for the game to end; sets EXIT_STATUS.
wait_for_exit() {
    local deadline=$((SECONDS + $2))
    while running "$1"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.1
    done
    EXIT_STATUS=0
    wait "$1" || EXIT_STATUS=$?
    GAME_PID=""
}

game_ended_note() {
    local status=0
    wait "$GAME_PID" || status=$?
    GAME_PID=""
    echo "the game ended on its own with status $status; its stderr:"
    sed 's/^/      /' "$GAME_DIR/stderr"
}

# Waits for the game's window; the X server is ours alone, so it is the one visible
# top-level window besides the root. Sets WIN, WIN_X, WIN_Y.
find_window() {
    # WINDOW ... SCREEN are set by the eval of getwindowgeometry's output.
    # shellcheck disable=SC2034
    local deadline=$((SECONDS + 30)) root id WINDOW X Y WIDTH HEIGHT SCREEN
    root="$(xdotool search --maxdepth 0 --name '' | head -n 1)"
    while [ $SECONDS -lt $deadline ]; do
        if ! running "$GAME_PID"; then
            game_ended_note
            return 1
        fi
        id="$(xdotool search --maxdepth 1 --onlyvisible --name '' 2>/dev/null | grep -vx "$root" | head -n 1)" || true
        if [ -n "$id" ]; then
            eval "$(xdotool getwindowgeometry --shell "$id")"
            WIN="$id"
            WIN_X="$X"
            WIN_Y="$Y"
            if [ "$WIDTH" != 600 ] || [ "$HEIGHT" != 600 ]; then
                echo "the window is ${WIDTH}x${HEIGHT}, not 600x600"
                return 1
            fi
            return 0
        fi
        sleep 0.2
    done
    echo "no window appeared within 30 s"
    return 1
}

# --- Looking at the screen ------------------------------------------------------------
# shoot NAME: screenshot of the window into $SHOTS/NAME.png, and its letter map (see
# classify.awk) into $MAP: line y+1, character x+1 is window pixel (x,y).
shoot() {
    xwd -root -silent |
        convert xwd:- -crop "600x600+$WIN_X+$WIN_Y" +repage -strip -write "png:$SHOTS/$1.png" \
            -depth 8 -compress none ppm:- |
        awk -f "$HERE/classify.awk" >"$MAP"
    LAST_SHOT="$SHOTS/$1.png"
}

# count LETTERS X0 Y0 X1 Y1: pixels of the box (corners included) whose letter is one of LETTERS.
count() {
    awk -v set="$1" -v x0="$2" -v y0="$3" -v x1="$4" -v y1="$5" '
        NR - 1 >= y0 && NR - 1 <= y1 {
            s = substr($0, x0 + 1, x1 - x0 + 1)
            for (i = 1; i <= length(s); i++) if (index(set, substr(s, i, 1))) n++
        }
        END { print n + 0 }' "$MAP"
}

# ink_box X0 Y0 X1 Y1: "left top right bottom count" of the figure/block pixels in the box,
# or "none".
ink_box() {
    awk -v x0="$1" -v y0="$2" -v x1="$3" -v y1="$4" '
        NR - 1 >= y0 && NR - 1 <= y1 {
            for (x = x0; x <= x1; x++) if (substr($0, x + 1, 1) == "#") {
                if (n == 0 || x < l) l = x
                if (n == 0 || x > r) r = x
                if (n == 0) t = NR - 1
                b = NR - 1
                n++
            }
        }
        END { if (n) print l, t, r, b, n; else print "none" }' "$MAP"
}

# ink_span X0 Y0 X1 Y1: the same, in words, for messages.
ink_span() {
    local box l t r b n
    box="$(ink_box "$@")"
    if [ "$box" = none ]; then
        echo "nothing drawn there"
        return
    fi
    read -r l t r b n <<<"$box"
    echo "$n drawn pixels spanning ($l,$t)-($r,$b)"
}

rgb_at() { convert "$LAST_SHOT" -format "%[pixel:p{$1,$2}]" info:; }

# poll SECONDS SHOT CHECK [ARGS]: screenshot and run CHECK until it passes or time is up.
# On a slow machine the game may take a while to show a change; polling keeps the fast
# case fast.
poll() {
    local limit=$1 shot=$2
    shift 2
    local deadline=$((SECONDS + limit))
    while :; do
        if ! running "$GAME_PID"; then
            game_ended_note
            return 1
        fi
        shoot "$shot"
        if "$@" >"$WORK/why"; then
            cat "$WORK/why"
            return 0
        fi
        if [ $SECONDS -ge $deadline ]; then
            cat "$WORK/why"
            echo "(screenshot: $LAST_SHOT)"
            return 1
        fi
        sleep 0.2
    done
}

# --- Screen conditions (print why and return 1 when not met) ---------------------------

# figure_drawn X Y: the figure's frame has ink in its 16x19 box at (X,Y), and nothing else
# is drawn in the 6 pixels left, right and above it, nor below unless the third argument
# is "no" (the figure standing on something).
figure_drawn() {
    local x=$1 y=$2 below=${3:-yes}
    local x1=$((x + FIG_W - 1)) y1=$((y + FIG_H - 1))
    local inside around bottom=$((y1 + 6))
    [ "$below" = yes ] || bottom=$y1
    inside="$(count '#' "$x" "$y" "$x1" "$y1")"
    if [ "$inside" -lt 10 ]; then
        echo "no figure in its box ($x,$y)-($x1,$y1): $inside drawn pixels there"
        return 1
    fi
    around=$(($(count '#w' $((x - 6)) $((y - 6)) $((x1 + 6)) "$bottom") - $(count '#w' "$x" "$y" "$x1" "$y1")))
    if [ "$around" -ne 0 ]; then
        echo "$around drawn pixels just outside the figure's box ($x,$y)-($x1,$y1): around it: $(ink_span $((x - 6)) $((y - 6)) $((x1 + 6)) "$bottom")"
        return 1
    fi
}

# block_drawn X Y: a block fills most of the 24x24 square at (X,Y) (the pictures may have
# see-through pixels, so not all of it).
block_drawn() {
    local x=$1 y=$2 inside
    inside="$(count '#' "$x" "$y" $((x + BLOCK - 1)) $((y + BLOCK - 1)))"
    if [ "$inside" -lt $((BLOCK * BLOCK / 2)) ]; then
        echo "no block at ($x,$y): only $inside of its $((BLOCK * BLOCK)) pixels are drawn"
        return 1
    fi
}

# clear_around X0 Y0 X1 Y1: nothing drawn within 6 pixels outside the box (lines aside).
clear_around() {
    local around
    around=$(($(count '#w' $(($1 - 6)) $(($2 - 6)) $(($3 + 6)) $(($4 + 6))) - $(count '#w' "$1" "$2" "$3" "$4")))
    if [ "$around" -ne 0 ]; then
        echo "$around drawn pixels just outside ($1,$2)-($3,$4), where the blocks should end; around it: $(ink_span $(($1 - 6)) $(($2 - 6)) $(($3 + 6)) $(($4 + 6)))"
        return 1
    fi
}

# The whole window at rest: sky, ruled lines at rows 15k-289, the figure's box, nothing else.
rest_view() {
    local report
    report="$(awk -v fx="$REST_X" -v fy="$REST_Y" -v fw="$FIG_W" -v fh="$FIG_H" -v cy="$CAMERA_Y" '
        {
            y = NR - 1
            want = ((y + cy) % 15 == 0) ? "k" : "."
            for (x = 0; x < length($0); x++) {
                if (x >= fx && x < fx + fw && y >= fy && y < fy + fh) continue
                c = substr($0, x + 1, 1)
                if (c != want) {
                    if (bad < 5) msg = msg sprintf(" (%d,%d) is %s, expected %s;", x, y, c, want)
                    bad++
                }
            }
        }
        END { if (bad) print bad " pixels differ:" msg }' "$MAP")"
    if [ -n "$report" ]; then
        echo "the resting view is not sky with ruled lines and the figure: $report (letters: . sky, k black, w white, # other)"
        return 1
    fi
    figure_drawn "$REST_X" "$REST_Y"
}

# --- Checks ------------------------------------------------------------------------------

# a. After start-up the figure falls onto the floor line and rests at window (291,292),
#    under black lines every 15 pixels.
check_figure_at_rest() {
    poll 30 a-figure-at-rest rest_view || return 1
    # Spot checks with exact colours, for a clear message if the letter map were wrong.
    local spot x y want colour
    for spot in "285 300 srgb(70,200,255)" "312 300 srgb(70,200,255)" "5 11 srgb(0,0,0)" "590 596 srgb(0,0,0)"; do
        read -r x y want <<<"$spot"
        colour="$(rgb_at "$x" "$y")"
        [ "$colour" = "$want" ] || { echo "pixel ($x,$y) is $colour, expected $want"; return 1; }
    done
}

# e1. Down places two blocks whose top-left corners are 9 left of and 8 above the pointer,
#     side by side.
blocks_under_pointer() {
    local x=$((POINTER_X - 9)) y=$((POINTER_Y - 8))
    block_drawn "$x" "$y" && block_drawn $((x + BLOCK)) "$y" &&
        clear_around "$x" "$y" $((x + 2 * BLOCK - 1)) $((y + BLOCK - 1))
}
check_blocks_under_pointer() {
    xdotool mousemove --window "$WIN" "$POINTER_X" "$POINTER_Y"
    sleep 0.3 # the game polls the pointer once per event; let a few ticks pass
    xdotool key Down
    poll 10 e1-blocks-under-pointer blocks_under_pointer
}

# e2. Space loads LoadLevel.txt from the game's folder and shows its blocks.
level_blocks() {
    block_drawn 179 211 && clear_around 179 211 202 234 &&
        block_drawn 323 91 && clear_around 323 91 346 114 &&
        block_drawn 131 287 && clear_around 131 287 154 310
}
check_level_load() {
    xdotool key space
    poll 10 e2-level-loaded level_blocks
}

# b. Holding Left walks the figure left until the level's wall stops it. With only
#    horizontal lines on screen, walking shows through the camera: it stops at the world's
#    left edge once the figure's x is below 291, and from then on the figure itself moves
#    left on screen. Without the wall it would leave the window about 2 s into the hold, so
#    the result would hang on how fast xdotool and the game are; with the wall (world
#    x 192-215, reached after (352-216)/3 = 46 ticks, under 0.8 s) any hold from 1 s up
#    ends the same way: the figure against the wall's right face at world (216,581), the
#    camera at (0,289), so the figure at window (216,292) and the wall at (192,287).
figure_at_wall() {
    local x=216 y=$REST_Y inside around
    inside="$(count '#' "$x" "$y" $((x + FIG_W - 1)) $((y + FIG_H - 1)))"
    if [ "$inside" -lt 10 ]; then
        echo "the figure is not against the wall at ($x,$y): floor row: $(ink_span 0 $((y - 10)) 599 $((y + FIG_H + 10)))"
        return 1
    fi
    block_drawn 192 287 || return 1
    # Nothing else on the floor row: not at the resting place, not past the wall.
    around=$(($(count '#w' 0 $((y - 10)) 599 $((y + FIG_H + 10))) -
        $(count '#w' "$x" "$y" $((x + FIG_W - 1)) $((y + FIG_H - 1))) -
        $(count '#w' 192 287 215 310)))
    if [ "$around" -ne 0 ]; then
        echo "$around drawn pixels on the floor row besides the figure at ($x,$y) and the wall at (192,287); floor row: $(ink_span 0 $((y - 10)) 599 $((y + FIG_H + 10)))"
        return 1
    fi
}
check_walk_left() {
    xdotool keydown Left
    sleep 1.5
    xdotool keyup Left
    poll 10 b-walked-left figure_at_wall
}

# e4. R puts the figure back at (352,18): it falls from there onto the level's two blocks
#     under the start point (world (336,200) and (360,200)) and stands on them at world
#     (352,181). The view is then held at the world's top: camera (61,0), figure at window
#     (291,181), blocks at (275,200) and (299,200); the floor row is empty.
figure_back_at_start() {
    figure_drawn 291 181 no && block_drawn 275 200 && block_drawn 299 200 || return 1
    if [ "$(ink_box 0 $((REST_Y - 10)) 599 $((REST_Y + FIG_H + 10)))" != none ]; then
        echo "something is still drawn where the floor row was: $(ink_span 0 $((REST_Y - 10)) 599 $((REST_Y + FIG_H + 10)))"
        return 1
    fi
}
check_reset() {
    xdotool key r
    poll 15 e4-reset figure_back_at_start
}

# e5. Down right after R: the view is held at the world's top (camera (61,0)), and the
#     blocks still land 9 left of and 8 above the pointer, as where the view follows.
check_blocks_after_reset() {
    xdotool mousemove --window "$WIN" "$POINTER_X" "$POINTER_Y"
    sleep 0.3
    xdotool key Down
    poll 10 e5-blocks-after-reset blocks_under_pointer
}

# e3. S releases snow: white dots appear. Each dot covers about 12 pixels; about half of
#     the 25 flakes fall inside the window, so ask for a few dots' worth.
snow_visible() {
    local white
    white="$(count w 0 0 599 599)"
    if [ "$white" -lt $((SNOW_BEFORE + 24)) ]; then
        echo "only $white white pixels ($SNOW_BEFORE before S)"
        return 1
    fi
    note "$white white pixels after S"
}
check_snow() {
    shoot e3-before-snow
    SNOW_BEFORE="$(count w 0 0 599 599)"
    xdotool key s
    poll 10 e3-snow snow_visible
}

# c. Escape ends the game with status 0, and stdout holds nothing but one frame rate per
#    line, near 60 (the game draws one frame per 60 Hz tick when it keeps up).
# Presses Escape and expects the game to end within $1 seconds with status 0.
escape_ends_game() {
    xdotool key Escape
    if ! wait_for_exit "$GAME_PID" "$1"; then
        echo "the game was still running $1 s after Escape"
        return 1
    fi
    if [ "$EXIT_STATUS" -ne 0 ]; then
        echo "exit status $EXIT_STATUS after Escape, expected 0"
        return 1
    fi
}

check_escape() {
    escape_ends_game 15 || return 1
    local out="$GAME_DIR/stdout" lines bad median
    lines="$(wc -l <"$out")"
    bad="$(grep -c -v -E '^[0-9]+(\.[0-9]+)?(e[+-]?[0-9]+)?$' "$out" || true)"
    if [ "$lines" -lt 30 ] || [ "$bad" -ne 0 ]; then
        echo "stdout has $lines lines, $bad of them not a frame rate; first lines:"
        head -n 5 "$out" | sed 's/^/      /'
        return 1
    fi
    median="$(sort -g "$out" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')"
    if ! awk -v m="$median" 'BEGIN { exit !(m >= 40 && m <= 80) }'; then
        echo "median frame rate $median over $lines frames, expected 40 to 80"
        return 1
    fi
    note "$lines frames, median frame rate $median"
}

# d. Started where its pictures cannot be loaded, the game says which picture and which
#    folder on one stderr line, prints nothing on stdout, and ends with a non-zero status
#    of its own (not a crash, which shows as 128 + signal). These runs use a copy of the game
#    alone in a folder of its own ($LONE), so that the copies of the pictures beside the
#    built game cannot stand in for the ones a case takes away.
#    Each case prepares the folder the game is started in; its second word is the picture
#    the message must name ("any" for any of the three), the rest words the message must hold.
START_FAILURES=(
    "missing_figure Quillorn.png cannot find"
    "figure_not_png Quillorn.png not a PNG"
    "figure_empty Quillorn.png empty"
    "figure_truncated Quillorn.png cannot be decoded"
    "pictures_in_subfolder any cannot find"
    "figure_tiny Quillorn.png 8 x 8 pixels, too small"
    "blocks_empty Blocks.png empty file"
    "figure_huge Quillorn.png 16000 x 16000 pixels, too big"
)
missing_figure() { rm "$1/Quillorn.png"; }
figure_not_png() { printf 'this is not a picture\n' >"$1/Quillorn.png"; }
figure_empty() { : >"$1/Quillorn.png"; }
figure_truncated() {
    local size
    size="$(stat -c %s "$DATA/Quillorn.png")"
    head -c $((size / 2)) "$DATA/Quillorn.png" >"$1/Quillorn.png"
}
pictures_in_subfolder() {
    mkdir "$1/pictures"
    mv "$1"/*.png "$1/pictures/"
}
figure_tiny() { convert -size 8x8 xc:red "png:$1/Quillorn.png"; }
blocks_empty() { : >"$1/Blocks.png"; }
# A real 16000 x 16000 PNG of 33 KB: decoded it would take 1 GB.
figure_huge() {
    python3 - "$1/Quillorn.png" <<'PY'
import struct, sys, zlib
side = 16000
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
pack = zlib.compressobj(9)
row = bytes(1 + side // 8)  # filter byte, then one bit a pixel
body = b"".join(pack.compress(row) for _ in range(side)) + pack.flush()
with open(sys.argv[1], "wb") as out:
    out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 1, 0, 0, 0, 0))
              + chunk(b"IDAT", body) + chunk(b"IEND", b""))
PY
}
# Peak resident memory allowed to a refused start, in KiB: the game with its window and no
# pictures takes well under this, a decoded 16000 x 16000 picture over 1 GB.
PEAK_LIMIT_KIB=$((200 * 1024))

# run_measured PEAK_FILE COMMAND...: runs the command, writes its peak resident memory (KiB,
# its largest descendant's) to PEAK_FILE and passes on its exit status.
run_measured() {
    python3 -c '
import resource, subprocess, sys
status = subprocess.call(sys.argv[2:])
with open(sys.argv[1], "w") as out:
    out.write("%d\n" % resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
sys.exit(status if status >= 0 else 128 - status)' "$@"
}
check_start_failure() {
    local prepare=$1 picture=$2 dir folder status=0
    shift 2
    local said="$*"
    dir="$(game_folder "$prepare")"
    "$prepare" "$dir"
    folder="$(cd "$dir" && pwd -P)"
    (cd "$dir" && run_measured "$dir/peak" timeout -k 5 20 "$LONE") >"$dir/stdout" 2>"$dir/stderr" || status=$?
    local why="" peak
    peak="$(cat "$dir/peak" 2>/dev/null || echo 0)"
    if [ "$status" -eq 0 ]; then
        why="exit status 0, expected a failure"
    elif [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
        why="the game did not end within 20 s and was killed (it hung instead of giving up)"
    elif [ "$status" -ge 128 ]; then
        why="the game crashed: exit status $status (signal $((status - 128)))"
    elif [ -s "$dir/stdout" ]; then
        why="stdout is not empty: $(head -c 200 "$dir/stdout")"
    elif [ "$(wc -l <"$dir/stderr")" -ne 1 ]; then
        why="stderr should hold one line, it holds $(wc -l <"$dir/stderr")"
    elif ! grep -qF "$folder" "$dir/stderr"; then
        why="the message does not name the folder $folder"
    elif [ "$picture" = any ] && ! grep -qE 'Background\.png|Blocks\.png|Quillorn\.png' "$dir/stderr"; then
        why="the message names none of the pictures"
    elif [ "$picture" != any ] && ! grep -qF "$picture" "$dir/stderr"; then
        why="the message does not name $picture"
    elif ! grep -qF "$said" "$dir/stderr"; then
        why="the message does not say \"$said\""
    elif [ "$said" = "cannot find" ] && ! grep -qF "$(dirname "$LONE")" "$dir/stderr"; then
        why="the message does not name every folder tried (the game's own $(dirname "$LONE") is missing)"
    elif [ "$said" != "cannot find" ] && grep -qF "cannot find" "$dir/stderr"; then
        why="a picture that is there is reported as not found"
    elif [ "$peak" -gt "$PEAK_LIMIT_KIB" ]; then
        why="peak memory $((peak / 1024)) MiB, more than $((PEAK_LIMIT_KIB / 1024)) MiB: the picture was decoded"
    fi
    if [ -n "$why" ]; then
        echo "$why; stderr was:"
        sed 's/^/      /' "$dir/stderr"
        return 1
    fi
    note "status $status, peak memory $((peak / 1024)) MiB: $(cat "$dir/stderr")"
}

# f. A world far too big to tick at 60 Hz (4,000 blocks: each tick then costs several
#    sixtieths of a second) must slow the game down, not freeze it: frames keep coming and
#    Escape still ends it promptly with status 0.
check_overload() {
    local dir before after
    dir="$(game_folder overload)"
    awk 'BEGIN { for (i = 0; i < 4000; i++) printf "%d,%d,%d\n", i, 48 + (i % 40) * 24, 400 + int(i / 40) % 8 * 24 }' \
        >"$dir/LoadLevel.txt"
    start_game "$dir"
    find_window || return 1
    xdotool windowfocus "$WIN" 2>/dev/null || true
    poll 10 f-overload test -s "$dir/stdout" || return 1
    xdotool key space
    sleep 1
    before="$(wc -l <"$dir/stdout")"
    sleep 3
    after="$(wc -l <"$dir/stdout")"
    if [ $((after - before)) -lt 3 ]; then
        echo "only $((after - before)) frames in 3 s with 4,000 blocks: the game froze"
        return 1
    fi
    escape_ends_game 10 || return 1
    note "$((after - before)) frames in 3 s with 4,000 blocks, then Escape ended it"
}

# g. Started from a folder with no pictures, the game uses the copies beside its executable:
#    its window opens with the title "Platformer", and Space loads the sample level found
#    there (its first steps stand on the floor, in view).
more_ink_than() {
    local now
    now="$(count '#' 0 0 599 599)"
    if [ "$now" -lt $(($1 + $2)) ]; then
        echo "$now drawn pixels, expected at least $2 more than the $1 before Space"
        return 1
    fi
}
check_from_elsewhere() {
    local dir title before
    dir="$(mktemp -d "$WORK/no pictures here.XXXXXX")"
    start_game "$dir"
    find_window || return 1
    title="$(xdotool getwindowname "$WIN")"
    if [ "$title" != Platformer ]; then
        echo "the window's title is \"$title\", expected \"Platformer\""
        return 1
    fi
    xdotool windowfocus "$WIN" 2>/dev/null || true
    poll 10 g-elsewhere test -s "$dir/stdout" || return 1
    sleep 1
    shoot g-before-space
    before="$(count '#' 0 0 599 599)"
    xdotool key space
    poll 10 g-sample-level more_ink_than "$before" $((3 * BLOCK * BLOCK)) || return 1
    escape_ends_game 10
}

# h. Space with a level file the game must not read, or cannot read whole: the game says
#    why on one stderr line and still answers Escape at once. Each case: how the folder's
#    LoadLevel.txt is made | the message after 'platformer: the level file "LoadLevel.txt" '.
LEVEL_FILE_CASES=(
    'level_fifo|is a FIFO, not a regular file; nothing loaded'
    'level_folder|is a folder, not a regular file; nothing loaded'
    'level_unreadable|cannot be opened: Permission denied'
    'level_bad_record|stops at line 2, where "5,abc,7" is not three numbers; 1 block added'
)
level_fifo() { mkfifo "$1/LoadLevel.txt"; }
level_folder() { mkdir "$1/LoadLevel.txt"; }
level_unreadable() { printf '0,240,500\n' >"$1/LoadLevel.txt"; chmod 000 "$1/LoadLevel.txt"; }
level_bad_record() { printf '0,240,500\n5,abc,7\n3,200,576\n' >"$1/LoadLevel.txt"; }

something_drawn() {
    [ "$(count '#' 0 0 599 599)" -ge 10 ] || { echo "nothing drawn yet"; return 1; }
}

check_level_file() {
    local prepare=$1 want="platformer: the level file \"LoadLevel.txt\" $2" dir runner=()
    dir="$(game_folder "$prepare")"
    "$prepare" "$dir"
    # Root reads a file whatever its permissions: the game then runs as nobody instead.
    if [ "$prepare" = level_unreadable ] && [ "$(id -u)" -eq 0 ]; then
        runner=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
        chmod o+x "$WORK"
        chmod o+rx "$dir"
        if ! "${runner[@]}" test -x "$GAME" -a -r "$dir/Quillorn.png" 2>/dev/null; then
            note "skipped: as root a file without read permission is still read, and the game cannot be run as nobody here (setpriv missing, or nobody cannot reach $GAME)"
            return 0
        fi
    fi
    (cd "$dir" && exec "${runner[@]}" "$GAME") >"$dir/stdout" 2>"$dir/stderr" &
    GAME_PID=$!
    GAME_DIR="$dir"
    find_window || return 1
    xdotool windowfocus "$WIN" 2>/dev/null || true
    poll 15 "h-$prepare" something_drawn >/dev/null || { echo "the game drew nothing"; return 1; }
    xdotool key space
    local deadline=$((SECONDS + 5))
    while [ ! -s "$dir/stderr" ] && [ $SECONDS -lt $deadline ]; do
        sleep 0.1
    done
    sleep 0.3
    escape_ends_game 5 || return 1
    if [ "$(cat "$dir/stderr")" != "$want" ]; then
        echo "stderr should be the one line"
        echo "      $want"
        echo "    it was:"
        sed 's/^/      /' "$dir/stderr"
        return 1
    fi
    note "${runner[*]:+as nobody: }$want"
}

# i. However its standard streams are set up, the game keeps drawing and answering keys:
#    Escape ends it with status 0. Each case starts the game in folder $1 its own way, then
#    waits (up to 10 s) until its output is in the state the case is about.
STREAM_CASES=(
    "stdout closed|launch_stdout_closed|settled_after_a_second"
    "stdin, stdout and stderr closed|launch_streams_closed|settled_after_a_second"
    "stdout an unread 4 KiB pipe, full|launch_unread_pipe|settled_after_a_second"
    "stdout a reader that leaves after one line|launch_reader_leaves|reader_gone"
)
launch_stdout_closed() { (cd "$1" && exec "$GAME") >&- 2>"$1/stderr" & GAME_PID=$!; }
launch_streams_closed() { (cd "$1" && exec "$GAME") <&- >&- 2>&- & GAME_PID=$!; }
settled_after_a_second() { sleep 1; }
# The game itself holds the pipe's read end, never read, so the pipe never breaks; it starts
# 4,000 bytes full, so a game that waited for room would stop after a dozen lines.
launch_unread_pipe() {
    (cd "$1" && exec python3 -c '
import fcntl, os, sys
r, w = os.pipe()
os.set_inheritable(r, True)
fcntl.fcntl(w, fcntl.F_SETPIPE_SZ, 4096)
os.write(w, b"x" * 4000)
os.dup2(w, 1)
os.execv(sys.argv[1], sys.argv[1:])' "$GAME") 2>"$1/stderr" &
    GAME_PID=$!
}
launch_reader_leaves() { (cd "$1" && exec "$GAME") > >(head -n 1 >"$1/stdout") 2>"$1/stderr" & GAME_PID=$!; }
reader_gone() { [ -s "$1/stdout" ] && sleep 0.5; }

check_streams() {
    local launch=$1 settled=$2 dir deadline
    dir="$(game_folder "$launch")"
    GAME_DIR="$dir"
    "$launch" "$dir"
    find_window || return 1
    xdotool windowfocus "$WIN" 2>/dev/null || true
    deadline=$((SECONDS + 10))
    until "$settled" "$dir"; do
        [ $SECONDS -lt $deadline ] || { echo "not $settled within 10 s"; return 1; }
        running "$GAME_PID" || { game_ended_note; return 1; }
        sleep 0.2
    done
    escape_ends_game 5 || return 1
    if [ -s "$dir/stderr" ]; then
        echo "stderr is not empty: $(head -c 200 "$dir/stderr")"
        return 1
    fi
    if [ "$launch" = launch_reader_leaves ] && ! grep -qxE '[0-9]+(\.[0-9]+)?(e[+-]?[0-9]+)?' "$dir/stdout"; then
        echo "the reader's one line is not a frame rate: $(head -c 100 "$dir/stdout")"
        return 1
    fi
}

# j. Left held, then the keyboard taken by another window, Left released there: the key-up
#    never reaches the game, yet back in the game the figure stands where it was. It walks
#    for 0.7 s, past where the view is held at the world's left edge (so that its steps show
#    on screen) and about 1.3 s short of walking out of view.
check_focus_loss() {
    local dir other_pid other first second
    dir="$(game_folder focus)"
    start_game "$dir"
    find_window || return 1
    xdotool windowfocus --sync "$WIN"
    xlogo -geometry 30x30+605+0 &
    other_pid=$!
    other="$(timeout 10 xdotool search --sync --onlyvisible --name '^xlogo$' | head -n 1)" ||
        { kill "$other_pid"; echo "the other window did not appear"; return 1; }
    xdotool keydown Left sleep 0.7 windowfocus --sync "$other" keyup Left windowfocus --sync "$WIN"
    kill "$other_pid"
    wait "$other_pid" 2>/dev/null || true
    sleep 0.3
    shoot j-back
    first="$(ink_box 0 $((REST_Y - 10)) 599 $((REST_Y + FIG_H + 10)))"
    sleep 1
    shoot j-a-second-later
    second="$(ink_box 0 $((REST_Y - 10)) 599 $((REST_Y + FIG_H + 10)))"
    # Its drawing may change from a walking to a standing frame: compare where, not what.
    if [ "${first% *}" != "${second% *}" ]; then
        echo "the figure kept walking after its key was released in another window: at ($first), a second later at ($second) (left top right bottom count)"
        return 1
    fi
    if [ "$first" = none ] || [ "${first%% *}" -lt 40 ] || [ "${first%% *}" -gt $((REST_X - 20)) ]; then
        echo "after 0.7 s of Left the figure is not between window x 40 and $((REST_X - 20)): ($first) (left top right bottom count)"
        return 1
    fi
    note "the figure stopped at ($first)"
    escape_ends_game 5
}

# --- Running ---------------------------------------------------------------------------

run_check() {
    local title=$1
    shift
    echo "--- $title"
    if "$@" >"$WORK/check.log" 2>&1; then
        sed 's/^/  /' "$WORK/check.log"
        echo "PASS: $title"
        PASSED=$((PASSED + 1))
    else
        sed 's/^/  /' "$WORK/check.log"
        echo "FAIL: $title"
        FAILED=$((FAILED + 1))
        FAILURES+=("$title")
    fi
}

# The checks of one play session, in order: each starts from what the one before left.
SESSION_CHECKS=(
    "a. the figure falls and rests at (291,292) under ruled lines|check_figure_at_rest"
    "e1. Down places two blocks under the pointer|check_blocks_under_pointer"
    "e2. Space loads the level's blocks|check_level_load"
    "b. holding Left walks the figure left until a wall stops it|check_walk_left"
    "e4. R puts the figure back at its start|check_reset"
    "e5. Down right after R places the blocks under the pointer|check_blocks_after_reset"
    "e3. S lets snow fall|check_snow"
    "c. Escape ends the game with status 0 after frame-rate lines only|check_escape"
)

main() {
    require_tools
    WORK="$(mktemp -d -t platformer-e2e.XXXXXX)"
    MAP="$WORK/screen.map"
    mkdir -p "$SHOTS"
    rm -f "$SHOTS"/*.png
    echo "game: $GAME"
    echo "pictures: $DATA"
    echo "screenshots: $SHOTS"
    start_xvfb

    local entry dir title launch settled
    dir="$(game_folder session)"
    printf '%s' "$LEVEL" >"$dir/LoadLevel.txt"
    start_game "$dir"
    run_check "the game opens its 600x600 window" find_window
    if [ -n "$WIN" ]; then
        # No window manager here: give the window the keyboard and keep the pointer on it.
        xdotool windowfocus "$WIN" 2>/dev/null || true
        xdotool mousemove --window "$WIN" "$POINTER_X" "$POINTER_Y"
        for entry in "${SESSION_CHECKS[@]}"; do
            run_check "${entry%%|*}" "${entry#*|}"
        done
    fi
    stop_game

    WIN=""
    run_check "f. an overloaded world slows down but keeps drawing and quits on Escape" check_overload
    stop_game

    WIN=""
    run_check "g. from a folder without pictures, the game uses those beside it" check_from_elsewhere
    stop_game

    for entry in "${LEVEL_FILE_CASES[@]}"; do
        WIN=""
        run_check "h. Space with an unusable level file: ${entry%%|*}" check_level_file "${entry%%|*}" "${entry#*|}"
        stop_game
    done

    for entry in "${STREAM_CASES[@]}"; do
        IFS='|' read -r title launch settled <<<"$entry"
        run_check "i. Escape still ends the game with $title" check_streams "$launch" "$settled"
        stop_game
    done

    run_check "j. a key released in another window no longer walks the figure" check_focus_loss
    stop_game

    LONE="$WORK/lone game/bin/platformer"
    mkdir -p "$(dirname "$LONE")"
    cp "$GAME" "$LONE"
    for entry in "${START_FAILURES[@]}"; do
        # shellcheck disable=SC2086  # "prepare picture words..."
        run_check "d. start-up with unusable pictures: ${entry%% *}" check_start_failure $entry
    done

    echo
    if [ "$FAILED" -gt 0 ]; then
        printf 'failed: %s\n' "${FAILURES[@]}"
    fi
    echo "screenshots: $SHOTS"
    echo "e2e: $PASSED passed, $FAILED failed"
    [ "$FAILED" -eq 0 ]
}

main
