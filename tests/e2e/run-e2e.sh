#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end check of the built program in a real X server of its own: the first city,
# the map's colours and counts on screen, Pause and Continue, the information window, the
# notice during a construction started by Start Over, and the program ending when its
# window is closed. A small window manager (openbox) delivers
# the close request, so the program's own close path is what ends it.
#
# Usage: run-e2e.sh PROGRAM [OUTPUT-DIR]   (screenshots and logs are kept in OUTPUT-DIR)
set -euo pipefail

program=${1:?usage: run-e2e.sh PROGRAM [OUTPUT-DIR]}
out=${2:-$(mktemp -d)}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mkdir -p "$out"
rm -f "$out"/*.xwd "$out"/*.png

readonly MainTitle="Velmora: Ethnic Group Residential Patterns"
readonly InfoTitle="City Simulator"
# Client coordinates of the centres of the buttons.
readonly PauseAt=(344 252) ContinueAt=(344 284) StartOverAt=(472 252) DisplayMoreAt=(472 284)
readonly CloseAt=(552 328)
readonly QuestionTitle="Start Over From Scratch"

step() { printf '[e2e] %s\n' "$*"; }
fail() {
    printf '[e2e] FAILED: %s\n' "$*" >&2
    [ -s "$out/velmora.log" ] && { echo "--- program output:" >&2; cat "$out/velmora.log" >&2; }
    echo "--- screenshots and logs are in $out" >&2
    exit 1
}

for tool in Xvfb openbox xdotool xwd xwininfo xprop wmctrl python3; do
    command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/test installs it)"
done
[ -x "$program" ] || fail "no program at $program"

xvfb_pid='' wm_pid='' app_pid=''
cleanup() {
    local pid
    for pid in "$app_pid" "$wm_pid" "$xvfb_pid"; do
        [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    done
}
trap cleanup EXIT

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    while ((SECONDS < deadline)); do
        "$@" && return 0
        [ -n "$app_pid" ] && ! kill -0 "$app_pid" 2>/dev/null && fail "the program ended by itself"
        sleep 0.1
    done
    return 1
}

# --- An X server on a display nobody else uses, and a window manager on it.
# Emptied here, not only by the redirection in the child: a number left by an earlier run
# must not be read before the new server has written its own.
: >"$out/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$out/display" >"$out/xvfb.log" 2>&1 &
xvfb_pid=$!
wait_for 10 test -s "$out/display" || fail "Xvfb did not start (see $out/xvfb.log)"
export DISPLAY=":$(head -n1 "$out/display")"
unset WAYLAND_DISPLAY
step "X server on $DISPLAY"

openbox --sm-disable >"$out/openbox.log" 2>&1 &
wm_pid=$!
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
wait_for 10 wm_running || fail "openbox did not start (see $out/openbox.log)"

# --- The program itself, on the xcb platform.
export XDG_RUNTIME_DIR="$out/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
QT_QPA_PLATFORM=xcb "$program" >"$out/velmora.log" 2>&1 &
app_pid=$!

window_of() {   # the id of the first window whose name starts with $1
    xwininfo -root -tree 2>/dev/null | awk -v t="\"$1" 'index($0, t) {print $1; exit}'
}
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'IsViewable'; }
main_window=''
find_main() { main_window=$(window_of "$MainTitle\""); [ -n "$main_window" ] && viewable "$main_window"; }
wait_for 30 find_main || fail "no window titled \"$MainTitle\" appeared"
step "main window $main_window"

frame=0
shot() {   # dumps the main window; sets $dump
    frame=$((frame + 1))
    dump="$out/frame$frame.xwd"
    # xwd reads every window over the one it dumps, and fails now and then when one of them
    # (a dialog's frame) goes away meanwhile: it gets three tries.
    local try
    for try in 1 2 3; do
        xwd -silent -id "$main_window" -out "$dump" 2>"$out/xwd.log" && return 0
        [ -n "$app_pid" ] && ! kill -0 "$app_pid" 2>/dev/null && fail "the program ended by itself"
        sleep 0.2
    done
    fail "xwd could not dump the main window: $(cat "$out/xwd.log")"
}
census() { python3 "$here/xwdmap.py" census "$1"; }
notice() { python3 "$here/xwdmap.py" notice "$@"; }
counts_of() { sed 's/ groups=.*//' <<<"$1"; }
changed() { python3 "$here/xwdmap.py" diff "$1" "$2"; }
keep() { python3 "$here/xwdmap.py" png "$1" "$out/$2.png"; }
click() {   # click WINDOW X Y, in the window's client coordinates
    xdotool mousemove --sync --window "$1" "$2" "$3" click 1
}

# --- The first city: the map fills row by row under the notice, then the buttons return.
# A frame of the notice whole from this first construction is what later ones must show.
notice_whole() { shot; [ "$(notice "$dump")" = "framed=1 filled=1 centred=1" ]; }
wait_for 30 notice_whole \
    || { keep "$dump" notice-broken; fail "the notice was not seen whole at start-up: $(notice "$dump")"; }
notice_ref=$dump
keep "$notice_ref" notice
city_built() { shot; result=$(census "$dump"); grep -q 'ready=1' <<<"$result"; }
wait_for 60 city_built || { keep "$dump" timeout; fail "the first city was not finished: $result"; }
keep "$dump" city
step "first city: $result"
grep -q ' other=0 face=0 ' <<<"$result" || fail "the map holds colours of no group: $result"
reference=$(counts_of "$result")

