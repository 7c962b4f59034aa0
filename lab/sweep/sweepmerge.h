// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "savefile.h"
#include "shardscan.h"
#include "sweepdefinition.h"
#include "sweeprunner.h"

#include <QString>

#include <optional>
#include <vector>

// Joins the shards of a sweep in its folder into runs.csv and measures.csv, sorted by run
// id, and sweep.json. The rows are copied as the shards hold them, so the merged files are
// the same bytes however the sweep was split, interrupted or resumed.
class SweepMerge
{
public:
    SweepMerge(const QString &folder, const QString &version);

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
    // Where run id i is: which source, and its block there.
    struct Place
    {
        int source = -1;
        RunBlock block;
    };
    std::optional<QString> missingRuns(const std::vector<ShardRecord> &records) const;
    WriteError writeTable(const QString &fileName, const QByteArray &header, bool measures) const;

    QString folder_;
    QString version_;
    SweepDefinition definition_;
    std::vector<Source> sources_;
    std::vector<Place> places_;
};
