// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "runindex.h"
#include "savefile.h"
#include "shardscan.h"
#include "sweepdefinition.h"
#include "sweeprunner.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

// Joins the shards of a sweep in its folder into runs.csv and measures.csv, sorted by run
// id, and sweep.json. The rows are copied as the shards hold them, so the merged files are
// the same bytes however the sweep was split, interrupted or resumed. Where each run's rows
// are is kept in a RunIndex, in memory that does not grow with the sweep past its budget.
class SweepMerge
{
public:
    SweepMerge(const QString &folder, const QString &version, size_t indexBudget = RunIndex::DefaultBudget);

    // Reads every shard and checks that they belong to one sweep of this version (a usage
    // problem when not, naming the files) and hold each of its runs exactly once.
    std::optional<SweepProblem> Read();
    WriteError Write() const;

    const SweepDefinition &definition() const { return definition_; }
    size_t shardCount() const { return sources_.size(); }
    QString runsPath() const;
    QString measuresPath() const;
    QString recordPath() const;

    static constexpr const char *RunsFile = "runs.csv";
    static constexpr const char *MeasuresFile = "measures.csv";
    static constexpr const char *RecordFile = "sweep.json";

private:
    struct Source
    {
        QString runsPath;
        QString measuresPath;
    };
    std::optional<SweepProblem> checkEveryRunOnce(const std::vector<ShardRecord> &records) const;
    WriteError writeTable(const QString &fileName, const QByteArray &header, bool measures) const;

    QString folder_;
    QString version_;
    size_t indexBudget_;
    SweepDefinition definition_;
    std::vector<Source> sources_;
    std::unique_ptr<RunIndex> index_;
};
