# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by scripts/run and scripts/test: say what is happening, install what is missing.

say() { printf '\033[1m==> %s\033[0m\n' "$*"; }
fail() { printf '\033[1;31mError: %s\033[0m\n' "$*" >&2; exit 1; }

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
JOBS=$(nproc 2>/dev/null || echo 2)

# Debian packages needed to build the program and its tests (python3-debian reads the
# package's copyright file in the package test).
BUILD_PACKAGES=(build-essential cmake qt6-base-dev libgl-dev libbenchmark-dev fonts-liberation2
                python3-debian
                # velmora-lab's pictures: the animated map, and the chart as PNG and SVG; Qt
                # Charts' CMake files need Qt OpenGL's, which its package does not pull in
                libgif-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev
                # velmora-lab's manual page, made from its --help
                help2man
                # the Python module: pybind11 and the headers of Debian's python3; NumPy for
                # its arrays, pandas for its tables, pytest for its tests, Dask for the sweep example
                pybind11-dev python3-dev python3-numpy python3-pandas python3-pytest python3-distributed)

# The page: Debian's emscripten builds the core for WebAssembly, Chart.js draws its plots;
# its checks drive Debian's Chromium headless with Selenium (python3-pil reads saved maps).
WEB_PACKAGES=(cmake emscripten libjs-chart.js python3)
WEB_TEST_PACKAGES=(chromium chromium-driver python3-selenium python3-pil python3-pytest)

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

# Configures and builds the page with emscripten into the given directory (the built folder
# is DIR/page), with any extra CMake arguments.
build_web_into() {
    local dir=$1
    shift
    say "Configuring the page ($dir)"
    mkdir -p "$dir"
    emcmake cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >"$dir/configure.log" 2>&1 \
        || { cat "$dir/configure.log"; fail "CMake could not configure the page (log above)."; }
    say "Building the page ($dir)"
    cmake --build "$dir" -j "$JOBS" ${BUILD_TARGET:+--target "$BUILD_TARGET"} \
        || fail "the page's build failed (errors above)."
}

# Starts an X server of our own on a free display; sets DISPLAY and XVFB_PID. It runs in a
# session of its own, out of reach of the terminal's Ctrl+C, on which an X server ends at
# once; whoever started it stops it. (A script's background command is no process group
# leader, so setsid runs Xvfb itself, under the same process id.)
start_xvfb() {
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        setsid Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
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

# Runs the program in an X server of its own and saves a screenshot of its window every five
# seconds, until the program ends or Ctrl+C stops it.
run_under_xvfb() {
    local program=$1 shot=$2 window
    start_xvfb
    trap stop_under_xvfb EXIT
    "$program" &
    APP_PID=$!
    # Ctrl+C reaches neither the program nor its X server (start_xvfb): this shell stops them.
    trap 'stop_under_xvfb; exit 130' INT
    trap 'stop_under_xvfb; exit 143' TERM
    say "Saving a screenshot of the window to $shot every 5 seconds; press Ctrl+C to stop."
    while kill -0 "$APP_PID" 2>/dev/null; do
        sleep 5
        window=$(xwininfo -root -tree 2>/dev/null | awk '/"Velmora: Ethnic Group Residential Patterns"/ {print $1; exit}')
        if [ -n "$window" ] && import -window "$window" "$shot.tmp.png" 2>/dev/null; then
            mv -f "$shot.tmp.png" "$shot"
            say "Updated $shot"
        fi
    done
}

# The program first and its X server after it, each waited for: a program whose display
# vanishes under it complains that the X server died.
stop_under_xvfb() {
    local pid
    for pid in "${APP_PID:-}" "${XVFB_PID:-}"; do
        [ -n "$pid" ] && kill "$pid" 2>/dev/null || continue
        wait "$pid" 2>/dev/null || true
    done
    APP_PID='' XVFB_PID=''
}

# The sweep check starts a one-node Slurm cluster of its own (tests/slurm/run-slurm-check.sh):
# the Slurm daemons and commands, and munge for their authentication.
SLURM_PACKAGES=(slurm-wlm munge)

# --- The hardening checks (README, "Checks"): scripts/test runs them all, scripts/check one.

# clang with libFuzzer for the fuzz target; glibc's locale sources for the locale runs.
HARDENING_PACKAGES=(clang locales)

# libFuzzer's runtime for the installed clang: its own package on recent releases, part of
# clang's common files on older ones.
ensure_clang_runtime() {
    local major package
    major=$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n 1)
    [ -n "$major" ] || fail "could not tell which clang is installed."
    package="libclang-rt-$major-dev"
    if apt-cache policy "$package" 2>/dev/null | grep -q 'Candidate: [0-9]'; then
        ensure_packages "$package"
    fi
}
# The suite runs again in these: a decimal comma with "." between thousands, and day-first dates.
TEST_LOCALES=(de_DE.UTF-8 en_GB.UTF-8)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    else
        command -v sudo >/dev/null || fail "$1 needs root; run as root or install sudo."
        sudo "$@"
    fi
}

