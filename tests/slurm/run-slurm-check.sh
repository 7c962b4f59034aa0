#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A sweep on a real Slurm: starts a one-node cluster of its own (munged, slurmctld, slurmd,
# from Debian's slurm-wlm and munge) with its configuration and state in a temporary folder,
# submits slurm/sweep.sbatch as an array of four tasks and slurm/merge.sbatch after it, and
# compares the merged files with the same sweep run by one local process, byte for byte.
# Every daemon it started is stopped on the way out, also after a failure.
#
#   run-slurm-check.sh VELMORA_LAB SOURCE_DIR LOG_DIR
#
# Exit status: 0 passed, 1 failed, 77 skipped (the reason is printed: not root, the packages
# missing, no free ports, a daemon that does not start), which CTest reports as skipped.
set -uo pipefail

lab=$(realpath "$1")
src=$(realpath "$2")
logs=$3
SKIP=77
TASKS=4
START_SECONDS=60     # for the node to come up
JOB_SECONDS=300      # for the array and the merge to end
SWEEP=(--prefs "0..8/4,50%,50%,0..8/8,50%" --seeds 2 --base-seed 11 --generations 46 --every 23)

say() { printf '[slurm check] %s\n' "$*"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
seconds_since() { local ms=$(($(now_ms) - $1)); printf '%d.%d' $((ms / 1000)) $((ms % 1000 / 100)); }
skip() { say "SKIPPED: $*"; exit $SKIP; }

[ "$(id -u)" -eq 0 ] || skip "not root: munged, slurmctld and slurmd of a private cluster must run as root here"
for tool in munged slurmctld slurmd sbatch scontrol sinfo scancel; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (apt-get install slurm-wlm munge)"
done
[ -x "$lab" ] || { say "FAILED: $lab is not a program"; exit 1; }

# Under /tmp: a Unix socket's path must stay short.
tmp=$(mktemp -d /tmp/velmora-slurm.XXXXXX)
chmod 755 "$tmp"
mkdir -p "$tmp/munge" "$tmp/ctld" "$tmp/spool" "$tmp/work" "$logs"
export SLURM_CONF=$tmp/slurm.conf
daemons=()
jobs_submitted=()

stop_all() {
    local status=$?
    trap - EXIT INT TERM
    [ ${#jobs_submitted[@]} -gt 0 ] && scancel "${jobs_submitted[@]}" >/dev/null 2>&1
    # A polite request first; then each daemon this script started, by its process id.
    [ ${#daemons[@]} -gt 0 ] && timeout 10 scontrol shutdown >/dev/null 2>&1
    local pid i
    for pid in "${daemons[@]}"; do
        for i in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; [ "$i" -eq 1 ] && kill "$pid" 2>/dev/null; sleep 0.1; done
        kill -0 "$pid" 2>/dev/null && kill -9 "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    cp -f "$tmp"/*.log "$tmp"/slurm.conf "$tmp"/work/*.out "$logs"/ 2>/dev/null
    rm -rf "$tmp"
    exit "$status"
}
trap stop_all EXIT
trap 'exit 1' INT TERM

fail() {
    say "FAILED: $*"
    local log
    for log in "$tmp"/*.log "$tmp"/work/*.out; do
        [ -f "$log" ] && { echo "--- $(basename "$log") (last lines)"; tail -n 15 "$log"; }
    done
    exit 1
}

port_taken() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
free_port() {
    local port
    for port in $(seq "$1" "$(($1 + 200))"); do
        port_taken "$port" || { echo "$port"; return 0; }
    done
    return 1
}
base=$((20000 + RANDOM % 20000))
ctld_port=$(free_port "$base") || skip "no free TCP port from $base on for slurmctld"
slurmd_port=$(free_port "$((ctld_port + 1))") || skip "no free TCP port from $((ctld_port + 1)) on for slurmd"

# munged, with a key of its own.
dd if=/dev/urandom of="$tmp/munge/munge.key" bs=1024 count=1 status=none
chmod 400 "$tmp/munge/munge.key"
chmod 700 "$tmp/munge"
socket=$tmp/munge/munge.socket
munged --foreground --force --socket="$socket" --key-file="$tmp/munge/munge.key" \
    --pid-file="$tmp/munge/munged.pid" --seed-file="$tmp/munge/munged.seed" \
    --log-file="$tmp/munged.log" >>"$tmp/munged.log" 2>&1 &
daemons+=($!)
for i in $(seq 50); do [ -S "$socket" ] && break; sleep 0.1; done
[ -S "$socket" ] || skip "munged did not start: $(tail -n 3 "$tmp/munged.log" | tr '\n' ' ')"

host=$(hostname -s)
cpus=$(nproc)
cat >"$SLURM_CONF" <<CONF
ClusterName=velmoracheck
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$socket
StateSaveLocation=$tmp/ctld
SlurmdSpoolDir=$tmp/spool
SlurmctldPidFile=$tmp/slurmctld.pid
SlurmdPidFile=$tmp/slurmd.pid
SlurmctldLogFile=$tmp/slurmctld.log
SlurmdLogFile=$tmp/slurmd.log
# No cgroups: process tracking by the process tree, no task binding, no accounting.
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
MpiDefault=none
MailProg=/bin/true
ReturnToService=2
SlurmdParameters=config_overrides
NodeName=velmoranode NodeHostname=$host NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=check Nodes=velmoranode Default=YES MaxTime=INFINITE State=UP
CONF

started=$(now_ms)
slurmctld -D -c -f "$SLURM_CONF" >>"$tmp/slurmctld.log" 2>&1 &
daemons+=($!)
slurmd -D -N velmoranode -f "$SLURM_CONF" >>"$tmp/slurmd.log" 2>&1 &
daemons+=($!)

state=""
for i in $(seq $((START_SECONDS * 2))); do
    state=$(sinfo -h -n velmoranode -o %t 2>/dev/null | head -n 1)
    case "$state" in idle | mix | alloc) break ;; esac
    for pid in "${daemons[@]}"; do
        kill -0 "$pid" 2>/dev/null || skip "a Slurm daemon ended at start: $(tail -n 3 "$tmp"/slurm*.log | tr '\n' ' ')"
    done
    sleep 0.5
done
case "$state" in idle | mix | alloc) ;; *) skip "the node did not come up within $START_SECONDS s (state '$state'): $(tail -n 3 "$tmp"/slurm*.log | tr '\n' ' ')" ;; esac
say "one-node cluster up in $(seconds_since "$started") s (slurmctld on port $ctld_port, slurmd on $slurmd_port, $cpus CPUs)"

# The sweep as an array, the merge after it.
up=$(now_ms)
cd "$tmp/work" || fail "no work folder"
export VELMORA_LAB=$lab
array=$(sbatch --parsable --array=0-$((TASKS - 1)) "$src/slurm/sweep.sbatch" "${SWEEP[@]}" --out "$tmp/cluster") \
    || fail "sbatch refused the array"
jobs_submitted+=("$array")
merge=$(sbatch --parsable --dependency=afterok:"$array" "$src/slurm/merge.sbatch" "$tmp/cluster") \
    || fail "sbatch refused the merge job"
jobs_submitted+=("$merge")
say "submitted the array $array ($TASKS tasks) and the merge $merge after it"

merge_state=""
for i in $(seq $((JOB_SECONDS * 2))); do
    merge_state=$(scontrol -o show job "$merge" 2>/dev/null | sed -n 's/.*JobState=\([A-Z_]*\).*/\1/p')
    case "$merge_state" in COMPLETED | FAILED | CANCELLED | TIMEOUT | NODE_FAIL | OUT_OF_MEMORY) break ;; esac
    sleep 0.5
done
scontrol -o show job "$array" 2>/dev/null | sed -n 's/.*JobId=\([0-9]*\) .*ArrayTaskId=\([0-9]*\) .*JobState=\([A-Z_]*\).*ExitCode=\([0-9:]*\).*/  task \2: \3, exit \4/p'
[ "$merge_state" = COMPLETED ] || fail "the merge job ended as '${merge_state:-unknown}' (or not within $JOB_SECONDS s)"
say "array and merge done in $(seconds_since "$up") s"

# The same sweep in one local process.
"$lab" sweep "${SWEEP[@]}" --out "$tmp/local" --jobs 2 --quiet || fail "the local sweep failed"
"$lab" merge "$tmp/local" --quiet || fail "the local merge failed"
for file in runs.csv measures.csv sweep.json; do
    cmp "$tmp/local/$file" "$tmp/cluster/$file" || fail "$file from Slurm differs from the local one"
done
shards=$(ls "$tmp/cluster/shards"/shard-*-of-$TASKS.json 2>/dev/null | wc -l)
[ "$shards" -eq "$TASKS" ] || fail "$shards shard records instead of $TASKS"
say "PASSED: runs.csv, measures.csv and sweep.json from $TASKS Slurm tasks and the merge job equal the local sweep's ($(($(wc -l <"$tmp/local/runs.csv") - 1)) runs)"
