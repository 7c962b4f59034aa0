// SPDX-License-Identifier: GPL-3.0-or-later
#include "labrun.h"
#include "runrecorder.h"

#include <QTemporaryDir>

#include "benchmain.h"

#include <benchmark/benchmark.h>


// A whole recorded run as `velmora-lab run --years 100 --out DIR` makes it: construction,
// 4,566 generations, the measures every 46 generations and at the end, measures.csv and
// run.json written.
static void BM_Run100Years(benchmark::State &state)
{
    QTemporaryDir dir;
    RunSpec spec;
    spec.seed = 7;
    spec.prefs = QStringList(GroupCount, QStringLiteral("50%"));
    spec.generations = GenerationsForYears(100);
    spec.every = RunLimits::DefaultEvery;
    spec.outDir = dir.path();
    for (auto _ : state) {
        RunRecorder recorder(spec, {QStringLiteral("velmora-lab")});
        if (recorder.Begin())
            state.SkipWithError("cannot write the files");
        LabRun run(spec);
        run.Execute([&](qint64 g, const HeadlessCity &city) { return !recorder.Visit(g, city); });
        if (recorder.Finish())
            state.SkipWithError("cannot write the files");
    }
    state.counters["generations"] = double(spec.generations);
}
BENCHMARK(BM_Run100Years)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char **argv)
{
    return RunBenchmarks(argc, argv);
}
