# Shared by scripts/run and scripts/test: say what is happening, install what is missing.

say() { printf '\033[1m==> %s\033[0m\n' "$*"; }
fail() { printf '\033[1;31mError: %s\033[0m\n' "$*" >&2; exit 1; }

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
JOBS=$(nproc 2>/dev/null || echo 2)

# Debian packages needed to build the program and its tests.
BUILD_PACKAGES=(build-essential cmake qt6-base-dev libgl-dev libbenchmark-dev fonts-liberation2)

ensure_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    command -v apt-get >/dev/null || fail "missing packages (${missing[*]}) and no apt-get: this needs Debian or Ubuntu."
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || fail "missing packages (${missing[*]}); run as root or install sudo."
        sudo=(sudo)
    fi
    say "Installing missing packages: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq || fail "apt-get update failed; check the network and the package sources."
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" \
        || fail "could not install: ${missing[*]}"
}

# Configures and builds into the given directory with any extra CMake arguments.
build_into() {
    local dir=$1
    shift
    say "Configuring ($dir)"
    mkdir -p "$dir"
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >"$dir/configure.log" 2>&1 \
        || { cat "$dir/configure.log"; fail "CMake could not configure the project (log above)."; }
    say "Building ($dir)"
    cmake --build "$dir" -j "$JOBS" ${BUILD_TARGET:+--target "$BUILD_TARGET"} \
        || fail "the build failed (errors above)."
}

# Starts an X server of our own on a free display; sets DISPLAY and XVFB_PID.
start_xvfb() {
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        local i
        for i in $(seq 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
            kill -0 "$XVFB_PID" 2>/dev/null || break
            sleep 0.1
        done
        kill "$XVFB_PID" 2>/dev/null
    done
    fail "could not start Xvfb."
}
