#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Ctrl+C on a run without a display (scripts/run under Xvfb) must end it quietly.

Usage: interrupt-run.py PROGRAM SCRIPTS-DIR OUTPUT-DIR

The run's commands are started in a terminal of their own, as a user would start them;
once the program has been up for a moment, Ctrl+C is typed into that terminal. The run
must then end by itself within a few seconds, with status 0 or the usual status of an
interrupt, print nothing but its own progress lines, and leave no process behind.
"""

import os
import pty
import select
import signal
import sys
import time

STARTED = b"press Ctrl+C to stop"
SETTLE_SECONDS = 2       # the program connects to its X server and builds its first city
START_TIMEOUT = 60
END_TIMEOUT = 10
INTERRUPT = b"\x03"      # what Ctrl+C sends down a terminal
INTERRUPTED_STATUS = 128 + signal.SIGINT


def processes():
    """Each process's parent and start time, by process id; zombies left out."""
    table = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        if fields[0] != "Z":
            table[int(entry)] = (int(fields[1]), fields[19])
    return table


def descendants(root):
    """The processes below `root`, each with its start time, so that a reused id is no match."""
    table = processes()
    found, queue = {}, [root]
    while queue:
        parent = queue.pop()
        for pid, (ppid, started) in table.items():
            if ppid == parent and pid not in found:
                found[pid] = started
                queue.append(pid)
    return found


def read_until(fd, deadline, output, wanted=None):
    """Appends the terminal's output to `output` until `wanted` shows, EOF or the deadline."""
    while time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], 0.1)
        if not ready:
            continue
        try:
            chunk = os.read(fd, 4096)
        except OSError:   # the terminal's other end has closed
            return False
        if not chunk:
            return False
        output.extend(chunk)
        if wanted and wanted in output:
            return True
    return None


def main(program, scripts, out):
    os.makedirs(out, exist_ok=True)
    shot = os.path.join(out, "screenshot.png")
    # What scripts/run does once it has found no display, with the shell options it sets.
    command = f'set -euo pipefail; source "{scripts}/common.sh" && run_under_xvfb "{program}" "{shot}"'
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["XDG_RUNTIME_DIR"] = os.path.join(out, "runtime")
    os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)

    pid, fd = pty.fork()
    if pid == 0:
        # A terminal's Ctrl+C must reach the run even if this test was started ignoring it.
        signal.signal(signal.SIGINT, signal.SIG_DFL)
        os.execvpe("bash", ["bash", "-c", command], env)

    output = bytearray()
    failures = []
    started = {}
    try:
        if not read_until(fd, time.monotonic() + START_TIMEOUT, output, STARTED):
            failures.append("the run did not start")
        else:
            read_until(fd, time.monotonic() + SETTLE_SECONDS, output)
            before = len(output)
            started = descendants(pid)
            os.write(fd, INTERRUPT)
            read_until(fd, time.monotonic() + END_TIMEOUT, output)
            after = output[before:].decode(errors="replace")
            noise = [line for line in after.replace("\r", "").split("\n")
                     if line.strip() not in ("", "^C") and not line.startswith("\x1b[1m==>")]
            if noise:
                failures.append("after Ctrl+C it printed:\n  " + "\n  ".join(noise))
    finally:
        deadline = time.monotonic() + END_TIMEOUT
        ended = None
        while time.monotonic() < deadline:
            done, status = os.waitpid(pid, os.WNOHANG)
            if done:
                ended = status
                break
            time.sleep(0.1)
        table = processes()
        left = [p for p, t in started.items() if p in table and table[p][1] == t]
        for member in left:
            os.kill(member, signal.SIGKILL)
        if ended is None:
            os.kill(pid, signal.SIGKILL)
            os.waitpid(pid, 0)
            failures.append(f"the run was still going {END_TIMEOUT} s after Ctrl+C")
        elif left:
            failures.append(f"processes were left behind: {left}")
        with open(os.path.join(out, "terminal.log"), "wb") as f:
            f.write(output)

    if ended is not None:
        code = os.waitstatus_to_exitcode(ended)
        if code not in (0, INTERRUPTED_STATUS, -signal.SIGINT):
            failures.append(f"the run ended with status {code}")
    if failures:
        print("FAILED: " + "\n".join(failures))
        print(f"(the terminal's output is in {out}/terminal.log)")
        return 1
    print(f"Ctrl+C ended the run quietly (status {code})")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 4:
        raise SystemExit(__doc__)
    sys.exit(main(*sys.argv[1:]))
