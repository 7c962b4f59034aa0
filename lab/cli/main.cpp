// SPDX-License-Identifier: GPL-3.0-or-later
#include "corestrings.h"
#include "heatmap.h"
#include "labarguments.h"
#include "labrun.h"
#include "measuresreport.h"
#include "progressbar.h"
#include "runfolder.h"
#include "runrecorder.h"
#include "standardoutput.h"
#include "sweepmerge.h"
#include "sweeprunner.h"
#include "sweeptable.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace {

enum ExitStatus { Done = 0, Failed = 1, Usage = 2 };
constexpr int SignalBase = 128;   // a shell's status for a process ended by a signal

void Say(const QString &message)
{
    std::fprintf(stderr, "velmora-lab: %s\n", qPrintable(message));
}

// Ctrl+C and a polite kill end the run between two generations, so that every file is
// either complete or not there. The signals are taken by a thread of their own with
// sigwait, which hands them to the run as a flag it reads between generations.
class InterruptWatch
{
public:
    InterruptWatch()
    {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGINT);
        sigaddset(&signals_, SIGTERM);
        sigaddset(&signals_, SIGHUP);
        pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
        watcher_ = std::thread([this] {
            int signal = 0;
            sigwait(&signals_, &signal);
            if (!finished_.load())
                caught_.store(signal);
            stop_.store(true);
        });
    }
    ~InterruptWatch()
    {
        finished_.store(true);
        pthread_kill(watcher_.native_handle(), SIGTERM);   // wakes sigwait, which then ends
        watcher_.join();
    }
    const std::atomic<bool> &stop() const { return stop_; }
    int caught() const { return caught_.load(); }

private:
    sigset_t signals_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::atomic<int> caught_{0};
    std::thread watcher_;
};

// Refusals of the folder are usage errors (2): nothing was done, and --force or another
// folder is the remedy, as with any other argument.
int Execute(const Invocation &invocation, const QStringList &commandLine, InterruptWatch &interrupt)
{
    const RunPlan &plan = invocation.plan;
    const QString folderName = QDir::toNativeSeparators(ToQString(plan.outDir));
    RunFolder folder;
    if (!plan.outDir.empty()) {
        if (const auto problem = folder.Prepare(plan, invocation.force)) {
            Say(problem->message);
            return problem->refused ? Usage : Failed;
        }
        if (!folder.removed().isEmpty())
            Say(QStringLiteral("removed the run that was in %1 (%2 files)").arg(folderName).arg(folder.removed().size()));
    }
    if (plan.seedPicked)
        Say(QStringLiteral("picked the seed %1 (give --seed %1 to run this city again)").arg(plan.seed));

    std::unique_ptr<RunRecorder> recorder;
    auto fail = [&](const QString &message) {
        if (recorder)
            recorder->Fail(message);
        Say(message);
        return Failed;
    };
    if (!plan.outDir.empty()) {
        recorder = std::make_unique<RunRecorder>(plan, commandLine);
        if (const auto error = recorder->Begin())
            return fail(*error);
    }
    ProgressBar progress(plan.generations, !invocation.quiet && isatty(STDERR_FILENO));
    Sample last;
    qint64 lastGeneration = 0;
    WriteError failure;
    LabRun run(plan);
    const LabRun::End end = run.Execute(
        [&](qint64 generation, const HeadlessCity &city) {
            progress.Update(generation);
            lastGeneration = generation;
            if (recorder) {
                failure = recorder->Visit(generation, city);
                return !failure;
            }
            if (generation == plan.generations)
                last = TakeSample(city, generation);
            return true;
        },
        &interrupt.stop());
    progress.Finish();

    switch (end) {
    case LabRun::End::Stopped: {
        QString message = QStringLiteral("interrupted after generation %1 of %2").arg(lastGeneration).arg(plan.generations);
        if (recorder) {
            if (const auto error = recorder->Interrupt()) {
                message += QStringLiteral("; %1").arg(*error);
                recorder->Fail(*error);
            } else {
                message += QStringLiteral(": %1 holds the %2 rows measured so far and a run.json that says where it "
                                          "stopped (velmora-lab rerun runs the whole run again)")
                               .arg(folderName)
                               .arg(recorder->samples().size());
            }
        }
        Say(message);
        return interrupt.caught() ? SignalBase + interrupt.caught() : Failed;
    }
    case LabRun::End::Refused:
        return fail(failure.value_or(QStringLiteral("the run was stopped")));
    case LabRun::End::Damaged:
        return fail(QStringLiteral("the city map is damaged (an empty home between generations)"));
    case LabRun::End::Finished:
        break;
    }
    if (recorder) {
        if (const auto error = recorder->Finish())
            return fail(*error);
        last = recorder->samples().back();
    }
    const QByteArray report = MeasuresReport(last, plan.seed).toUtf8();
    if (!recorder) {
        if (const auto error = WriteStandardOutput(report, QStringLiteral("the table of measures"))) {
            Say(*error);
            return Failed;
        }
    } else if (!invocation.quiet) {
        std::fputs(report.constData(), stderr);
    }
    return Done;
}

