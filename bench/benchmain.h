// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Runs the benchmarks named on the command line, as Google Benchmark's own main does, but
// reads its flags in the C locale: under a German locale "--benchmark_min_time=0.01" would
// not be a number. The program's own texts follow QLocale, which this does not change.
int RunBenchmarks(int argc, char **argv);
