#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A generation natively and in WebAssembly, measured in the same run.

  bench/bench_web.py [--rounds N] [--build-web DIR] [--build-native DIR]

Builds bench/web/generation.cpp twice over the same core: natively with the system's
compiler (Release, -O3) as a project of its own, and with emscripten as part of the page's
build (the plain core and the SIMD one, both -O3), then runs the three in turn, round after
round, so that a busy machine slows all of them alike. Each program reports the median
microseconds of a generation (every group's preference 0, 4 or 8 eighths, after ten years
of a city from seed 7) and of one measuring of the city. The figure of a case is the median
over the rounds; WebAssembly runs under Node, whose V8 is the engine Chromium runs it with.
"""

import argparse
import os
import pathlib
import shutil
import statistics
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parents[1]
TARGET = 1.5   # WebAssembly may cost at most this many times the native generation


def run(command, **kwargs):
    result = subprocess.run(command, capture_output=True, text=True, **kwargs)
    if result.returncode != 0:
        sys.exit(f"bench_web.py: {' '.join(map(str, command))} failed:\n{result.stdout}{result.stderr}")
    return result.stdout


def build(native_dir, web_dir):
    print(f"Building the native benchmark in {native_dir}", file=sys.stderr)
    run(["cmake", "-S", ROOT / "bench" / "web", "-B", native_dir, "-DCMAKE_BUILD_TYPE=Release"])
    run(["cmake", "--build", native_dir, "-j", str(os.cpu_count() or 2), "--target", "bench_generation"])
    print(f"Building the WebAssembly benchmarks in {web_dir}", file=sys.stderr)
    if not (web_dir / "CMakeCache.txt").exists():
        run(["emcmake", "cmake", "-S", ROOT, "-B", web_dir, "-DCMAKE_BUILD_TYPE=Release"])
    run(["cmake", "--build", web_dir, "-j", str(os.cpu_count() or 2),
         "--target", "bench_generation", "bench_generation_simd"])


def measure(command):
    """{case: microseconds} from one run of a benchmark program."""
    figures = {}
    for line in run(command).splitlines():
        name, micros = line.split("\t")
        figures[name] = float(micros)
    return figures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--build-web", type=pathlib.Path, default=ROOT / "build-web")
    parser.add_argument("--build-native", type=pathlib.Path, default=ROOT / "build-bench-native")
    args = parser.parse_args()
    node = shutil.which("node") or sys.exit("bench_web.py: Node is needed to run WebAssembly")
    build(args.build_native, args.build_web)

    programs = {
        "native": [args.build_native / "bench_generation"],
        "wasm": [node, args.build_web / "bench" / "web" / "bench_generation.js"],
        "wasm SIMD": [node, args.build_web / "bench" / "web" / "bench_generation_simd.js"],
    }
    rounds = {name: [] for name in programs}
    for r in range(args.rounds):
        print(f"Round {r + 1} of {args.rounds}", file=sys.stderr)
        for name, command in programs.items():
            rounds[name].append(measure(command))

    cases = list(rounds["native"][0])
    figures = {name: {case: statistics.median(f[case] for f in rounds[name]) for case in cases} for name in programs}
    print(f"| case | native (µs) | wasm (µs) | ratio | wasm SIMD (µs) | ratio |")
    print("|---|---:|---:|---:|---:|---:|")
    worst = 0.0
    for case in cases:
        native = figures["native"][case]
        cells = [f"{native:.1f}"]
        for name in ("wasm", "wasm SIMD"):
            ratio = figures[name][case] / native
            cells += [f"{figures[name][case]:.1f}", f"{ratio:.2f}"]
            if case.startswith("generation") and name == "wasm SIMD":
                worst = max(worst, ratio)
        print(f"| {case} | {' | '.join(cells)} |")
    verdict = "within" if worst <= TARGET else "OVER"
    print(f"\nA generation in the page's WebAssembly (SIMD) costs at most {worst:.2f} times the native one: "
          f"{verdict} the target of {TARGET}.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
