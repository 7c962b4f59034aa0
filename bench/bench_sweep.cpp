// SPDX-License-Identifier: GPL-3.0-or-later
#include "measurestable.h"
#include "runindex.h"
#include "runseed.h"
#include "runset.h"
#include "shardfiles.h"
#include "sweeprunner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <fcntl.h>
#include <random>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

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

// Memory. A sweep of 4,294,929,015 runs (every preference 0 to 8 eighths, 72,735 seeds, one
// generation each) of which a few run: the peak resident memory of each velmora-lab process
// as the system counts it, in MiB, for a start stopped by Ctrl+C after two runs, a resume
// stopped the same way, a merge (which finds the runs missing), --list of one shard in a
// million, and a finished sweep of two runs to compare with. Holding four bytes a run, the
// start alone took 17 GB.

namespace {

extern "C" char **environ;

struct Child
{
    pid_t pid = -1;
};

Child Start(const QStringList &arguments)
{
    std::vector<QByteArray> bytes{QByteArrayLiteral(VELMORA_LAB)};
    for (const QString &argument : arguments)
        bytes.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    Child child;
    if (posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

// Its peak resident memory in MiB, once it has ended; -1 when it could not be had.
double PeakMiB(const Child &child)
{
    int status = 0;
    struct rusage usage{};
    if (child.pid < 0 || wait4(child.pid, &status, 0, &usage) != child.pid)
        return -1;
    return double(usage.ru_maxrss) / 1024.0;   // ru_maxrss is in KiB
}

qint64 Lines(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
}

// Waits for `runs` rows in the runs table, then interrupts the sweep as Ctrl+C would.
double PeakOfInterrupted(const QStringList &arguments, const QString &runsFile, qint64 runs)
{
    const Child child = Start(arguments);
    for (int waited = 0; child.pid > 0 && Lines(runsFile) < runs && waited < 60000; waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (child.pid > 0)
        kill(child.pid, SIGINT);
    return PeakMiB(child);
}

const QStringList Huge{"sweep", "--prefs", "0..8,0..8,0..8,0..8,0..8", "--seeds", "72735", "--base-seed", "5",
                       "--generations", "1", "--every", "1", "--jobs", "1", "--quiet"};

} // namespace

static void BM_HugeSweepPeakMemory(benchmark::State &state)
{
    for (auto _ : state) {
        QTemporaryDir folder;
        const QString out = folder.filePath(QStringLiteral("huge"));
        const QString runs = ShardFiles(out, {}).runsPath();
        state.counters["start_MiB"] = PeakOfInterrupted(Huge + QStringList{"--out", out}, runs, 1 + 2);
        state.counters["resume_MiB"] = PeakOfInterrupted(Huge + QStringList{"--out", out, "--resume"}, runs, 1 + 4);
        state.counters["merge_MiB"] = PeakMiB(Start({"merge", out, "--quiet"}));
        state.counters["list_MiB"] = PeakMiB(Start(Huge + QStringList{"--list", "--shard", "0/1000000"}));
        state.counters["small_sweep_MiB"] = PeakMiB(Start(
            {"sweep", "--prefs", "0..1,.5,.5,.5,.5", "--base-seed", "5", "--generations", "1", "--every", "1", "--jobs", "1",
             "--quiet", "--out", folder.filePath(QStringLiteral("small"))}));
    }
}
BENCHMARK(BM_HugeSweepPeakMemory)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The merge's index of where each run's rows are, for `n` runs written nearly in order as a
// shard of several jobs writes them: the peak resident memory of a process that builds and
// reads it, above one that does nothing, in MiB; the second argument 1 keeps every entry in
// memory, as an index without a budget would.
static void BM_MergeIndexPeakMemory(benchmark::State &state)
{
    const qint64 n = state.range(0);
    const bool unbounded = state.range(1) == 1;
    auto peakOfChild = [](const std::function<void()> &work) {
        const pid_t pid = fork();
        if (pid == 0) {
            work();
            _exit(0);
        }
        return PeakMiB(Child{pid});
    };
    for (auto _ : state) {
        QTemporaryDir folder;
        const double idle = peakOfChild([] {});
        const double used = peakOfChild([&] {
            RunIndex index(folder.path(), unbounded ? size_t(n) : RunIndex::DefaultBudget);
            std::mt19937 random{7};
            for (qint64 i = 0; i < n; ++i)
                (void)index.Add({quint32(std::max<qint64>(0, i - qint64(random() % 64))), 0, i, 1, i, 1});
            index.Finish();
            quint64 sum = 0;
            (void)index.ForEach([&](const IndexEntry &entry) {
                sum += entry.runId;
                return true;
            });
            benchmark::DoNotOptimize(sum);
        });
        state.counters["index_MiB"] = used - idle;
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_MergeIndexPeakMemory)
    ->Args({1 << 20, 0})
    ->Args({1 << 22, 0})
    ->Args({1 << 22, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The set of runs a shard has done, as a resume reads it: `n` places written by 32 jobs
// nearly in order; bytes held per place and in all.
static void BM_RunSetMemory(benchmark::State &state)
{
    const qint64 n = state.range(0);
    for (auto _ : state) {
        RunSet done;
        std::mt19937 random{3};
        for (qint64 i = 0; i < n; ++i)
            done.insert(quint64(std::max<qint64>(0, i - qint64(random() % 32))));
        for (qint64 i = 0; i < n; ++i)
            done.insert(quint64(i));   // those the shuffle left out
        state.counters["bytes"] = double(done.bytes());
        state.counters["bytes_per_run"] = double(done.bytes()) / double(n);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_RunSetMemory)->Arg(1 << 20)->Arg(1 << 26)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return RunBenchmarks(argc, argv);
}
