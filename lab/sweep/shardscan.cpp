// SPDX-License-Identifier: GPL-3.0-or-later
#include "shardscan.h"

#include "corestrings.h"

#include "sweeptable.h"

#include <QDir>
#include <QFile>

#include <unordered_set>

namespace {

// The columns a scan checks against the run table, found by name.
struct Columns
{
    qsizetype count;
    qsizetype runId;
    qsizetype replicate;
    qsizetype seed;
    qsizetype generation;
    qsizetype firstPref;   // Blue's; the others follow
};

Columns ColumnsOf(const QStringList &header)
{
    return {header.size(),
            header.indexOf(QLatin1String("run_id")),
            header.indexOf(QLatin1String("replicate")),
            header.indexOf(QLatin1String("seed")),
            header.indexOf(QLatin1String("generation")),
            header.indexOf(QLatin1String("pref_blue_eighths"))};
}

std::optional<qint64> Whole(const QByteArray &field)
{
    bool ok = false;
    const qint64 value = field.toLongLong(&ok);
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

// A row's fields without its newline, or nullopt for a part of a line.
std::optional<QList<QByteArray>> Fields(const QByteArray &line)
{
    if (!line.endsWith('\n'))
        return std::nullopt;
    return line.chopped(1).split(',');
}

} // namespace

ShardScan::ShardScan(const SweepDefinition &definition, Shard shard)
    : definition_(definition)
    , shard_(shard)
    , runCount_(definition.runCount())
    , generations_(SweepTable::MeasuredGenerations(definition))
{
}

bool ShardScan::fail(const QString &path, qint64 line, const QString &what)
{
    problem_ = line > 0 ? QStringLiteral("%1, line %2: %3").arg(QDir::toNativeSeparators(path)).arg(line).arg(what)
                        : QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), what);
    return false;
}

bool ShardScan::Read(const QString &runsPath, const QString &measuresPath, Tail tail)
{
    runsPath_ = runsPath;
    measuresPath_ = measuresPath;
    runs_.clear();
    problem_.clear();
    return readRuns() && readMeasures(tail);
}

std::optional<QString> ShardScan::runsRowProblem(const QList<QByteArray> &fields) const
{
    static const Columns column = ColumnsOf(ToQStringList(SweepTable::RunsHeader()));
    if (fields.size() != column.count)
        return QStringLiteral("%1 fields where a row of runs has %2").arg(fields.size()).arg(column.count);
    const auto id = Whole(fields[column.runId]);
    if (!id || *id < 0 || quint64(*id) >= runCount_ || !shard_.holds(quint32(*id)))
        return QStringLiteral("'%1' is not the id of a run of this shard").arg(QString::fromLatin1(fields[column.runId]));
    const SweepRun run = RunAt(definition_, quint32(*id));
    bool same = Whole(fields[column.replicate]) == qint64(run.replicate) && Whole(fields[column.seed]) == qint64(run.seed)
        && Whole(fields[column.generation]) == definition_.generations;
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        same = same && Whole(fields[column.firstPref + g - 1]) == qint64(run.prefEighths[g]);
    if (!same)
        return QStringLiteral("run %1 with a replicate, seed, horizon or preferences other than this sweep's").arg(*id);
    return std::nullopt;
}

bool ShardScan::readRuns()
{
    QFile file(runsPath_);
    if (!file.open(QIODevice::ReadOnly))
        return fail(runsPath_, 0, QStringLiteral("cannot read it (%1)").arg(file.errorString()));
    runsSize_ = file.size();
    if (file.readLine() != ToBytes(SweepTable::RunsHeaderLine()))
        return fail(runsPath_, 1, QStringLiteral("not the header of a runs table of this version"));
    runsEnd_ = file.pos();
    std::unordered_set<quint32> seen;
    for (qint64 lineNumber = 2; !file.atEnd(); ++lineNumber) {
        const qint64 offset = file.pos();
        const QByteArray line = file.readLine();
        const auto fields = Fields(line);
        if (!fields)
            break;   // the tail
        if (const auto why = runsRowProblem(*fields))
            return fail(runsPath_, lineNumber, *why);
        const quint32 id = fields->front().toUInt();
        if (!seen.insert(id).second)
            return fail(runsPath_, lineNumber, QStringLiteral("run %1 a second time").arg(id));
        runs_.push_back({id, offset, line.size(), 0, 0});
        runsEnd_ = file.pos();
    }
    return true;
}