# `locale -a` lists de_DE.UTF-8 as de_DE.utf8: compare in lower case without dashes.
locale_key() { tr 'A-Z' 'a-z' | tr -d -- '-'; }
have_locale() { locale -a 2>/dev/null | locale_key | grep -qxF "$(locale_key <<<"$1")"; }

# Generates whichever of the given glibc locales (like de_DE.UTF-8) are missing.
ensure_locales() {
    local loc
    for loc in "$@"; do
        have_locale "$loc" && continue
        say "Generating the locale $loc"
        # localedef also exits non-zero for mere warnings, so success is judged by locale -a.
        as_root localedef -i "${loc%%.*}" -f "${loc#*.}" "$loc" || true
        have_locale "$loc" || fail "could not generate the locale $loc."
    done
}

# The suite again with the program in each test locale, without rebuilding. The installed
# program's checks (x11, package) and the Slurm cluster do not depend on the locale and run once.
test_in_locales() {
    local dir=$1 loc
    for loc in "${TEST_LOCALES[@]}"; do
        say "Running the tests again in the $loc locale"
        (cd "$dir" && LC_ALL=$loc ctest --output-on-failure -j "$JOBS" -LE 'x11|package|slurm') \
            || fail "some tests failed in the $loc locale (see above)."
    done
}

# Any report ends the program at once and so fails its test; leaks are reported at exit.
SANITIZER_ENV=(
    ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1:print_stacktrace=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1
    UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1
)

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer. Left out are
# the soak, whose measure of the process's memory the sanitizers' own bookkeeping swamps,
# and the checks of the installed program and package and on the Slurm cluster, which belong
# to the ordinary build.
test_with_sanitizers() {
    local dir=$1
    build_into "$dir" -DVELMORA_SANITIZE=ON -DVELMORA_BUILD_BENCHMARKS=OFF
    say "Running the tests under AddressSanitizer and UndefinedBehaviorSanitizer"
    (cd "$dir" && env "${SANITIZER_ENV[@]}" ctest --output-on-failure -j "$JOBS" -LE 'soak|x11|package|slurm') \
        || fail "some tests failed under the sanitizers (see above)."
}

# Builds the fuzz target with clang and runs it for the given number of seconds from the
# seed corpus in fuzz/; what it learns stays in the build directory's corpus.
run_fuzzer() {
    local dir=$1 seconds=$2
    ensure_clang_runtime
    BUILD_TARGET=fuzz_preference build_into "$dir" -DCMAKE_CXX_COMPILER=clang++ -DVELMORA_FUZZ=ON \
        -DBUILD_TESTING=OFF -DVELMORA_BUILD_BENCHMARKS=OFF
    mkdir -p "$dir/corpus" "$dir/findings"
    say "Fuzzing the preference, number and date readings for $seconds seconds"
    if ! "$dir/fuzz/fuzz_preference" -max_total_time="$seconds" -timeout=10 -max_len=8192 \
        -dict="$ROOT/fuzz/preference.dict" -artifact_prefix="$dir/findings/" -print_final_stats=1 \
        "$dir/corpus" "$ROOT/fuzz/corpus" >"$dir/fuzz.log" 2>&1; then
        tail -n 40 "$dir/fuzz.log"
        fail "the fuzzer found an input that breaks the model (above; saved in $dir/findings/)."
    fi
    grep -E '^(Done|stat::peak_rss_mb)' "$dir/fuzz.log" || true
}