// The run table goes out about this many bytes at a time.
constexpr qsizetype ListBlock = 1 << 16;

int ListSweep(const SweepSettings &settings)
{
    const SweepDefinition &definition = settings.definition;
    if (settings.baseSeedPicked)
        Say(QStringLiteral("picked the base seed %1 (give --base-seed %1 to list or run this sweep again)")
                .arg(definition.baseSeed));
    const QString what = QStringLiteral("the run table");
    QByteArray table = ToBytes(SweepTable::ListHeaderLine());
    for (quint64 id = settings.shard.index; id < definition.runCount(); id += settings.shard.count) {
        table += ToBytes(SweepTable::ListLine(RunAt(definition, quint32(id))));
        if (table.size() >= ListBlock) {
            if (const auto error = WriteStandardOutput(table, what)) {
                Say(*error);
                return Failed;
            }
            table.clear();
        }
    }
    if (const auto error = WriteStandardOutput(table, what)) {
        Say(*error);
        return Failed;
    }
    return Done;
}

int ExecuteSweep(const SweepSettings &settings, const QStringList &commandLine, InterruptWatch &interrupt)
{
    if (settings.list)
        return ListSweep(settings);

    SweepRunner runner(settings, commandLine, QStringLiteral(VELMORA_VERSION));
    if (const auto problem = runner.Prepare()) {
        Say(problem->message);
        return problem->usage ? Usage : Failed;
    }
    const SweepDefinition &definition = runner.definition();
    const Shard &shard = settings.shard;
    const QString shardName = shard.count > 1 ? QStringLiteral("shard %1 of %2").arg(shard.index).arg(shard.count)
                                              : QStringLiteral("the sweep");
    if (runner.baseSeedRecorded())
        Say(QStringLiteral("going on with the recorded base seed %1").arg(definition.baseSeed));
    else if (settings.baseSeedPicked)
        Say(QStringLiteral("picked the base seed %1 (give --base-seed %1 to run this sweep again)").arg(definition.baseSeed));
    if (runner.droppedTail() && !settings.quiet)
        Say(QStringLiteral("dropped the rows of a run that was not finished"));
    const quint64 already = runner.shardRuns() - runner.pending().size();
    if (already > 0 && !settings.quiet)
        Say(QStringLiteral("%1 of the %2 runs of %3 are there already").arg(already).arg(runner.shardRuns()).arg(shardName));

    ProgressBar progress(qint64(runner.pending().size()), !settings.quiet && isatty(STDERR_FILENO), stderr,
                         ProgressBar::Counting::Runs);
    const SweepRunner::End end = runner.Execute(&interrupt.stop(), [&](quint64 written) { progress.Update(qint64(written)); });
    progress.Finish();

    const QString resume = QStringLiteral("run the same command with --resume to run the rest");
    switch (end) {
    case SweepRunner::End::Failed:
        Say(QStringLiteral("%1; %2 runs were written before; %3").arg(runner.failure()).arg(runner.written()).arg(resume));
        return Failed;
    case SweepRunner::End::Stopped:
        Say(QStringLiteral("interrupted after %1 runs; %2").arg(runner.written()).arg(resume));
        return interrupt.caught() ? SignalBase + interrupt.caught() : Failed;
    case SweepRunner::End::Finished:
        break;
    }
    if (!settings.quiet) {
        Say(QStringLiteral("%1: %2 runs written to %3").arg(shardName).arg(runner.written())
                .arg(QDir::toNativeSeparators(runner.files().runsPath())));
        Say(QStringLiteral("when every shard is done: velmora-lab merge %1").arg(settings.outDir));
    }
    return Done;
}