bool ShardScan::readMeasures(Tail tail)
{
    static const Columns column = ColumnsOf(ToQStringList(SweepTable::MeasuresHeader()));
    QFile file(measuresPath_);
    if (!file.open(QIODevice::ReadOnly))
        return fail(measuresPath_, 0, QStringLiteral("cannot read it (%1)").arg(file.errorString()));
    measuresSize_ = file.size();
    if (file.readLine() != ToBytes(SweepTable::MeasuresHeaderLine()))
        return fail(measuresPath_, 1, QStringLiteral("not the header of a measures table of this version"));
    measuresEnd_ = file.pos();
    qint64 lineNumber = 1;

    // Whether a row is run `id`'s at the k-th measured generation, with `eighths` its
    // preferences; nullopt when it is.
    auto rowProblem = [&](const QList<QByteArray> &fields, quint32 id, const GroupTable<qint16> &eighths,
                          size_t k) -> std::optional<QString> {
        if (fields.size() != column.count)
            return QStringLiteral("%1 fields where a row of measures has %2").arg(fields.size()).arg(column.count);
        if (Whole(fields[column.runId]) != qint64(id) || k >= generations_.size()
            || Whole(fields[column.generation]) != generations_[k])
            return QStringLiteral("a row other than run %1's at generation %2")
                .arg(id)
                .arg(k < generations_.size() ? generations_[k] : -1);
        for (GroupIndex g = 1; g <= GroupCount; ++g) {
            if (Whole(fields[column.firstPref + g - 1]) != qint64(eighths[g]))
                return QStringLiteral("run %1 with preferences other than this sweep's").arg(id);
        }
        return std::nullopt;
    };

    for (RunBlock &run : runs_) {
        run.measuresOffset = file.pos();
        const GroupTable<qint16> eighths = RunAt(definition_, run.runId).prefEighths;
        for (size_t k = 0; k < generations_.size(); ++k) {
            ++lineNumber;
            const auto fields = Fields(file.readLine());
            if (!fields)
                return fail(measuresPath_, lineNumber,
                            QStringLiteral("the rows of run %1, finished in %2, end early")
                                .arg(run.runId)
                                .arg(QDir::toNativeSeparators(runsPath_)));
            if (const auto why = rowProblem(*fields, run.runId, eighths, k))
                return fail(measuresPath_, lineNumber, *why);
        }
        run.measuresLength = file.pos() - run.measuresOffset;
        measuresEnd_ = file.pos();
    }

    // What follows can only be the first rows of the one run that was being written.
    if (tail == Tail::Unchecked)
        return true;
    std::optional<quint32> unfinished;
    GroupTable<qint16> eighths{};
    for (size_t k = 0; !file.atEnd(); ++k) {
        ++lineNumber;
        const auto fields = Fields(file.readLine());
        if (!fields)
            break;
        if (!unfinished) {
            const auto id = Whole(fields->value(column.runId));
            if (!id || *id < 0 || quint64(*id) >= runCount_ || !shard_.holds(quint32(*id)))
                return fail(measuresPath_, lineNumber, QStringLiteral("not a row of a run of this shard"));
            for (const RunBlock &done : runs_) {
                if (done.runId == *id)
                    return fail(measuresPath_, lineNumber, QStringLiteral("rows of run %1 a second time").arg(*id));
            }
            unfinished = quint32(*id);
            eighths = RunAt(definition_, *unfinished).prefEighths;
        }
        if (const auto why = rowProblem(*fields, *unfinished, eighths, k))
            return fail(measuresPath_, lineNumber, *why + QStringLiteral(" after the last finished run"));
    }
    return true;
}

std::optional<QString> ShardScan::DropTail() const
{
    for (const auto &[path, end] : {std::pair{runsPath_, runsEnd_}, std::pair{measuresPath_, measuresEnd_}}) {
        QFile file(path);
        if (file.size() > end && !file.resize(end))
            return QStringLiteral("cannot cut %1 back to its finished runs: %2")
                .arg(QDir::toNativeSeparators(path), file.errorString());
    }
    return std::nullopt;
}
