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
    RunPlan plan;
    plan.seed = 7;
    plan.prefTexts = std::vector<std::string>(GroupCount, "50%");
    plan.generations = GenerationsForYears(100);
    plan.every = RunLimits::DefaultEvery;
    plan.outDir = dir.path().toStdString();
    for (auto _ : state) {
        RunRecorder recorder(plan, {QStringLiteral("velmora-lab")});
        if (recorder.Begin())
            state.SkipWithError("cannot write the files");
        LabRun run(plan);
        run.Execute([&](std::int64_t g, const HeadlessCity &city) { return !recorder.Visit(g, city); });
        if (recorder.Finish())
            state.SkipWithError("cannot write the files");
    }
    state.counters["generations"] = double(plan.generations);
}
BENCHMARK(BM_Run100Years)->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char **argv)
{
    return RunBenchmarks(argc, argv);
}