int ExecuteMerge(const MergeSettings &settings)
{
    SweepMerge merge(settings.folder, QStringLiteral(VELMORA_VERSION));
    if (const auto problem = merge.Read()) {
        Say(problem->message);
        return problem->usage ? Usage : Failed;
    }
    std::optional<std::pair<GroupIndex, GroupIndex>> axes;
    if (!settings.chartMeasure.isEmpty()) {
        // An axis along a group the sweep held at one value is one column wide: no heat map.
        QStringList swept;
        for (GroupIndex g = 1; g <= GroupCount; ++g) {
            if (merge.definition().prefSets[g].size() > 1)
                swept << ToQString(GroupName(g));
        }
        for (const auto &[name, group] : {std::pair{"x", settings.x}, std::pair{"y", settings.y}}) {
            if (group != NoGroup && merge.definition().prefSets[group].size() < 2) {
                Say(QStringLiteral("--%1 %2: %3 was not swept; %4")
                        .arg(QLatin1String(name), ToQString(GroupKey(group)), ToQString(GroupName(group)),
                             swept.isEmpty() ? QStringLiteral("no group was")
                                             : QStringLiteral("the groups swept are %1").arg(swept.join(QStringLiteral(", ")))));
                return Usage;
            }
        }
        axes = HeatMapAxes(merge.definition(), settings.x, settings.y);
        if (axes->first == NoGroup || axes->second == NoGroup) {
            Say(QStringLiteral("--chart: no two groups to put on the axes"));
            return Usage;
        }
    }
    if (const auto error = merge.Write()) {
        Say(*error);
        return Failed;
    }
    if (!settings.quiet)
        Say(QStringLiteral("merged %1 runs from %2 shards into %3 and %4")
                .arg(merge.definition().runCount())
                .arg(merge.shardCount())
                .arg(QDir::toNativeSeparators(merge.runsPath()), QDir::toNativeSeparators(merge.measuresPath())));
    if (axes) {
        const auto map = ReadHeatMap(merge.runsPath(), merge.definition(), settings.chartMeasure, axes->first, axes->second);
        if (const auto *why = std::get_if<QString>(&map)) {
            Say(*why);
            return Failed;
        }
        const HeatMap &heatMap = std::get<HeatMap>(map);
        const QString file = QDir(settings.folder).filePath(HeatMapFileName(heatMap));
        if (const auto error = WriteHeatMapPng(heatMap, file)) {
            Say(*error);
            return Failed;
        }
        if (!settings.quiet)
            Say(QStringLiteral("drew %1").arg(QDir::toNativeSeparators(file)));
    }
    return Done;
}

// Qt's own notes (a missing runtime folder, fonts) are not the user's business on a command
// line; its errors still are.
void QuietQtMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        Say(message);
}

} // namespace

int main(int argc, char *argv[])
{
    KeepStandardStreamsTaken();
    qInstallMessageHandler(QuietQtMessages);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const auto parsed = ParseArguments(arguments, QRandomGenerator::system()->generate());
    if (const auto *usage = std::get_if<UsageError>(&parsed)) {
        Say(usage->message);
        if (arguments.isEmpty())
            std::fputs(qPrintable(GeneralHelp()), stderr);
        else
            std::fputs("Try 'velmora-lab --help' for more information.\n", stderr);
        return Usage;
    }
    const Invocation &invocation = std::get<Invocation>(parsed);
    switch (invocation.command) {
    case Invocation::Command::Help:
    case Invocation::Command::Version: {
        const QByteArray text = invocation.command == Invocation::Command::Help
            ? invocation.text.toUtf8()
            : QByteArrayLiteral("velmora-lab " VELMORA_VERSION "\n");
        const auto error = WriteStandardOutput(text, invocation.command == Invocation::Command::Help
                                                         ? QStringLiteral("the help")
                                                         : QStringLiteral("the version"));
        if (error)
            Say(*error);
        return error ? Failed : Done;
    }
    case Invocation::Command::Run:
    case Invocation::Command::Rerun:
    case Invocation::Command::Sweep:
    case Invocation::Command::Merge:
        break;
    }

    // Charts are drawn with Qt's widgets, and captions with Qt's fonts, on the offscreen
    // platform: never a window.
    std::unique_ptr<QCoreApplication> app;
    const RunPlan &plan = invocation.plan;
    const bool drawing = (invocation.command == Invocation::Command::Merge && !invocation.merge.chartMeasure.isEmpty())
        || ((invocation.command == Invocation::Command::Run || invocation.command == Invocation::Command::Rerun)
            && (plan.chart || (plan.captions && (plan.snapshotEvery > 0 || plan.gif))));
    if (drawing) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("velmora-lab"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));

    InterruptWatch interrupt;
    QStringList commandLine{QStringLiteral("velmora-lab")};
    commandLine += arguments;
    switch (invocation.command) {
    case Invocation::Command::Sweep:
        return ExecuteSweep(invocation.sweep, commandLine, interrupt);
    case Invocation::Command::Merge:
        return ExecuteMerge(invocation.merge);
    default:
        return Execute(invocation, commandLine, interrupt);
    }
}
