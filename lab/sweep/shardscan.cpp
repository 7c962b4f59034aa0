// SPDX-License-Identifier: GPL-3.0-or-later
#include "shardscan.h"

#include "corestrings.h"

#include "calendar.h"
#include "constants.h"
#include "measurestable.h"
#include "runplan.h"
#include "sweeptable.h"

#include <QDir>
#include <QFile>

#include <array>
#include <charconv>
#include <cmath>

namespace {

// Where the columns are. A measures row is run_id and then a sample (generation, date,
// years, the preferences, the measures); a runs row is run_id, replicate and seed, the same
// sample, then the years at which each threshold was first reached.
struct Layout
{
    QList<QByteArray> measuresNames;
    QList<QByteArray> runsNames;
    qsizetype measuresCount = 0;
    qsizetype runsCount = 0;
    qsizetype firstMeasure = 0;    // in a measures row
    qsizetype sameShare = 0;       // in a measures row
    qsizetype runsSample = 3;      // where a runs row's sample begins
    qsizetype firstThreshold = 0;  // in a runs row
};

QList<QByteArray> Names(const std::vector<std::string> &header)
{
    QList<QByteArray> names;
    for (const std::string &name : header)
        names << ToBytes(name);
    return names;
}

const Layout &Columns()
{
    static const Layout layout = [] {
        Layout l;
        l.measuresNames = Names(SweepTable::MeasuresHeader());
        l.runsNames = Names(SweepTable::RunsHeader());
        l.measuresCount = l.measuresNames.size();
        l.runsCount = l.runsNames.size();
        l.firstMeasure = 4 + GroupCount;   // run_id, generation, date, years, the preferences
        l.sameShare = l.measuresNames.indexOf("same_share_all");
        l.firstThreshold = l.runsSample + l.measuresCount - 1;
        return l;
    }();
    return layout;
}

// A row's fields without its newline, or nullopt for a part of a line.
std::optional<QList<QByteArray>> Fields(const QByteArray &line)
{
    if (!line.endsWith('\n'))
        return std::nullopt;
    return line.chopped(1).split(',');
}

QByteArray Text(std::int64_t value)
{
    return QByteArray::number(qlonglong(value));
}

QByteArray DateText(std::int64_t generation)
{
    const Date date{std::chrono::sys_days{FirstDay} + std::chrono::days{DaysPerGeneration * generation}};
    return ToBytes(IsoDate(date));
}

QByteArray YearsText(std::int64_t generation)
{
    return ToBytes(MeasuresTable::Number(YearsOfGeneration(generation)));
}

// Whether a field is empty (an undefined measure) or a number exactly as the program writes
// one: the shortest text that reads back as it. "0.50", "5e-1", "nan" or a word are not.
bool WrittenNumber(const QByteArray &field, double *value = nullptr)
{
    if (field.isEmpty())
        return true;
    double read = 0;
    const char *end = field.constData() + field.size();
    const auto [stop, error] = std::from_chars(field.constData(), end, read);
    if (error != std::errc() || stop != end || !std::isfinite(read))
        return false;
    if (value)
        *value = read;
    return MeasuresTable::Number(read) == std::string_view(field.constData(), size_t(field.size()));
}

QString Quoted(const QByteArray &field)
{
    constexpr qsizetype Shown = 40;
    const QString text = QString::fromUtf8(field.left(Shown));
    return QLatin1Char('\'') + text + (field.size() > Shown ? QStringLiteral("...'") : QStringLiteral("'"));
}

} // namespace

// What a run's rows must say, from the definition alone.
struct ShardScan::Expected
{
    quint32 id = 0;
    QByteArray idText;
    QByteArray replicate;
    QByteArray seed;
    std::array<QByteArray, GroupCount> eighths;
};

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

std::optional<QString> ShardScan::runsRowProblem(const QList<QByteArray> &fields, const Expected &run) const
{
    const Layout &column = Columns();
    const std::int64_t horizon = definition_.generations;
    bool same = fields[1] == run.replicate && fields[2] == run.seed && fields[column.runsSample] == Text(horizon);
    for (qsizetype g = 0; g < GroupCount; ++g)
        same = same && fields[column.runsSample + 3 + g] == run.eighths[size_t(g)];
    if (!same)
        return QStringLiteral("run %1 with a replicate, seed, horizon or preferences other than this sweep's").arg(run.id);
    if (fields[column.runsSample + 1] != DateText(horizon))
        return QStringLiteral("run %1 ends on date %2, where generation %3 is %4")
            .arg(run.id)
            .arg(Quoted(fields[column.runsSample + 1]))
            .arg(horizon)
            .arg(QString::fromLatin1(DateText(horizon)));
    if (fields[column.runsSample + 2] != YearsText(horizon))
        return QStringLiteral("run %1 ends at %2 years, where generation %3 is %4")
            .arg(run.id)
            .arg(Quoted(fields[column.runsSample + 2]))
            .arg(horizon)
            .arg(QString::fromLatin1(YearsText(horizon)));
    const qsizetype firstMeasure = column.runsSample + column.firstMeasure - 1;
    for (qsizetype i = firstMeasure; i < fields.size(); ++i) {
        if (!WrittenNumber(fields[i]))
            return QStringLiteral("%1 in column %2 is not a number as velmora-lab writes one")
                .arg(Quoted(fields[i]), QString::fromLatin1(column.runsNames[i]));
    }
    return std::nullopt;
}

