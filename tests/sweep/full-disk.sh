#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A sweep that fills its disk ends with status 1 and a message naming the file; once there
# is room again, --resume finishes it and the merged files are those of a sweep that never
# failed. The small disk is a tmpfs of 200 KiB, mounted for the check, which needs root:
# without it the check is skipped (status 77).
#
#   full-disk.sh VELMORA_LAB WORK_DIR
set -uo pipefail

lab=$(realpath "$1")
work=$2
SKIP=77
SWEEP=(--prefs "0..8/4,50%,50%,0..8/8,50%" --seeds 2 --base-seed 5 --generations 92 --every 1)

fail() { echo "FAILED: $*"; exit 1; }

rm -rf "$work"
mkdir -p "$work/disk"
[ "$(id -u)" -eq 0 ] || { echo "SKIPPED: mounting a small disk needs root"; exit $SKIP; }
mount -t tmpfs -o size=200k velmora-full "$work/disk" 2>"$work/mount.log" \
    || { echo "SKIPPED: cannot mount a tmpfs here: $(cat "$work/mount.log")"; exit $SKIP; }
trap 'umount "$work/disk"' EXIT

"$lab" sweep "${SWEEP[@]}" --out "$work/whole" --jobs 2 --quiet || fail "the sweep on a roomy disk failed"
"$lab" merge "$work/whole" --quiet || fail "merging it failed"

"$lab" sweep "${SWEEP[@]}" --out "$work/disk/full" --jobs 2 --quiet 2>"$work/full.err"
status=$?
cat "$work/full.err"
[ "$status" -eq 1 ] || fail "a full disk ended the sweep with status $status, not 1"
grep -q "No space left on device" "$work/full.err" || fail "the message does not say the disk is full"

mount -o remount,size=8m "$work/disk" || fail "cannot make room on the disk"
"$lab" sweep "${SWEEP[@]}" --out "$work/disk/full" --jobs 2 --resume --quiet || fail "the resume after making room failed"
"$lab" merge "$work/disk/full" --quiet || fail "merging the resumed sweep failed"
for file in runs.csv measures.csv; do
    cmp "$work/whole/$file" "$work/disk/full/$file" || fail "$file differs after the full disk and the resume"
done
echo "PASSED: the full disk ended the sweep with status 1; the resume gave the same merged files"
