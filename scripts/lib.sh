# shellcheck shell=bash
# Shared helpers for scripts/play and scripts/test. Source it; it defines functions only,
# apart from REPO_ROOT, the checkout that holds this file, and GAME_PACKAGES.
# shellcheck disable=SC2034  # the variables are for the scripts that source this file

REPO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"

log() { printf '==> %s\n' "$*" >&2; }
die() { printf 'error: %s\n' "$*" >&2; exit 1; }

# Runs a command as root: directly when we are root, through sudo otherwise.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        die "need root (or sudo) to run: $*"
    fi
}

# Prints the packages of the list that dpkg does not have installed.
missing_packages() {
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}\n' "$pkg" 2>/dev/null | grep -q '^install ok installed$'; then
            printf '%s\n' "$pkg"
        fi
    done
}

# Installs whichever of the given Debian packages are missing; a quick no-op when all are in.
# A first argument --no-install-recommends leaves out what they only recommend.
ensure_packages() {
    local -a options=()
    if [ "${1:-}" = --no-install-recommends ]; then
        options=("$1")
        shift
    fi
    command -v dpkg-query >/dev/null 2>&1 || die "this script installs its tools with apt; on another system install: $*"
    local missing
    missing="$(missing_packages "$@" | tr '\n' ' ')"
    missing="${missing% }"
    [ -n "$missing" ] || return 0
    log "installing missing packages: $missing"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update
    # shellcheck disable=SC2086  # one word per package
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y "${options[@]}" $missing
}

# What building and running the game needs on Debian 12. The GL packages give Allegro a
# software renderer where no graphics driver is installed (a bare machine, or Xvfb).
GAME_PACKAGES=(
    cmake make g++ pkg-config
    liballegro5-dev liballegro-image5-dev liballegro-ttf5-dev libx11-dev
    libgl1-mesa-dri libglx-mesa0
)