std::optional<QString> ShardScan::measuresRowProblem(const QList<QByteArray> &fields, const Expected &run, size_t k) const
{
    const Layout &column = Columns();
    if (fields.size() != column.measuresCount)
        return QStringLiteral("%1 fields where a row of measures has %2").arg(fields.size()).arg(column.measuresCount);
    if (fields[0] != run.idText || k >= generations_.size() || fields[1] != Text(generations_[k]))
        return QStringLiteral("a row other than run %1's at generation %2")
            .arg(run.id)
            .arg(k < generations_.size() ? generations_[k] : -1);
    const std::int64_t generation = generations_[k];
    if (fields[2] != DateText(generation))
        return QStringLiteral("date %1, where generation %2 is %3")
            .arg(Quoted(fields[2]))
            .arg(generation)
            .arg(QString::fromLatin1(DateText(generation)));
    if (fields[3] != YearsText(generation))
        return QStringLiteral("years %1, where generation %2 is %3")
            .arg(Quoted(fields[3]))
            .arg(generation)
            .arg(QString::fromLatin1(YearsText(generation)));
    for (qsizetype g = 0; g < GroupCount; ++g) {
        if (fields[4 + g] != run.eighths[size_t(g)])
            return QStringLiteral("run %1 with preferences other than this sweep's").arg(run.id);
    }
    for (qsizetype i = column.firstMeasure; i < fields.size(); ++i) {
        if (!WrittenNumber(fields[i]))
            return QStringLiteral("%1 in column %2 is not a number as velmora-lab writes one")
                .arg(Quoted(fields[i]), QString::fromLatin1(column.measuresNames[i]));
    }
    return std::nullopt;
}

std::optional<QString> ShardScan::agreementProblem(const QList<QByteArray> &runsRow, const QList<QByteArray> &lastRow,
                                                   const std::vector<QByteArray> &firstYears, qint64 lastLine) const
{
    const Layout &column = Columns();
    const QString where = QStringLiteral("%1, line %2").arg(QDir::toNativeSeparators(measuresPath_)).arg(lastLine);
    for (qsizetype i = column.firstMeasure; i < column.measuresCount; ++i) {
        const QByteArray &here = runsRow[column.runsSample + i - 1];
        if (here != lastRow[i])
            return QStringLiteral("run %1's %2 is %3 here and %4 in its last measures row (%5)")
                .arg(QString::fromLatin1(runsRow[0]), QString::fromLatin1(column.measuresNames[i]), Quoted(here),
                     Quoted(lastRow[i]), where);
    }
    for (size_t t = 0; t < SweepTable::Thresholds.size(); ++t) {
        const QByteArray &here = runsRow[column.firstThreshold + qsizetype(t)];
        if (here == firstYears[t])
            continue;
        const QString share = QString::number(SweepTable::Thresholds[t].share);
        const QString measured = firstYears[t].isEmpty()
            ? QStringLiteral("its measures rows never reach %1").arg(share)
            : QStringLiteral("its measures rows first reach %1 at %2 years").arg(share, QString::fromLatin1(firstYears[t]));
        return QStringLiteral("run %1's %2 is %3, but %4 (%5)")
            .arg(QString::fromLatin1(runsRow[0]), QLatin1String(SweepTable::Thresholds[t].column), Quoted(here),
                 measured, QDir::toNativeSeparators(measuresPath_));
    }
    return std::nullopt;
}

