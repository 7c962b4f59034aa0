// SPDX-License-Identifier: GPL-3.0-or-later
#include "sweeptable.h"

#include "measurestable.h"

namespace SweepTable {

namespace {

const std::vector<std::string> RunKey{"run_id", "replicate", "seed"};

std::string RunKeyFields(const SweepRun &run)
{
    return std::to_string(run.runId) + ',' + std::to_string(run.replicate) + ',' + std::to_string(run.seed);
}

} // namespace

std::vector<std::string> RunsHeader()
{
    std::vector<std::string> names = RunKey;
    for (const std::string &name : MeasuresTable::Header())
        names.push_back(name);
    for (const Threshold &threshold : Thresholds)
        names.push_back(threshold.column);
    return names;
}

std::vector<std::string> MeasuresHeader()
{
    std::vector<std::string> names{RunKey.front()};
    for (const std::string &name : MeasuresTable::Header())
        names.push_back(name);
    return names;
}

std::string RunsHeaderLine()
{
    return MeasuresTable::JoinedLine(RunsHeader());
}

std::string MeasuresHeaderLine()
{
    return MeasuresTable::JoinedLine(MeasuresHeader());
}

std::string RunsLine(const SweepRun &run, const Sample &last, const FirstYears &firstYears)
{
    std::string line = RunKeyFields(run) + ',' + MeasuresTable::Line(last);
    line.pop_back();   // its newline
    for (const std::optional<double> &years : firstYears)
        line += ',' + MeasuresTable::Number(years);
    return line + '\n';
}

std::string MeasuresLine(std::uint32_t runId, const Sample &sample)
{
    return std::to_string(runId) + ',' + MeasuresTable::Line(sample);
}

std::vector<std::int64_t> MeasuredGenerations(const SweepDefinition &definition)
{
    std::vector<std::int64_t> generations;
    if (definition.every < 1)
        return generations;
    for (std::int64_t g = 0; g <= definition.generations; g += definition.every)
        generations.push_back(g);
    if (generations.back() != definition.generations)
        generations.push_back(definition.generations);
    return generations;
}

std::string ListHeaderLine()
{
    std::vector<std::string> names = RunKey;
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        names.push_back(MeasuresTable::PreferenceColumn(g));
    return MeasuresTable::JoinedLine(names);
}

std::string ListLine(const SweepRun &run)
{
    std::string line = RunKeyFields(run);
    for (GroupIndex g = 1; g <= GroupCount; ++g)
        line += ',' + std::to_string(run.prefEighths[std::size_t(g)]);
    return line + '\n';
}

} // namespace SweepTable
