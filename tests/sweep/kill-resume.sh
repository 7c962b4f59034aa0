#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# kill -9 at random moments, then --resume: the merged files must be the same bytes as
# those of the sweep run in one go. The sweep is killed KILLS times, each time after a random
# delay while it runs (or resumes) on two jobs, then resumed to the end. The delays are drawn
# from a twelfth to a half of the time the whole sweep took, so that kills land before the
# first run ends, between runs and among them, on a busy machine as on an idle one; every
# other one from a quarter on, past the end of the first runs (a sixth of the whole on two
# jobs), so that some runs always finish between the kills.
#
#   kill-resume.sh VELMORA_LAB WORK_DIR [KILLS]
set -uo pipefail

lab=$1
work=$2
kills=${3:-6}
# Many rows per run, so that kills land inside a run's rows as well as between runs.
SWEEP=(--prefs "0..8/4,50%,50%,0..8/8,50%" --seeds 2 --base-seed 5 --generations 92 --every 2)

fail() { echo "FAILED: $*"; exit 1; }

rm -rf "$work"
mkdir -p "$work"
start=$(date +%s%N)
"$lab" sweep "${SWEEP[@]}" --out "$work/whole" --jobs 2 --quiet || fail "the sweep in one go failed"
whole_ms=$((($(date +%s%N) - start) / 1000000))
shortest_ms=$((whole_ms / 12 + 1))
"$lab" merge "$work/whole" --quiet || fail "merging the sweep in one go failed"

# Random delays, printed so that a failing sequence can be tried again by hand.
seed=${KILL_SEED:-$RANDOM}
RANDOM=$seed
echo "the whole sweep took $whole_ms ms; kill delays from KILL_SEED=$seed"
killed=0
for attempt in $(seq "$kills"); do
    low_ms=$((attempt % 2 == 0 ? whole_ms / 4 : shortest_ms))
    delay_ms=$((low_ms + RANDOM % (whole_ms / 2 - low_ms + 1)))
    "$lab" sweep "${SWEEP[@]}" --out "$work/killed" --jobs 2 --resume --quiet &
    pid=$!
    sleep "$(printf '%d.%03d' $((delay_ms / 1000)) $((delay_ms % 1000)))"
    if kill -9 "$pid" 2>/dev/null; then
        killed=$((killed + 1))
        wait "$pid" 2>/dev/null
        echo "attempt $attempt: killed after $delay_ms ms; $(($(wc -l <"$work/killed/shards/shard-0-of-1.runs.csv") - 1)) runs finished"
    else
        wait "$pid" || fail "attempt $attempt: the sweep ended with status $? before it was killed"
        echo "attempt $attempt: done before the kill at $delay_ms ms"
    fi
done
finished=$(($(wc -l <"$work/killed/shards/shard-0-of-1.runs.csv") - 1))
[ "$killed" -gt 0 ] || fail "no attempt was killed while it ran: the sweep is too short for this check"
[ "$finished" -gt 0 ] || fail "no run finished between the kills: they came too early to test a resume"

"$lab" sweep "${SWEEP[@]}" --out "$work/killed" --jobs 2 --resume --quiet || fail "the last resume failed"
"$lab" merge "$work/killed" --quiet || fail "merging the killed and resumed sweep failed"
for file in runs.csv measures.csv sweep.json; do
    cmp "$work/whole/$file" "$work/killed/$file" || fail "$file differs after $killed kills"
done
echo "PASSED: $killed kills at random moments, then --resume: the merged files are the same bytes"
