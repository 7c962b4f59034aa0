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

SweepMerge::SweepMerge(const QString &folder, const QString &version)
    : folder_(folder)
    , version_(version)
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

    places_.assign(definition_.runCount(), Place{});
    sources_.clear();
    for (const ShardRecord &record : records) {
        const ShardFiles files(folder_, record.shard);
        ShardScan scan(definition_, record.shard);
        // A shard still running has a tail; its runs then count as missing.
        if (!scan.Read(files.runsPath(), files.measuresPath(), ShardScan::Tail::Unchecked))
            return SweepProblem{false, scan.problem()};
        sources_.push_back({files.runsPath(), files.measuresPath()});
        for (const RunBlock &block : scan.runs()) {
            Place &place = places_[block.runId];
            if (place.source >= 0)
                return SweepProblem{false, QStringLiteral("run %1 is in both %2 and %3: a sweep's shards must hold "
                                                          "each run once; remove one of the two shards' files")
                                               .arg(block.runId)
                                               .arg(Native(sources_[place.source].runsPath), Native(files.runsPath()))};
            place = {int(sources_.size() - 1), block};
        }
    }
    if (const auto missing = missingRuns(records))
        return SweepProblem{false, *missing};
    return std::nullopt;
}

std::optional<QString> SweepMerge::missingRuns(const std::vector<ShardRecord> &records) const
{
    std::set<quint32> counts;   // the splits of the sweep in the folder, usually one
    for (const ShardRecord &record : records)
        counts.insert(record.shard.count);
    QStringList examples;
    QStringList shards;         // "I/N" of shards without all their runs
    quint64 missing = 0;
    for (quint64 id = 0; id < places_.size(); ++id) {
        if (places_[id].source >= 0)
            continue;
        if (++missing <= MissingExamples)
            examples << QString::number(id);
        for (const quint32 count : counts) {
            const QString shard = QStringLiteral("%1/%2").arg(id % count).arg(count);
            if (shards.size() <= MissingExamples && !shards.contains(shard))
                shards << shard;
        }
    }
    if (missing == 0)
        return std::nullopt;
    const QString more = QStringLiteral(", ...");
    if (shards.size() > MissingExamples) {
        shards.removeLast();
        shards.last() += more;
    }
    return QStringLiteral("%1 of the sweep's %2 runs are missing (runs %3%4, of shards %5): run what is missing "
                          "with velmora-lab sweep ... --resume, then merge again")
        .arg(missing)
        .arg(places_.size())
        .arg(examples.join(QStringLiteral(", ")), missing > MissingExamples ? more : QString(),
             shards.join(QStringLiteral(", ")));
}

WriteError SweepMerge::writeTable(const QString &fileName, const QByteArray &header, bool measures) const
{
    SaveFile out(fileName);
    if (!OpenForWriting(out))
        return CannotWrite(fileName, out.errorString());
    QByteArray pending = header;
    std::map<int, std::unique_ptr<QFile>> open;
    for (const Place &place : places_) {
        const Source &source = sources_[place.source];
        const QString &path = measures ? source.measuresPath : source.runsPath;
        auto it = open.find(place.source);
        if (it == open.end()) {
            if (open.size() >= OpenTables)
                open.clear();
            auto file = std::make_unique<QFile>(path);
            if (!file->open(QIODevice::ReadOnly))
                return QStringLiteral("cannot read %1: %2").arg(Native(path), file->errorString());
            it = open.emplace(place.source, std::move(file)).first;
        }
        const qint64 offset = measures ? place.block.measuresOffset : place.block.runsOffset;
        const qint64 length = measures ? place.block.measuresLength : place.block.runsLength;
        if (!it->second->seek(offset))
            return QStringLiteral("cannot read %1: %2").arg(Native(path), it->second->errorString());
        const QByteArray rows = it->second->read(length);
        if (rows.size() != length || !rows.startsWith(QByteArray::number(place.block.runId) + ','))
            return QStringLiteral("%1 changed while it was being merged").arg(Native(path));
        pending += rows;
        if (pending.size() >= WriteBlock) {
            if (!WriteAll(out, pending))
                return CannotWrite(fileName, out.errorString());
            pending.clear();
        }
    }
    if (!WriteAll(out, pending) || !out.commit())
        return CannotWrite(fileName, out.errorString());
    return std::nullopt;
}

WriteError SweepMerge::Write() const
{
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
        {QStringLiteral("runs"), double(places_.size())},
        {QStringLiteral("files"), QJsonObject{{QStringLiteral("runs"), QLatin1String(RunsFile)},
                                              {QStringLiteral("measures"), QLatin1String(MeasuresFile)}}},
    };
    return SaveWhole(recordPath(), QJsonDocument(record).toJson(QJsonDocument::Indented));
}
