// SPDX-License-Identifier: GPL-3.0-or-later
#include "shardfiles.h"

#include "corestrings.h"
#include "sweepdefinitionjson.h"

#include "sweeptable.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

namespace {

namespace Key {
const QLatin1String Program("program");
const QLatin1String Format("format");
const QLatin1String Kind("kind");
const QLatin1String Version("version");
const QLatin1String Definition("definition");
const QLatin1String Fingerprint("fingerprint");
const QLatin1String Shard("shard");
const QLatin1String Index("index");
const QLatin1String Count("count");
const QLatin1String Runs("runs");
const QLatin1String BaseSeedPicked("base_seed_picked");
const QLatin1String CommandLine("command_line");
const QLatin1String Started("started");
const QLatin1String Files("files");
const QLatin1String Measures("measures");
} // namespace Key

const QLatin1String ProgramName("velmora-lab");
const QLatin1String ShardKind("sweep shard");
constexpr int Format = 1;
// A record is a few hundred bytes; anything much larger is not one of ours.
constexpr qint64 MaxRecordBytes = 1 << 20;

const QString RecordPattern = QStringLiteral("^shard-(\\d{1,10})-of-(\\d{1,10})\\.json$");

} // namespace

ShardFiles::ShardFiles(const QString &sweepFolder, Shard shard)
    : folder_(ShardsFolder(sweepFolder))
    , shard_(shard)
{
}

QString ShardFiles::ShardsFolder(const QString &sweepFolder)
{
    return QDir(sweepFolder).filePath(QLatin1String(Folder));
}

QString ShardFiles::stem() const
{
    return QStringLiteral("shard-%1-of-%2").arg(shard_.index).arg(shard_.count);
}

QString ShardFiles::path(const QString &suffix) const
{
    return QDir(folder_).filePath(stem() + suffix);
}

QString ShardFiles::recordPath() const
{
    return path(QStringLiteral(".json"));
}

QString ShardFiles::runsPath() const
{
    return path(QStringLiteral(".runs.csv"));
}

QString ShardFiles::measuresPath() const
{
    return path(QStringLiteral(".measures.csv"));
}

WriteError ShardFiles::Create(const ShardRecord &record, const QStringList &commandLine) const
{
    if (!QDir().mkpath(folder_))
        return CannotWrite(folder_, QStringLiteral("cannot create the folder"));
    QJsonArray arguments;
    for (const QString &argument : commandLine)
        arguments.append(argument);
    const QJsonObject json{
        {Key::Program, ProgramName},
        {Key::Format, Format},
        {Key::Kind, ShardKind},
        {Key::Version, record.version},
        {Key::Definition, SweepDefinitionToJson(record.definition)},
        {Key::Fingerprint, SweepFingerprint(record.definition)},
        {Key::Shard, QJsonObject{{Key::Index, double(record.shard.index)}, {Key::Count, double(record.shard.count)}}},
        {Key::Runs, double(record.shard.size(record.definition.runCount()))},
        {Key::BaseSeedPicked, record.baseSeedPicked},
        {Key::CommandLine, arguments},
        {Key::Started, QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
        {Key::Files, QJsonObject{{Key::Runs, QFileInfo(runsPath()).fileName()},
                                 {Key::Measures, QFileInfo(measuresPath()).fileName()}}},
    };
    // The tables first: a record is only ever beside tables that belong to it.
    if (auto error = SaveWhole(runsPath(), ToBytes(SweepTable::RunsHeaderLine())))
        return error;
    if (auto error = SaveWhole(measuresPath(), ToBytes(SweepTable::MeasuresHeaderLine())))
        return error;
    return SaveWhole(recordPath(), QJsonDocument(json).toJson(QJsonDocument::Indented));
}

WriteError ShardFiles::CreateMissingTables() const
{
    if (!QFile::exists(runsPath())) {
        if (auto error = SaveWhole(runsPath(), ToBytes(SweepTable::RunsHeaderLine())))
            return error;
    }
    if (!QFile::exists(measuresPath()))
        return SaveWhole(measuresPath(), ToBytes(SweepTable::MeasuresHeaderLine()));
    return std::nullopt;
}

std::variant<std::vector<ShardRecord>, QString> ShardFiles::ReadRecords(const QString &sweepFolder)
{
    static const QRegularExpression recordName(RecordPattern);
    const QDir folder(ShardsFolder(sweepFolder));
    std::vector<ShardRecord> records;
    if (!folder.exists())
        return records;
    for (const QString &name : folder.entryList({QStringLiteral("shard-*.json")}, QDir::Files, QDir::Name)) {
        const QString path = folder.filePath(name);
        const auto notOurs = [&](const QString &why) {
            return QStringLiteral("%1: not a shard record written by velmora-lab (%2)")
                .arg(QDir::toNativeSeparators(path), why);
        };
        const auto match = recordName.match(name);
        if (!match.hasMatch())
            return notOurs(QStringLiteral("its name is not shard-I-of-N.json"));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot read %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(file.read(MaxRecordBytes), &parseError);
        const QJsonObject json = document.object();
        if (document.isNull() || json[Key::Program].toString() != ProgramName || json[Key::Format].toInt() != Format
            || json[Key::Kind].toString() != ShardKind)
            return notOurs(QStringLiteral("no record of a sweep shard in it"));
        QString reason;
        const auto definition = SweepDefinitionFromJson(json[Key::Definition].toObject(), &reason);
        if (!definition)
            return notOurs(reason);
        if (SweepFingerprint(*definition) != json[Key::Fingerprint].toString())
            return notOurs(QStringLiteral("its fingerprint does not match its definition"));
        ShardRecord record;
        record.path = path;
        record.definition = *definition;
        record.shard.index = match.captured(1).toUInt();
        record.shard.count = match.captured(2).toUInt();
        const QJsonObject shard = json[Key::Shard].toObject();
        if (record.shard.count < 1 || record.shard.index >= record.shard.count
            || shard[Key::Index].toDouble(-1) != record.shard.index || shard[Key::Count].toDouble(-1) != record.shard.count)
            return notOurs(QStringLiteral("its shard does not match its name"));
        record.version = json[Key::Version].toString();
        record.baseSeedPicked = json[Key::BaseSeedPicked].toBool();
        records.push_back(record);
    }
    return records;
}
