// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurestable.h"
#include "runseed.h"
#include "sweeprunner.h"

#include <QProcess>
#include <QTemporaryDir>

#include "benchmain.h"

#include <benchmark/benchmark.h>


// Sweeps as velmora-lab runs them, files and all: runs per second on one and on two jobs,
// against the same runs as separate `velmora-lab run` processes, one after another. The
// sweeps' CPU column is the whole process's, over all its threads: on a machine busy with
// other work it still shows what a run costs on each number of jobs.

namespace {

// Eight ten-year runs measured every 46 generations: Blue at 0, 4 and 8 eighths is the
// slowest to the fastest home choice.
SweepDefinition Fixed()
{
    SweepDefinition definition;
    definition.prefSets = {PreferenceSet{}, {0, 4}, {4}, {4}, {4, 8}, {4}};
    definition.seeds = 2;
    definition.baseSeed = 11;
    definition.generations = 457;   // ten years
    definition.every = 46;
    return definition;
}

} // namespace

// arg: jobs
static void BM_SweepRuns(benchmark::State &state)
{
    const SweepDefinition definition = Fixed();
    for (auto _ : state) {
        QTemporaryDir folder;
        SweepSettings settings;
        settings.definition = definition;
        settings.jobs = int(state.range(0));
        settings.outDir = folder.path();
        SweepRunner runner(settings, {}, QStringLiteral("bench"));
        if (runner.Prepare() || runner.Execute() != SweepRunner::End::Finished)
            state.SkipWithError("the sweep failed");
    }
    state.SetItemsProcessed(state.iterations() * qint64(definition.runCount()));
    state.counters["runs_per_second"] = benchmark::Counter(double(state.iterations() * definition.runCount()),
                                                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SweepRuns)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The same runs, each a `velmora-lab run` process writing its own measures.csv.
static void BM_SeparateRunProcesses(benchmark::State &state)
{
    const SweepDefinition definition = Fixed();
    const std::vector<SweepRun> runs = ExpandRuns(definition);
    for (auto _ : state) {
        QTemporaryDir folder;
        for (const SweepRun &run : runs) {
            const int status = QProcess::execute(
                QStringLiteral(VELMORA_LAB),
                {QStringLiteral("run"), QStringLiteral("--seed"), QString::number(run.seed), QStringLiteral("--prefs"),
                 QString::fromStdString(MeasuresTable::JoinedLine(run.prefTexts)).trimmed(), QStringLiteral("--generations"), QString::number(definition.generations),
                 QStringLiteral("--every"), QString::number(definition.every), QStringLiteral("--quiet"),
                 QStringLiteral("--out"), folder.filePath(QString::number(run.runId))});
            if (status != 0)
                state.SkipWithError("velmora-lab run failed");
        }
    }
    state.SetItemsProcessed(state.iterations() * qint64(runs.size()));
    state.counters["runs_per_second"] = benchmark::Counter(double(state.iterations() * runs.size()),
                                                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SeparateRunProcesses)->Unit(benchmark::kMillisecond)->UseRealTime();

// One run of a sweep over 100 years, measured every 46 generations: the unit of the cost of
// a large sweep. arg: every group's preference in eighths.
static void BM_HundredYearRun(benchmark::State &state)
{
    SweepDefinition definition;
    const qint16 eighths = qint16(state.range(0));
    definition.prefSets = {PreferenceSet{}, {eighths}, {eighths}, {eighths}, {eighths}, {eighths}};
    definition.generations = 4566;   // 100 years
    definition.every = 46;
    quint32 id = 0;
    for (auto _ : state) {
        SweepRun run = RunAt(definition, 0);
        run.seed = RunSeed(definition.baseSeed, id++);   // a new city each time
        if (ExecuteSweepRun(definition, run).end != LabRun::End::Finished)
            state.SkipWithError("the run failed");
    }
}
BENCHMARK(BM_HundredYearRun)->Arg(0)->Arg(4)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    return RunBenchmarks(argc, argv);
}