# --- While it runs, every frame shows the same number of each colour, yet the map moves.
previous=$dump
for _ in 1 2 3 4; do
    sleep 0.5
    shot
    result=$(census "$dump")
    grep -q ' groups=70225 other=0 ' <<<"$result" || { keep "$dump" bad; fail "running: $result"; }
    [ "$(counts_of "$result")" = "$reference" ] || { keep "$dump" bad; fail "counts changed: $result"; }
    moved=$(changed "$previous" "$dump")
    [ "$moved" -gt 0 ] || fail "the map did not change in half a second while running"
    previous=$dump
done
step "running: counts steady over 4 frames, the map moving"

# Checks the counts in the dump just taken.
same_counts() {
    result=$(census "$dump")
    [ "$(counts_of "$result")" = "$reference" ] && grep -q ' other=0 ' <<<"$result" \
        || { keep "$dump" bad; fail "$1: $result"; }
}

# --- Pause: two frames a second apart are identical.
click "$main_window" "${PauseAt[@]}"
sleep 0.5
shot; same_counts "paused"; first=$dump
sleep 1
shot; same_counts "paused"
moved=$(changed "$first" "$dump")
[ "$moved" -eq 0 ] || fail "paused, yet $moved map pixels changed in a second"
keep "$dump" paused
step "paused: two frames a second apart are identical"

# --- Continue: they differ again.
click "$main_window" "${ContinueAt[@]}"
sleep 0.5
shot; same_counts "continued"; first=$dump
sleep 1
shot; same_counts "continued"
moved=$(changed "$first" "$dump")
[ "$moved" -gt 0 ] || fail "continued, yet the map stood still for a second"
step "continued: $moved map pixels changed in a second"
before_info=$dump

# --- The information window comes on Display More Information and goes on Close.
info_window=''
info_shown() { info_window=$(window_of "$InfoTitle"); [ -n "$info_window" ] && viewable "$info_window"; }
click "$main_window" "${DisplayMoreAt[@]}"
wait_for 10 info_shown || fail "no \"$InfoTitle\" window appeared on Display More Information"
xwininfo -id "$info_window" | grep -q 'Width: 604' || fail "the information window is not 604 pixels wide"
# A dialog of the main window, centred over it.
transient_for=$(xprop -id "$info_window" WM_TRANSIENT_FOR | sed -n 's/.*window id # //p')
[ -n "$transient_for" ] && (( transient_for == main_window )) \
    || fail "the information window is not transient for the main window ($transient_for)"
centre_of() {   # the centre of window $1's client area on the screen
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
        /Width:/ {w = $NF} /Height:/ {h = $NF} END {print x + int(w / 2), y + int(h / 2)}'
}
read -r main_x main_y < <(centre_of "$main_window")
read -r info_x info_y < <(centre_of "$info_window")
near() { (( $1 - $2 <= 1 && $2 - $1 <= 1 )); }   # within a pixel: odd sizes halve unevenly
near "$main_x" "$info_x" && near "$main_y" "$info_y" \
    || fail "the information window is centred on $info_x,$info_y, the main window on $main_x,$main_y"
sleep 0.3
xwd -silent -id "$info_window" -out "$out/info.xwd" && keep "$out/info.xwd" info
step "information window $info_window shown, a dialog of the main window centred over it"
click "$info_window" "${CloseAt[@]}"
wait_for 10 bash -c '! xwininfo -id "$0" 2>/dev/null | grep -q IsViewable' "$info_window" \
    || fail "the information window stayed on the screen after Close"
step "information window gone after Close"
shot; same_counts "after the information window"
moved=$(changed "$before_info" "$dump")
[ "$moved" -gt 0 ] || fail "the map stood still while the information window was open"

# --- Start Over: the notice stands whole over the buttons for the whole construction.
# It once showed only inside the hidden buttons' rectangles on every city after the first.
shot
state=$(notice "$dump" "$notice_ref")
grep -q 'shown=0' <<<"$state" || fail "the buttons cannot be told from the notice: $state"
question=''
question_shown() { question=$(window_of "$QuestionTitle\""); [ -n "$question" ] && viewable "$question"; }
click "$main_window" "${StartOverAt[@]}"
wait_for 10 question_shown || fail "no \"$QuestionTitle\" question came on Start Over"
# Cancel is the default: Shift+Tab moves to OK, Space presses it.
xdotool windowactivate --sync "$question" key shift+Tab space
notice_frames=0
construction_over() {
    shot
    state=$(notice "$dump" "$notice_ref")
    if grep -q 'shown=1' <<<"$state"; then
        notice_frames=$((notice_frames + 1))
        grep -q 'same=1' <<<"$state" \
            || { keep "$dump" notice-broken; fail "the notice is not whole while Start Over builds a city: $state"; }
        return 1
    fi
    [ "$notice_frames" -gt 0 ]
}
wait_for 60 construction_over || { keep "$dump" timeout; fail "no construction was seen after OK: $state"; }
result=$(census "$dump")
grep -q ' other=0 .*ready=1' <<<"$result" || { keep "$dump" bad; fail "after Start Over: $result"; }
step "Start Over: the notice whole in $notice_frames frames, then a new city: $result"

# --- Closing the main window ends the program by itself.
wmctrl -i -c "$main_window" || fail "wmctrl could not ask the main window to close"
ended() { ! kill -0 "$app_pid" 2>/dev/null; }
app=$app_pid
app_pid=''   # its end is expected now
wait_for 5 ended || { app_pid=$app; fail "the program was still running 5 s after its window was closed"; }
status=0
wait "$app" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status after its window was closed"
step "closing the main window ended the program (status 0)"
echo "[e2e] all end-to-end checks passed; screenshots in $out"
