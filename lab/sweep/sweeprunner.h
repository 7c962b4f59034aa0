// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "labrun.h"
#include "runset.h"
#include "shardfiles.h"
#include "shardlock.h"
#include "shardwriter.h"
#include "sweepsettings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// One run of a sweep, done: its row of the runs table and its rows of the measures table.
struct SweepRunResult
{
    LabRun::End end = LabRun::End::Stopped;
    QByteArray measuresRows;
    QByteArray runsRow;
};

// Runs one run of the sweep with its own city; it shares nothing with other runs, so any
// number of them can run at once on different threads.
SweepRunResult ExecuteSweepRun(const SweepDefinition &definition, const SweepRun &run,
                               const std::atomic<bool> *stop = nullptr);

// Why a sweep cannot start or go on. A usage problem (the folder holds another sweep, or
// this shard without --resume) is the command line's fault; anything else is a failure.
struct SweepProblem
{
    bool usage = false;
    QString message;
};

// The runs of a shard that no table in the folder holds, in id order: the shard's places
// (run id / shard count) that are not among those done, found as they are asked for, so
// that a shard of billions of runs costs what it has done, not what it has to do.
class PendingRuns
{
public:
    PendingRuns() = default;
    PendingRuns(Shard shard, quint64 shardRuns, RunSet done);

    quint64 size() const { return shardRuns_ - done_.size(); }
    // The first pending run at or after the place, and the place after it; nullopt past the
    // last. For one thread at a time.
    std::optional<quint32> next(quint64 &place) const;
    // The first `limit` of them.
    std::vector<quint32> first(size_t limit) const;

private:
    Shard shard_;
    quint64 shardRuns_ = 0;
    RunSet done_;
};

// One shard of a sweep (the whole sweep is shard 0 of 1) in its folder. It takes the shard's
// lock (one writer to a shard, one split written at a time), checks what is already there
// and drops its unfinished tail, then runs the missing runs of the shard on `jobs` threads,
// each taking the next run as it finishes one, and appends every finished run to the shard's
// tables at once, in the order the runs finish. The lock is let go when the runner is.
class SweepRunner
{
public:
    SweepRunner(const SweepSettings &settings, const QStringList &commandLine, const QString &version);

    // Reads the folder and readies the shard's files; nothing runs yet.
    std::optional<SweepProblem> Prepare();

    enum class End { Finished, Stopped, Failed };
    // `progress` is told how many runs are written so far, from one thread at a time.
    using Progress = std::function<void(quint64 written)>;
    End Execute(const std::atomic<bool> *stop = nullptr, const Progress &progress = {});

    // The definition in force: a resume without --base-seed takes the recorded base seed.
    const SweepDefinition &definition() const { return settings_.definition; }
    const ShardFiles &files() const { return files_; }
    const PendingRuns &pending() const { return pending_; }
    quint64 shardRuns() const { return settings_.shard.size(settings_.definition.runCount()); }
    bool droppedTail() const { return droppedTail_; }
    // Whether a resume without --base-seed found the base seed in the folder.
    bool baseSeedRecorded() const { return baseSeedRecorded_; }
    quint64 written() const { return written_; }
    const QString &failure() const { return failure_; }

private:
    std::optional<SweepProblem> checkRecords(const std::vector<ShardRecord> &records);
    std::optional<SweepProblem> readRecords(std::vector<ShardRecord> &records);
    std::optional<SweepProblem> readFinished(const std::vector<ShardRecord> &records, RunSet &done);
    std::optional<quint32> takeNext();
    void work(std::atomic<bool> &halt, const std::atomic<bool> *stop, const Progress &progress);

    SweepSettings settings_;
    QStringList commandLine_;
    QString version_;
    ShardFiles files_;
    ShardWriter writer_;
    std::unique_ptr<ShardLock> lock_;
    PendingRuns pending_;
    std::mutex nextMutex_;   // guards the place of the next run to take
    quint64 nextPlace_ = 0;
    bool droppedTail_ = false;
    bool baseSeedRecorded_ = false;

    std::mutex mutex_;   // guards what the workers report
    quint64 written_ = 0;
    QString failure_;
    std::atomic<bool> failed_{false};
};
