// SPDX-License-Identifier: GPL-3.0-or-later
#include "sweepmerge.h"

#include "corestrings.h"
#include "sweepdefinitionjson.h"

#include "shardfiles.h"
#include "sweeptable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <map>
#include <memory>
#include <set>

namespace {

// Rows are gathered and written about this many bytes at a time.
constexpr qsizetype WriteBlock = 1 << 20;
// Open shard tables kept at once while copying; past this they are closed and reopened.
constexpr size_t OpenTables = 64;
// Runs named in the message about missing ones.
constexpr int MissingExamples = 5;

QString Native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

SweepMerge::SweepMerge(const QString &folder, const QString &version, size_t indexBudget)
    : folder_(folder)
    , version_(version)
    , indexBudget_(indexBudget)
{
}

QString SweepMerge::runsPath() const
{
    return QDir(folder_).filePath(QLatin1String(RunsFile));
}

QString SweepMerge::measuresPath() const
{
    return QDir(folder_).filePath(QLatin1String(MeasuresFile));
}

QString SweepMerge::recordPath() const
{
    return QDir(folder_).filePath(QLatin1String(RecordFile));
}

std::optional<SweepProblem> SweepMerge::Read()
{
    if (!QFileInfo(folder_).isDir())
        return SweepProblem{true, QStringLiteral("'%1' is not a folder").arg(Native(folder_))};
    const auto read = ShardFiles::ReadRecords(folder_);
    if (const auto *why = std::get_if<QString>(&read))
        return SweepProblem{true, *why};
    const auto &records = std::get<std::vector<ShardRecord>>(read);
    if (records.empty())
        return SweepProblem{true, QStringLiteral("'%1' holds no sweep: there is no shards/shard-I-of-N.json in it")
                                      .arg(Native(folder_))};

    const ShardRecord &first = records.front();
    definition_ = first.definition;
    for (const ShardRecord &record : records) {
        if (SweepFingerprint(record.definition) != SweepFingerprint(definition_))
            return SweepProblem{true, QStringLiteral("%1 and %2 belong to different sweeps (%3; %4): give each sweep "
                                                     "a folder of its own")
                                          .arg(Native(first.path), Native(record.path), ToQString(definition_.description()),
                                               ToQString(record.definition.description()))};
        if (record.version != version_)
            return SweepProblem{true, QStringLiteral("%1 was written by velmora-lab %2 and this is %3: merge it with %2")
                                          .arg(Native(record.path), record.version, version_)};
    }

    sources_.clear();
    index_ = std::make_unique<RunIndex>(folder_, indexBudget_);
    for (const ShardRecord &record : records) {
        const ShardFiles files(folder_, record.shard);
        ShardScan scan(definition_, record.shard);
        const quint32 source = quint32(sources_.size());
        sources_.push_back({files.runsPath(), files.measuresPath()});
        WriteError indexError;
        const auto visit = [&](const RunBlock &block) {
            if (!indexError)
                indexError = index_->Add({block.runId, source, block.runsOffset, block.runsLength, block.measuresOffset,
                                          block.measuresLength});
        };
        // A shard still running has a tail; its runs then count as missing.
        if (!scan.Read(files.runsPath(), files.measuresPath(), ShardScan::Tail::Unchecked, visit))
            return SweepProblem{false, scan.problem()};
        if (indexError)
            return SweepProblem{false, *indexError};
    }
    index_->Finish();
    return checkEveryRunOnce(records);
}

std::optional<SweepProblem> SweepMerge::checkEveryRunOnce(const std::vector<ShardRecord> &records) const
{
    std::set<quint32> counts;   // the splits of the sweep in the folder, usually one
    for (const ShardRecord &record : records)
        counts.insert(record.shard.count);
    const quint64 runCount = definition_.runCount();
    QStringList examples;
    QStringList shards;         // "I/N" of shards without all their runs
    quint64 missing = 0;
    // Runs from `from` up to `to` are in no shard.
    auto gap = [&](quint64 from, quint64 to) {
        missing += to - from;
        for (quint64 id = from; id < to && examples.size() < MissingExamples; ++id)
            examples << QString::number(id);
        for (const quint32 count : counts) {
            // Consecutive ids are in different shards of a split until they wrap around.
            for (quint64 id = from; id < to && id - from < count && shards.size() <= MissingExamples; ++id) {
                const QString shard = QStringLiteral("%1/%2").arg(id % count).arg(count);
                if (!shards.contains(shard))
                    shards << shard;
            }
        }
    };
    quint64 expected = 0;
    IndexEntry previous;
    std::optional<SweepProblem> twice;
    const auto read = index_->ForEach([&](const IndexEntry &entry) {
        if (entry.runId < expected) {
            twice = SweepProblem{false, QStringLiteral("run %1 is in both %2 and %3: a sweep's shards must hold "
                                                       "each run once; remove one of the two shards' files")
                                            .arg(entry.runId)
                                            .arg(Native(sources_[previous.source].runsPath),
                                                 Native(sources_[entry.source].runsPath))};
            return false;
        }
        if (entry.runId > expected)
            gap(expected, entry.runId);
        expected = quint64(entry.runId) + 1;
        previous = entry;
        return true;
    });
    if (read)
        return SweepProblem{false, *read};
    if (twice)
        return twice;
    if (expected < runCount)
        gap(expected, runCount);
    if (missing == 0)
        return std::nullopt;
    const QString more = QStringLiteral(", ...");
    if (shards.size() > MissingExamples) {
        shards.removeLast();
        shards.last() += more;
    }
    return SweepProblem{false, QStringLiteral("%1 of the sweep's %2 runs are missing (runs %3%4, of shards %5): run "
                                              "what is missing with velmora-lab sweep ... --resume, then merge again")
                                   .arg(missing)
                                   .arg(runCount)
                                   .arg(examples.join(QStringLiteral(", ")), missing > MissingExamples ? more : QString(),
                                        shards.join(QStringLiteral(", ")))};
}

WriteError SweepMerge::writeTable(const QString &fileName, const QByteArray &header, bool measures) const
{
    SaveFile out(fileName);
    if (!OpenForWriting(out))
        return CannotWrite(fileName, out.errorString());
    QByteArray pending = header;
    std::map<quint32, std::unique_ptr<QFile>> open;
    WriteError error;
    const auto read = index_->ForEach([&](const IndexEntry &place) {
        const Source &source = sources_[place.source];
        const QString &path = measures ? source.measuresPath : source.runsPath;
        auto it = open.find(place.source);
        if (it == open.end()) {
            if (open.size() >= OpenTables)
                open.clear();
            auto file = std::make_unique<QFile>(path);
            if (!file->open(QIODevice::ReadOnly)) {
                error = QStringLiteral("cannot read %1: %2").arg(Native(path), file->errorString());
                return false;
            }
            it = open.emplace(place.source, std::move(file)).first;
        }
        const qint64 offset = measures ? place.measuresOffset : place.runsOffset;
        const qint64 length = measures ? place.measuresLength : place.runsLength;
        if (!it->second->seek(offset)) {
            error = QStringLiteral("cannot read %1: %2").arg(Native(path), it->second->errorString());
            return false;
        }
        const QByteArray rows = it->second->read(length);
        if (rows.size() != length || !rows.startsWith(QByteArray::number(place.runId) + ',')) {
            error = QStringLiteral("%1 changed while it was being merged").arg(Native(path));
            return false;
        }
        pending += rows;
        if (pending.size() >= WriteBlock) {
            if (!WriteAll(out, pending)) {
                error = CannotWrite(fileName, out.errorString());
                return false;
            }
            pending.clear();
        }
        return true;
    });
    if (read)
        return read;
    if (error)
        return error;
    if (!WriteAll(out, pending) || !out.commit())
        return CannotWrite(fileName, out.errorString());
    return std::nullopt;
}

WriteError SweepMerge::Write() const
{
    if (!index_)
        return QStringLiteral("%1: nothing was read to merge").arg(Native(folder_));
    if (auto error = writeTable(runsPath(), ToBytes(SweepTable::RunsHeaderLine()), false))
        return error;
    if (auto error = writeTable(measuresPath(), ToBytes(SweepTable::MeasuresHeaderLine()), true))
        return error;
    // Nothing here depends on the shards or the time, so this file too is the same however
    // the sweep was run.
    const QJsonObject record{
        {QStringLiteral("program"), QStringLiteral("velmora-lab")},
        {QStringLiteral("format"), 1},
        {QStringLiteral("kind"), QStringLiteral("sweep")},
        {QStringLiteral("version"), version_},
        {QStringLiteral("definition"), SweepDefinitionToJson(definition_)},
        {QStringLiteral("fingerprint"), SweepFingerprint(definition_)},
        {QStringLiteral("runs"), double(definition_.runCount())},
        {QStringLiteral("files"), QJsonObject{{QStringLiteral("runs"), QLatin1String(RunsFile)},
                                              {QStringLiteral("measures"), QLatin1String(MeasuresFile)}}},
    };
    return SaveWhole(recordPath(), QJsonDocument(record).toJson(QJsonDocument::Indented));
}
