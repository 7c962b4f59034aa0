// SPDX-License-Identifier: GPL-3.0-or-later
#include "sweeprunner.h"

#include "corestrings.h"
#include "sweepdefinitionjson.h"

#include "shardscan.h"
#include "sweeptable.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <thread>

namespace {

// How often the waiting thread looks at the interrupt flag.
constexpr std::chrono::milliseconds InterruptPoll{50};

SweepProblem Usage(const QString &message)
{
    return {true, message};
}

SweepProblem Failure(const QString &message)
{
    return {false, message};
}

QString Native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

PendingRuns::PendingRuns(Shard shard, quint64 shardRuns, RunSet done)
    : shard_(shard)
    , shardRuns_(shardRuns)
    , done_(std::move(done))
{
}

std::optional<quint32> PendingRuns::next(quint64 &place) const
{
    if (place >= shardRuns_)
        return std::nullopt;
    const quint64 found = done_.nextMissing(place);
    if (found >= shardRuns_) {
        place = shardRuns_;
        return std::nullopt;
    }
    place = found + 1;
    return quint32(found * shard_.count + shard_.index);
}

std::vector<quint32> PendingRuns::first(size_t limit) const
{
    std::vector<quint32> ids;
    quint64 place = 0;
    while (ids.size() < limit) {
        const auto id = next(place);
        if (!id)
            break;
        ids.push_back(*id);
    }
    return ids;
}

SweepRunResult ExecuteSweepRun(const SweepDefinition &definition, const SweepRun &run, const std::atomic<bool> *stop)
{
    RunPlan plan;
    plan.seed = run.seed;
    plan.prefTexts = run.prefTexts;
    plan.generations = definition.generations;
    plan.every = definition.every;

    SweepRunResult result;
    SweepTable::FirstYears firstYears{};
    Sample last;
    LabRun lab(plan);
    result.end = lab.Execute(
        [&](qint64 generation, const HeadlessCity &city) {
            if (!plan.measuredAt(generation))
                return true;
            Sample sample = TakeSample(city, generation);
            result.measuresRows += ToBytes(SweepTable::MeasuresLine(run.runId, sample));
            const std::optional<double> share = sample.measures.sameShareAll;
            for (size_t i = 0; i < firstYears.size(); ++i) {
                if (!firstYears[i] && share && *share >= SweepTable::Thresholds[i].share)
                    firstYears[i] = sample.years;
            }
            if (generation == plan.generations)
                last = std::move(sample);
            return true;
        },
        stop);
    if (result.end == LabRun::End::Finished)
        result.runsRow = ToBytes(SweepTable::RunsLine(run, last, firstYears));
    return result;
}

SweepRunner::SweepRunner(const SweepSettings &settings, const QStringList &commandLine, const QString &version)
    : settings_(settings)
    , commandLine_(commandLine)
    , version_(version)
    , files_(settings.outDir, settings.shard)
{
}

std::optional<SweepProblem> SweepRunner::checkRecords(const std::vector<ShardRecord> &records)
{
    const QString fingerprint = SweepFingerprint(settings_.definition);
    const Shard &shard = settings_.shard;
    for (const ShardRecord &record : records) {
        const QString path = Native(record.path);
        if (SweepFingerprint(record.definition) != fingerprint)
            return Usage(QStringLiteral("%1 belongs to another sweep (%2); this one is %3: give another --out folder, "
                                        "or the same definition")
                             .arg(path, ToQString(record.definition.description()), ToQString(settings_.definition.description())));
        if (record.version != version_)
            return Usage(QStringLiteral("%1 was written by velmora-lab %2 and this is %3, whose runs may differ: "
                                        "finish the sweep with %2, or start it again in another folder")
                             .arg(path, record.version, version_));
        if (settings_.resume)
            continue;
        // "Add --resume" would only lead to a shard that another process is writing. (Under
        // our own lock, that process would be this one.)
        if (const auto busy = lock_ ? std::nullopt : ShardLock::Held(settings_.outDir, shard))
            return Usage(busy->message);
        if (record.shard == shard)
            return Usage(QStringLiteral("%1: this shard has run in this folder before; add --resume to run only "
                                        "the runs it is missing")
                             .arg(path));
        if (record.shard.count != shard.count)
            return Usage(QStringLiteral("%1 splits this sweep into %2 shards and this command into %3; add --resume "
                                        "to run only the runs that none of them holds")
                             .arg(path)
                             .arg(record.shard.count)
                             .arg(shard.count));
    }
    return std::nullopt;
}

std::optional<SweepProblem> SweepRunner::readFinished(const std::vector<ShardRecord> &records, RunSet &done)
{
    const Shard &shard = settings_.shard;
    for (const ShardRecord &record : records) {
        // Another part of the same split holds none of this shard's runs: a task of a large
        // array that resumes reads its own tables only.
        const bool disjoint = record.shard.count == shard.count && record.shard.index != shard.index;
        if (disjoint || (record.path != files_.recordPath() && !settings_.resume))
            continue;
        const ShardFiles files(settings_.outDir, record.shard);
        ShardScan scan(settings_.definition, record.shard);
        const bool own = record.shard == shard;
        const auto visit = [&](const RunBlock &run) {
            if (shard.holds(run.runId))
                done.insert(run.runId / shard.count);
        };
        // Only this shard's tail is dropped, so only its tail is checked.
        if (!scan.Read(files.runsPath(), files.measuresPath(), own ? ShardScan::Tail::Checked : ShardScan::Tail::Unchecked,
                       visit))
            return Failure(scan.problem() + QStringLiteral("; the files were changed by something other than "
                                                           "velmora-lab, and this sweep cannot go on with them"));
        if (own && scan.hasTail()) {
            if (const auto error = scan.DropTail())
                return Failure(*error);
            droppedTail_ = true;
        }
    }
    return std::nullopt;
}

std::optional<SweepProblem> SweepRunner::readRecords(std::vector<ShardRecord> &records)
{
    const auto read = ShardFiles::ReadRecords(settings_.outDir);
    if (const auto *why = std::get_if<QString>(&read))
        return Usage(*why);
    records = std::get<std::vector<ShardRecord>>(read);
    if (settings_.baseSeedPicked && settings_.resume && !records.empty()) {
        settings_.definition.baseSeed = records.front().definition.baseSeed;
        baseSeedRecorded_ = true;
    }
    if (settings_.baseSeedPicked && !baseSeedRecorded_ && settings_.shard.count > 1)
        return Usage(QStringLiteral("--shard: a sweep split into shards needs --base-seed, the same for every "
                                    "shard, so that they all expand the same runs"));
    return checkRecords(records);
}

std::optional<SweepProblem> SweepRunner::Prepare()
{
    // Once before the lock, so that a folder of another sweep is refused with nothing
    // written in it, and again under it, as another writer may have been at work.
    std::vector<ShardRecord> records;
    if (auto problem = readRecords(records))
        return problem;
    auto lock = ShardLock::Take(settings_.outDir, settings_.shard);
    if (const auto *refusal = std::get_if<ShardLock::Refusal>(&lock))
        return SweepProblem{refusal->busy, refusal->message};
    lock_ = std::move(std::get<std::unique_ptr<ShardLock>>(lock));
    if (auto problem = readRecords(records))
        return problem;

    const bool known = std::any_of(records.begin(), records.end(),
                                   [&](const ShardRecord &record) { return record.path == files_.recordPath(); });
    if (known) {
        if (auto error = files_.CreateMissingTables())
            return Failure(*error);
    } else {
        ShardRecord record;
        record.definition = settings_.definition;
        record.shard = settings_.shard;
        record.version = version_;
        record.baseSeedPicked = settings_.baseSeedPicked;
        record.path = files_.recordPath();
        if (auto error = files_.Create(record, commandLine_))
            return Failure(*error);
        records.push_back(record);
    }

    RunSet done;
    if (auto problem = readFinished(records, done))
        return problem;
    pending_ = PendingRuns(settings_.shard, shardRuns(), std::move(done));
    nextPlace_ = 0;
    if (auto error = writer_.Open(files_))
        return Failure(*error);
    return std::nullopt;
}

std::optional<quint32> SweepRunner::takeNext()
{
    const std::lock_guard lock(nextMutex_);
    return pending_.next(nextPlace_);
}

void SweepRunner::work(std::atomic<bool> &halt, const std::atomic<bool> *stop, const Progress &progress)
{
    auto fail = [&](const QString &message) {
        const std::lock_guard lock(mutex_);
        if (failure_.isEmpty())
            failure_ = message;
        failed_.store(true);
        halt.store(true);
    };
    // The interrupt is looked at before each run as well, so none starts after it.
    while (!halt.load() && !(stop && stop->load())) {
        const auto id = takeNext();
        if (!id)
            return;
        const SweepRun run = RunAt(settings_.definition, *id);
        const SweepRunResult result = ExecuteSweepRun(settings_.definition, run, &halt);
        if (result.end == LabRun::End::Stopped)
            return;
        if (result.end != LabRun::End::Finished)
            return fail(QStringLiteral("run %1: the city map is damaged (an empty home between generations)").arg(run.runId));
        if (const auto error = writer_.Append(result.measuresRows, result.runsRow))
            return fail(*error);
        const std::lock_guard lock(mutex_);
        ++written_;
        if (progress)
            progress(written_);
    }
}

SweepRunner::End SweepRunner::Execute(const std::atomic<bool> *stop, const Progress &progress)
{
    std::atomic<bool> halt{false};
    const size_t jobs = size_t(std::clamp<quint64>(quint64(std::max(settings_.jobs, 1)), 1,
                                                   std::max<quint64>(pending_.size(), 1)));

    std::condition_variable finished;
    size_t running = jobs;
    std::vector<std::thread> workers;
    for (size_t j = 0; j < jobs; ++j) {
        workers.emplace_back([&] {
            work(halt, stop, progress);
            const std::lock_guard lock(mutex_);
            --running;
            finished.notify_one();
        });
    }
    {
        std::unique_lock lock(mutex_);
        while (running > 0) {
            finished.wait_for(lock, InterruptPoll);
            if (stop && stop->load())
                halt.store(true);
        }
    }
    for (std::thread &worker : workers)
        worker.join();

    if (failed_.load())
        return End::Failed;
    return written_ == pending_.size() ? End::Finished : End::Stopped;
}
