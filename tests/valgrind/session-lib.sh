# shellcheck shell=bash
# Shared by scripts/memcheck and scripts/soak: a private X server, a folder the game can
# start in, and a level file. Sourced, not run.

PICTURES=(Background.png Blocks.png Quillorn.png)

# Displays we may take, first free one wins. Others on this machine use their own numbers.
SESSION_DISPLAYS=${SESSION_DISPLAYS:-"71 72 73 74 75 76"}

XVFB_PID=""

# Prints the apt packages behind any missing command and returns 1 when something is missing.
need_tools() {
    local missing=() pair
    for pair in "$@"; do
        command -v "${pair%%:*}" >/dev/null 2>&1 || missing+=("${pair#*:}")
    done
    if ((${#missing[@]})); then
        echo "missing tools; install with: apt-get install -y ${missing[*]}" >&2
        return 1
    fi
}

# Starts Xvfb on the first free display of SESSION_DISPLAYS and exports DISPLAY.
start_xvfb() {
    local d
    for d in $SESSION_DISPLAYS; do
        [[ -e /tmp/.X$d-lock || -e /tmp/.X11-unix/X$d ]] && continue
        Xvfb ":$d" -screen 0 800x700x24 -nolisten tcp -noreset >"${XVFB_LOG:-/dev/null}" 2>&1 &
        XVFB_PID=$!
        for _ in $(seq 1 50); do
            if ! kill -0 "$XVFB_PID" 2>/dev/null; then
                break  # lost a race for this number; try the next one
            fi
            if DISPLAY=":$d" xdpyinfo >/dev/null 2>&1; then
                export DISPLAY=":$d"
                return 0
            fi
            sleep 0.2
        done
        stop_pid "$XVFB_PID"
        XVFB_PID=""
    done
    echo "no free X display among: $SESSION_DISPLAYS (set SESSION_DISPLAYS)" >&2
    return 1
}

# Ends one process we started: politely, then for good after a few seconds.
stop_pid() {
    local pid=$1 i
    [[ -n "$pid" ]] || return 0
    kill -0 "$pid" 2>/dev/null || return 0
    kill "$pid" 2>/dev/null || true
    for i in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null || true; return 0; }
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# Puts the three pictures into folder $1: the copies beside the executable $2, else the
# repository's data/, else plain stand-ins of the right sizes drawn with ImageMagick.
copy_pictures() {
    local into=$1 game=$2 repo=$3 from p ok
    for from in "$(dirname "$game")" "$repo/data"; do
        ok=1
        for p in "${PICTURES[@]}"; do [[ -s "$from/$p" ]] || ok=0; done
        if ((ok)); then
            for p in "${PICTURES[@]}"; do cp "$from/$p" "$into/"; done
            echo "pictures from $from"
            return 0
        fi
    done
    local im
    im=$(command -v magick || command -v convert || true)
    if [[ -z "$im" ]]; then
        echo "no pictures beside the game or in data/, and no ImageMagick to draw stand-ins" >&2
        return 1
    fi
    # Sizes are the real sheets': a 9x4 grid of 16x19 frames, four 24x24 block looks.
    "$im" -size 144x76 xc:'#c08040' "$into/Quillorn.png"
    "$im" -size 96x24 xc:'#808080' -fill '#a04020' -draw 'rectangle 24,0 47,23' "$into/Blocks.png"
    "$im" -size 600x600 xc:'#60a0e0' "$into/Background.png"
    echo "pictures drawn as stand-ins (none found beside the game or in data/)"
}

# Writes $2 records "n,x,y" into file $1: rows of 25 blocks, bottom row on the floor line,
# rows packed closer when there are too many to fit under the figure's start.
write_level() {
    local file=$1 count=$2 i rows step
    rows=$(((count + 24) / 25))
    step=24
    if ((rows > 19)); then step=$((456 / rows)); fi
    : >"$file"
    for ((i = 0; i < count; i++)); do
        echo "$((i + 1)),$(((i % 25) * 24)),$((576 - (i / 25) * step))" >>"$file"
    done
}

# Waits until file $1 has at least $2 lines, the process $3 is gone, or $4 seconds passed.
wait_lines() {
    local file=$1 want=$2 pid=$3 limit=$4 start=$SECONDS
    while (($(wc -l <"$file") < want)); do
        kill -0 "$pid" 2>/dev/null || return 1
        ((SECONDS - start < limit)) || return 1
        sleep 0.2
    done
}
