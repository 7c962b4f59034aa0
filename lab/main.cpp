// SPDX-License-Identifier: GPL-3.0-or-later
#include "labarguments.h"
#include "labrun.h"
#include "measuresreport.h"
#include "progressbar.h"
#include "runrecorder.h"

#include <QApplication>
#include <QCoreApplication>
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

int Execute(const Invocation &invocation, const QStringList &commandLine, InterruptWatch &interrupt)
{
    const RunSpec &spec = invocation.spec;
    if (spec.seedPicked)
        Say(QStringLiteral("picked the seed %1 (give --seed %1 to run this city again)").arg(spec.seed));

    std::unique_ptr<RunRecorder> recorder;
    if (!spec.outDir.isEmpty()) {
        recorder = std::make_unique<RunRecorder>(spec, commandLine);
        if (const auto error = recorder->Begin()) {
            Say(*error);
            return Failed;
        }
    }
    ProgressBar progress(spec.generations, !invocation.quiet && isatty(STDERR_FILENO));
    Sample last;
    WriteError failure;
    LabRun run(spec);
    const LabRun::End end = run.Execute(
        [&](qint64 generation, const HeadlessCity &city) {
            progress.Update(generation);
            if (recorder) {
                failure = recorder->Visit(generation, city);
                return !failure;
            }
            if (generation == spec.generations)
                last = TakeSample(city, generation);
            return true;
        },
        &interrupt.stop());
    progress.Finish();

    switch (end) {
    case LabRun::End::Stopped:
        Say(QStringLiteral("interrupted; the files of this run that were not complete were not written"));
        return interrupt.caught() ? SignalBase + interrupt.caught() : Failed;
    case LabRun::End::Refused:
        Say(failure.value_or(QStringLiteral("the run was stopped")));
        return Failed;
    case LabRun::End::Damaged:
        Say(QStringLiteral("the city map is damaged (an empty home between generations)"));
        return Failed;
    case LabRun::End::Finished:
        break;
    }
    if (recorder) {
        if (const auto error = recorder->Finish()) {
            Say(*error);
            return Failed;
        }
        last = recorder->samples().back();
    }
    if (!recorder || !invocation.quiet)
        std::fputs(qPrintable(MeasuresReport(last, spec.seed)), recorder ? stderr : stdout);
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
    qInstallMessageHandler(QuietQtMessages);
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const auto parsed = ParseArguments(arguments, QRandomGenerator::system()->generate());
    if (const auto *usage = std::get_if<UsageError>(&parsed)) {
        Say(usage->message);
        std::fputs("Try 'velmora-lab --help' for more information.\n", stderr);
        return Usage;
    }
    const Invocation &invocation = std::get<Invocation>(parsed);
    switch (invocation.command) {
    case Invocation::Command::Help:
        std::fputs(qPrintable(invocation.text), stdout);
        return Done;
    case Invocation::Command::Version:
        std::printf("velmora-lab %s\n", VELMORA_VERSION);
        return Done;
    case Invocation::Command::Run:
    case Invocation::Command::Rerun:
        break;
    }

    // Charts are drawn with Qt's widgets, on the offscreen platform: never a window.
    std::unique_ptr<QCoreApplication> app;
    if (invocation.spec.chart) {
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
    return Execute(invocation, commandLine, interrupt);
}
