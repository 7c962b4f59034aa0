// SPDX-License-Identifier: GPL-3.0-or-later
#include "labrun.h"

#include "benchmain.h"

#include <benchmark/benchmark.h>


// velmora-lab's run of ten years at 50 % (seed 7, measured every 46 generations) without its
// files: the C++ side of what bench/bench_python.py times through the Python module.

namespace {

RunPlan TenYears()
{
    RunPlan plan;
    plan.seed = 7;
    plan.prefTexts = std::vector<std::string>(GroupCount, "50%");
    plan.generations = GenerationsForYears(10);
    plan.every = RunLimits::DefaultEvery;
    return plan;
}

} // namespace

// Construction, 457 generations and the eleven samples of measures.
static void BM_LabRunTenYears(benchmark::State &state)
{
    const RunPlan plan = TenYears();
    for (auto _ : state) {
        std::vector<Sample> samples;
        LabRun run(plan);
        run.Execute([&](std::int64_t g, const HeadlessCity &city) {
            if (plan.measuredAt(g))
                samples.push_back(TakeSample(city, g));
            return true;
        });
        benchmark::DoNotOptimize(samples.data());
    }
}
BENCHMARK(BM_LabRunTenYears)->Unit(benchmark::kMillisecond);

// Construction and 457 generations, unmeasured: what Run(...).advance(years=10) does.
static void BM_BuildAndRunTenYears(benchmark::State &state)
{
    const RunPlan plan = TenYears();
    for (auto _ : state) {
        LabRun run(plan);
        run.Execute([](std::int64_t, const HeadlessCity &) { return true; });
        benchmark::DoNotOptimize(&run);
    }
}
BENCHMARK(BM_BuildAndRunTenYears)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return RunBenchmarks(argc, argv);
}
