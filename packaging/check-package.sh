#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian packages, unpacks them into a scratch root and starts the program from
# there: what `apt install ./velmora_*.deb` would give a user, without touching the system.
# With a Python interpreter, the python3-velmora package too, whose module it then imports.
# Usage: check-package.sh <build dir> <source dir> <version> [<python3>]
set -euo pipefail

build=$1
source=$2
version=$3
python=${4:-}
app_id=org.example.Velmora
title='Velmora: Ethnic Group Residential Patterns'

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

scratch=$(mktemp -d)
app_pid=''
xvfb_pid=''
cleanup() {
    # The program runs until its window is closed: nothing may outlive the test.
    local pid
    for pid in $app_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$scratch"
}
trap cleanup EXIT

echo "Building the package"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 \
    || { cat "$scratch/cpack.log"; fail "cpack could not build the package"; }
shopt -s nullglob
debs=("$scratch"/out/*.deb)
shopt -u nullglob
arch=$(dpkg --print-architecture)
expected_debs="velmora_${version}_${arch}.deb"
[ -n "$python" ] && expected_debs="python3-velmora_${version}_${arch}.deb $expected_debs"
actual_debs=$(for d in "${debs[@]}"; do basename "$d"; done | LC_ALL=C sort | tr '\n' ' ')
[ "$actual_debs" = "$expected_debs " ] || fail "cpack wrote ${actual_debs:-nothing}instead of $expected_debs"
deb=$scratch/out/velmora_${version}_${arch}.deb

echo "Checking the control fields"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = velmora ] || fail "package name is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "package version is '$(field Version)', not $version"
[ "$(field Architecture)" = "$arch" ] || fail "architecture is '$(field Architecture)', not $arch"
description=$(field Description)
[ "$(wc -l <<<"$description")" -ge 2 ] || fail "the package has no long description"
grep -q ';' <<<"$description" && fail "the description reads as a list: $description"
depends=$(field Depends)
echo "Depends: $depends"
# dpkg-shlibdeps writes each library package with the least version the binary needs.
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
    grep -Eq "(^|, )${lib//+/\\+} \(>= [^)]+\)" <<<"$depends" || fail "Depends has no versioned $lib"
done

echo "Unpacking"
root=$scratch/root
dpkg -x "$deb" "$root"
expected="./usr/bin/velmora
./usr/bin/velmora-lab
./usr/share/applications/$app_id.desktop
./usr/share/doc/velmora/copyright
./usr/share/icons/hicolor/256x256/apps/$app_id.png
./usr/share/icons/hicolor/32x32/apps/$app_id.png
./usr/share/man/man1/velmora-lab.1.gz
./usr/share/metainfo/$app_id.metainfo.xml"
actual=$(cd "$root" && find . -type f | LC_ALL=C sort)
[ "$actual" = "$expected" ] || fail "the package holds
$actual
instead of
$expected"

program=$root/usr/bin/velmora
[ -x "$program" ] || fail "usr/bin/velmora is not executable"
file -b "$program" | grep -q '^ELF .*, stripped' || fail "usr/bin/velmora is not a stripped ELF: $(file -b "$program")"
readelf -d "$program" | grep -Eq 'RPATH|RUNPATH' && fail "usr/bin/velmora has a run path: $(readelf -d "$program" | grep -E 'RPATH|RUNPATH')"
lab=$root/usr/bin/velmora-lab
[ -x "$lab" ] || fail "usr/bin/velmora-lab is not executable"
file -b "$lab" | grep -q '^ELF .*, stripped' || fail "usr/bin/velmora-lab is not a stripped ELF: $(file -b "$lab")"
readelf -d "$lab" | grep -Eq 'RPATH|RUNPATH' && fail "usr/bin/velmora-lab has a run path"
for lib in libgif7 libqt6charts6 libqt6svg6; do
    grep -Eq "(^|, )$lib \(>= [^)]+\)" <<<"$depends" || fail "Depends has no versioned $lib for velmora-lab"
done
zcat "$root/usr/share/man/man1/velmora-lab.1.gz" | grep -q '^\.SH "COMMAND RUN"' \
    || fail "the manual page of velmora-lab has no section on the run command"

echo "Running the unpacked velmora-lab"
[ "$(env -u LD_LIBRARY_PATH "$lab" --version)" = "velmora-lab $version" ] || fail "velmora-lab --version is wrong"
env -u LD_LIBRARY_PATH "$lab" run --seed 5 --generations 3 --every 1 --out "$scratch/labrun" --chart --quiet \
    || fail "the unpacked velmora-lab could not run"
[ "$(wc -l <"$scratch/labrun/measures.csv")" -eq 5 ] || fail "velmora-lab wrote $(wc -l <"$scratch/labrun/measures.csv") lines, not a header and 4 rows"
[ -s "$scratch/labrun/chart.png" ] && [ -s "$scratch/labrun/run.json" ] || fail "velmora-lab left no chart or run.json"

icons=$root/usr/share/icons/hicolor
file -b "$icons/32x32/apps/$app_id.png" | grep -q '32 x 32, 4-bit colormap' \
    || fail "the 32 x 32 icon is $(file -b "$icons/32x32/apps/$app_id.png")"
cmp -s "$icons/32x32/apps/$app_id.png" "$source/ui/velmora.png" || fail "the 32 x 32 icon is not the window's"
file -b "$icons/256x256/apps/$app_id.png" | grep -q '256 x 256' || fail "the 256 x 256 icon has another size"
cmp -s "$icons/256x256/apps/$app_id.png" "$source/ui/velmora-256.png" || fail "the 256 x 256 icon is not the window's"

# The menu entry must lead to what the package installs.
desktop=$root/usr/share/applications/$app_id.desktop
entry() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(entry Exec)" = velmora ] || fail "the menu entry runs '$(entry Exec)'"
[ "$(entry Icon)" = "$app_id" ] || fail "the menu entry's icon is '$(entry Icon)'"
grep -qx 'Categories=Education;Science;' "$desktop" || fail "the menu entry is not under Education and Science"
metainfo=$root/usr/share/metainfo/$app_id.metainfo.xml
grep -q "<id>$app_id</id>" "$metainfo" || fail "the metainfo has another id"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" \
    || fail "the metainfo does not launch the menu entry"
grep -q '<binary>velmora</binary>' "$metainfo" || fail "the metainfo does not provide the program"
# The screenshot it names is the one kept in docs/.
shot_size=$(file -b "$source/docs/screenshot.png" | sed -n 's/.*, \([0-9]*\) x \([0-9]*\),.*/width="\1" height="\2"/p')
[ -n "$shot_size" ] && grep -q "<image type=\"source\" $shot_size>[^<]*/screenshot.png</image>" "$metainfo" \
    || fail "the metainfo's screenshot is not docs/screenshot.png ($shot_size)"

echo "Checking the licence"
/usr/bin/python3 "$source/packaging/check-licence.py" "$root" "$source" "$version" \
    || fail "the package's licence statements do not agree (above)"

# An X server of our own, so that no other test's window can pass for this one's.
echo "Starting the unpacked program under Xvfb"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$scratch/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { cat "$scratch/xvfb.log"; fail "Xvfb did not start"; }
    sleep 0.1
done
[ -s "$scratch/display" ] || fail "Xvfb did not report its display"
export DISPLAY=":$(head -n1 "$scratch/display")"

env -u LD_LIBRARY_PATH -u QT_PLUGIN_PATH QT_QPA_PLATFORM=xcb "$program" >"$scratch/velmora.log" 2>&1 &
app_pid=$!
window=''
for _ in $(seq 300); do
    kill -0 "$app_pid" 2>/dev/null || { cat "$scratch/velmora.log"; fail "the program exited"; }
    window=$(xwininfo -root -tree 2>/dev/null | awk -v t="\"$title\"" 'index($0, t) {print $1; exit}')
    [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || { cat "$scratch/velmora.log"; fail "no window titled '$title' appeared"; }
echo "Window $window: $title"

# Desktops match the window to the menu entry by its class, and show its icon at both sizes.
wm_class=$(xprop -id "$window" WM_CLASS)
grep -qF "\"$(entry StartupWMClass)\"" <<<"$wm_class" || fail "the window's class ($wm_class) is not the menu entry's"
icon_sizes=$(xprop -id "$window" -len 1000000 _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | LC_ALL=C sort -u | tr '\n' ' ')
[ "$icon_sizes" = "Icon (256 x 256) Icon (32 x 32) " ] || fail "the window's icons are: $icon_sizes"

kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
kill -0 "$app_pid" 2>/dev/null && fail "the program did not stop"
app_pid=''
echo "PASS: $(basename "$deb")"

[ -n "$python" ] || exit 0
pydeb=$scratch/out/python3-velmora_${version}_${arch}.deb
echo "Checking $(basename "$pydeb")"
pyfield() { dpkg-deb --field "$pydeb" "$1"; }
[ "$(pyfield Package)" = python3-velmora ] || fail "package name is '$(pyfield Package)'"
[ "$(pyfield Version)" = "$version" ] || fail "python3-velmora's version is '$(pyfield Version)'"
[ "$(pyfield Section)" = python ] || fail "python3-velmora is in section '$(pyfield Section)'"
[ "$(pyfield Description | wc -l)" -ge 2 ] || fail "python3-velmora has no long description"
pydepends=$(pyfield Depends)
echo "Depends: $pydepends"
# The python3 it was built for, as a range of one minor version, NumPy, whose arrays it hands
# out, and the C and C++ runtimes it links: the core it is built on needs nothing else.
grep -Eq '(^|, )python3 \(>= 3\.[0-9]+\), python3 \(<< 3\.[0-9]+\)' <<<"$pydepends" \
    || fail "Depends does not pin python3 to one minor version"
grep -Eq '(^|, )python3-numpy( |,|$)' <<<"$pydepends" || fail "Depends has no python3-numpy"
for lib in libc6 libstdc++6; do
    grep -Eq "(^|, )${lib//+/\\+} \(>= [^)]+\)" <<<"$pydepends" || fail "Depends has no versioned $lib"
done
others=$(tr ',' '\n' <<<"$pydepends" | awk '{print $1}' | grep -vxE 'python3|python3-numpy|libc6|libstdc\+\+6|libgcc-s1' || true)
[ -z "$others" ] || fail "python3-velmora depends on more than python3, NumPy and the C and C++ runtimes: $(tr '\n' ' ' <<<"$others")"

pyroot=$scratch/pyroot
dpkg -x "$pydeb" "$pyroot"
site=usr/lib/python3/dist-packages
pyfiles=$(cd "$pyroot" && find . -type f)
[[ "$pyfiles" =~ ^\./$site/velmora\.cpython-[0-9]+-[^/]*\.so$ ]] || fail "python3-velmora holds
$pyfiles
instead of one module in $site"
module=$pyroot/${pyfiles#./}
file -b "$module" | grep -q '^ELF .*, stripped' || fail "the module is not a stripped ELF: $(file -b "$module")"
readelf -d "$module" | grep -Eq 'RPATH|RUNPATH' && fail "the module has a run path"

echo "Importing the unpacked module with $python"
env -u PYTHONHOME PYTHONPATH="$pyroot/$site" PYTHONNOUSERSITE=1 "$python" - "$pyroot" <<'EOF_PY' \
    || fail "the unpacked module does not import and run"
import sys
import velmora
assert velmora.__file__.startswith(sys.argv[1]), velmora.__file__
run = velmora.Run(seed=7, prefs=["50%"] * 5)
run.advance(years=1)
assert run.map().shape == (265, 265) and run.date.year == 2006
print(velmora.__name__, velmora.__version__, run)
EOF_PY
echo "PASS: $(basename "$pydeb")"