bool ShardScan::Read(const QString &runsPath, const QString &measuresPath, Tail tail, const Visit &visit)
{
    const Layout &column = Columns();
    runsPath_ = runsPath;
    measuresPath_ = measuresPath;
    seen_ = RunSet();
    problem_.clear();

    QFile runs(runsPath_);
    if (!runs.open(QIODevice::ReadOnly))
        return fail(runsPath_, 0, QStringLiteral("cannot read it (%1)").arg(runs.errorString()));
    QFile measures(measuresPath_);
    if (!measures.open(QIODevice::ReadOnly))
        return fail(measuresPath_, 0, QStringLiteral("cannot read it (%1)").arg(measures.errorString()));
    // Sizes first: a growing shard's tables are read up to where they were then at least.
    runsSize_ = runs.size();
    measuresSize_ = measures.size();
    if (runs.readLine() != ToBytes(SweepTable::RunsHeaderLine()))
        return fail(runsPath_, 1, QStringLiteral("not the header of a runs table of this version"));
    if (measures.readLine() != ToBytes(SweepTable::MeasuresHeaderLine()))
        return fail(measuresPath_, 1, QStringLiteral("not the header of a measures table of this version"));
    runsEnd_ = runs.pos();
    measuresEnd_ = measures.pos();

    qint64 measuresLine = 1;
    Expected run;
    std::vector<QByteArray> firstYears(SweepTable::Thresholds.size());
    for (qint64 runsLine = 2; !runs.atEnd(); ++runsLine) {
        RunBlock block;
        block.runsOffset = runs.pos();
        const QByteArray line = runs.readLine();
        const auto fields = Fields(line);
        if (!fields)
            break;   // the tail
        if (fields->size() != column.runsCount)
            return fail(runsPath_, runsLine,
                        QStringLiteral("%1 fields where a row of runs has %2").arg(fields->size()).arg(column.runsCount));
        bool isNumber = false;
        const qulonglong id = fields->front().toULongLong(&isNumber);
        if (!isNumber || id >= runCount_ || fields->front() != Text(qint64(id)) || !shard_.holds(quint32(id)))
            return fail(runsPath_, runsLine,
                        QStringLiteral("%1 is not the id of a run of this shard").arg(Quoted(fields->front())));
        const SweepRun expected = RunAt(definition_, quint32(id));
        run.id = quint32(id);
        run.idText = fields->front();
        run.replicate = Text(expected.replicate);
        run.seed = Text(expected.seed);
        for (GroupIndex g = 1; g <= GroupCount; ++g)
            run.eighths[size_t(g - 1)] = Text(expected.prefEighths[g]);
        if (const auto why = runsRowProblem(*fields, run))
            return fail(runsPath_, runsLine, *why);
        if (!seen_.insert(id / shard_.count))
            return fail(runsPath_, runsLine, QStringLiteral("run %1 a second time").arg(id));
        block.runId = run.id;
        block.runsLength = line.size();

        // Its measures rows, which were written before it.
        block.measuresOffset = measures.pos();
        QList<QByteArray> last;
        std::fill(firstYears.begin(), firstYears.end(), QByteArray());
        for (size_t k = 0; k < generations_.size(); ++k) {
            ++measuresLine;
            auto row = Fields(measures.readLine());
            if (!row)
                return fail(measuresPath_, measuresLine,
                            QStringLiteral("the rows of run %1, finished in %2, end early")
                                .arg(run.id)
                                .arg(QDir::toNativeSeparators(runsPath_)));
            if (const auto why = measuresRowProblem(*row, run, k))
                return fail(measuresPath_, measuresLine, *why);
            double share = 0;
            const QByteArray &shareText = (*row)[column.sameShare];
            if (!shareText.isEmpty() && WrittenNumber(shareText, &share)) {
                for (size_t t = 0; t < firstYears.size(); ++t) {
                    if (firstYears[t].isEmpty() && share >= SweepTable::Thresholds[t].share)
                        firstYears[t] = (*row)[3];
                }
            }
            last = std::move(*row);
        }
        if (const auto why = agreementProblem(*fields, last, firstYears, measuresLine))
            return fail(runsPath_, runsLine, *why);
        block.measuresLength = measures.pos() - block.measuresOffset;
        runsEnd_ = runs.pos();
        measuresEnd_ = measures.pos();
        if (visit)
            visit(block);
    }
    if (tail == Tail::Unchecked || !measures.seek(measuresEnd_))
        return true;
    return checkTail(measures, measuresLine);
}

bool ShardScan::checkTail(QFile &measures, qint64 lineNumber)
{
    // What follows the last whole run can only be the first rows of the one run that was
    // being written.
    std::optional<Expected> unfinished;
    for (size_t k = 0; !measures.atEnd(); ++k) {
        ++lineNumber;
        const auto fields = Fields(measures.readLine());
        if (!fields)
            break;
        if (!unfinished) {
            bool isNumber = false;
            const qulonglong id = fields->front().toULongLong(&isNumber);
            if (!isNumber || id >= runCount_ || !shard_.holds(quint32(id)))
                return fail(measuresPath_, lineNumber, QStringLiteral("not a row of a run of this shard"));
            if (seen_.contains(id / shard_.count))
                return fail(measuresPath_, lineNumber, QStringLiteral("rows of run %1 a second time").arg(id));
            const SweepRun expected = RunAt(definition_, quint32(id));
            unfinished.emplace();
            unfinished->id = quint32(id);
            unfinished->idText = Text(qint64(id));
            for (GroupIndex g = 1; g <= GroupCount; ++g)
                unfinished->eighths[size_t(g - 1)] = Text(expected.prefEighths[g]);
        }
        if (const auto why = measuresRowProblem(*fields, *unfinished, k))
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
