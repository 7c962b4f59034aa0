#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""What calling the model from Python costs: a ten-year run (seed 7, 50 % each, measured every
46 generations) through the velmora module, against velmora-lab doing the same run and the
same run in C++ without files (bench_labrun, Google Benchmark). CPU time of the working thread
or process, the median of several rounds, so that other work on the machine counts as little as
it can. Exits 1 when simulate() costs more than 5 % above velmora-lab. Run by hand after a build:

    PYTHONPATH=build/python python3 bench/bench_python.py build
"""

import argparse
import json
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

import velmora

SEED, PREFS, YEARS, EVERY = 7, ["50%"] * 5, 10, 46
LIMIT = 1.05  # the Python path may cost at most 5 % more than the C++ one


def cpu_time(work):
    start = time.thread_time()
    work()
    return time.thread_time() - start


def without_pandas():
    saved = sys.modules.get("pandas")
    sys.modules["pandas"] = None
    try:
        return velmora.simulate(SEED, PREFS, years=YEARS, every=EVERY)
    finally:
        if saved is None:
            del sys.modules["pandas"]
        else:
            sys.modules["pandas"] = saved


def with_pandas():
    return velmora.simulate(SEED, PREFS, years=YEARS, every=EVERY)


def advance_ten_years():
    velmora.Run(seed=SEED, prefs=PREFS).advance(years=YEARS)


def google_benchmark(build):
    """CPU seconds of one iteration of each of bench_labrun's benchmarks."""
    done = subprocess.run([os.path.join(build, "bench", "bench_labrun"), "--benchmark_min_time=0.3",
                           "--benchmark_format=json"], check=True, capture_output=True, text=True)
    return {b["run_name"]: b["cpu_time"] / 1000 for b in json.loads(done.stdout)["benchmarks"]}


def lab_process(program, folder):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run([program, "run", "--seed", str(SEED), "--prefs", ",".join(PREFS), "--years", str(YEARS),
                    "--every", str(EVERY), "--out", folder, "--force", "--quiet"], check=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("build", help="the build folder, with bench/bench_labrun and lab/velmora-lab")
    parser.add_argument("--rounds", type=int, default=15)
    arguments = parser.parse_args()
    program = os.path.join(arguments.build, "lab", "velmora-lab")

    with_pandas()  # imports pandas, warms the caches
    # Every round times each way once, so that a change in the machine's load falls on all.
    times = {}
    with tempfile.TemporaryDirectory() as folder:
        for _ in range(arguments.rounds):
            for name, seconds in google_benchmark(arguments.build).items():
                times.setdefault(name, []).append(seconds)
            for name, work in (("simulate_dict", without_pandas), ("simulate_frame", with_pandas),
                               ("advance", advance_ten_years)):
                times.setdefault(name, []).append(cpu_time(work))
            times.setdefault("lab", []).append(lab_process(program, folder))
    median = {name: statistics.median(values) for name, values in times.items()}

    rows = [("C++: LabRun, measured (bench_labrun)", "BM_LabRunTenYears", None),
            ("Python: simulate() -> dict of arrays", "simulate_dict", "BM_LabRunTenYears"),
            ("Python: simulate() -> DataFrame", "simulate_frame", "BM_LabRunTenYears"),
            ("velmora-lab run --out (whole process)", "lab", "BM_LabRunTenYears"),
            ("C++: LabRun, unmeasured (bench_labrun)", "BM_BuildAndRunTenYears", None),
            ("Python: Run().advance(years=10)", "advance", "BM_BuildAndRunTenYears")]
    print(f"{'ten-year run, seed 7, 50 % each':42} {'CPU ms':>8} {'vs C++':>8} {'vs lab':>8}")
    failed = False
    for title, name, base in rows:
        ratio = f"{median[name] / median[base]:8.3f}" if base else " " * 8
        to_lab = f"{median[name] / median['lab']:8.3f}" if name.startswith("simulate") else ""
        print(f"{title:42} {median[name] * 1000:8.1f} {ratio} {to_lab}")
        failed |= name.startswith("simulate") and median[name] / median["lab"] > LIMIT
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
