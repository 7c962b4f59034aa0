// SPDX-License-Identifier: GPL-3.0-or-later
#include "sweeptable.h"

#include "measurestable.h"

namespace SweepTable {

namespace {

const QStringList RunKey{QStringLiteral("run_id"), QStringLiteral("replicate"), QStringLiteral("seed")};

QByteArray Joined(const QStringList &names)
{
    return names.join(u',').toUtf8() + '\n';
}

QByteArray RunKeyFields(const SweepRun &run)
{
    return QByteArray::number(run.runId) + ',' + QByteArray::number(run.replicate) + ','
        + QByteArray::number(run.seed);
}

} // namespace

QStringList RunsHeader()
{
    QStringList names = RunKey + MeasuresTable::Header();
    for (const Threshold &threshold : Thresholds)
        names << QLatin1String(threshold.column);
    return names;
}

QStringList MeasuresHeader()
{
    return QStringList{RunKey.front()} + MeasuresTable::Header();
}

QByteArray RunsHeaderLine()
{
    return Joined(RunsHeader());
}

QByteArray MeasuresHeaderLine()
{
    return Joined(MeasuresHeader());
}

QByteArray RunsLine(const SweepRun &run, const Sample &last, const FirstYears &firstYears)
{
    QByteArray line = RunKeyFields(run) + ',' + MeasuresTable::Line(last);
    line.chop(1);   // its newline
    for (const std::optional<double> &years : firstYears)
        line += ',' + MeasuresTable::Number(years);
    return line + '\n';
}

QByteArray MeasuresLine(quint32 runId, const Sample &sample)
{
    return QByteArray::number(runId) + ',' + MeasuresTable::Line(sample);
}

std::vector<qint64> MeasuredGenerations(const SweepDefinition &definition)
{
    std::vector<qint64> generations;
    if (definition.every < 1)
        return generations;
    for (qint64 g = 0; g <= definition.generations; g += definition.every)
        generations.push_back(g);
    if (generations.back() != definition.generations)
        generations.push_back(definition.generations);
    return generations;
}

QByteArray ListHeaderLine()
{
    QStringList names = RunKey;
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        names << QStringLiteral("pref_%1_eighths").arg(GroupName(g).toLower());
    return Joined(names);
}

QByteArray ListLine(const SweepRun &run)
{
    QByteArray line = RunKeyFields(run);
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        line += ',' + QByteArray::number(run.prefEighths[g]);
    return line + '\n';
}

} // namespace SweepTable
