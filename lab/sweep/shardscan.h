// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sweepdefinition.h"

#include <QString>

#include <optional>
#include <vector>

// Where one finished run's rows lie in a shard's two tables.
struct RunBlock
{
    quint32 runId = 0;
    qint64 runsOffset = 0;        // its row in the runs table
    qint64 runsLength = 0;
    qint64 measuresOffset = 0;    // its rows in the measures table, one after another
    qint64 measuresLength = 0;
};

// Reads a shard's tables and finds the runs they hold in full. A run is written as its
// measures rows and then its runs row, each whole line ending in a newline, so a sweep that
// was killed leaves at most the rows of one unfinished run at the end of the measures table
// and a part of a line at the end of the runs table: that is the tail, which a resume drops.
// Anything else (a row this sweep would not write, rows out of order) is a problem.
class ShardScan
{
public:
    ShardScan(const SweepDefinition &definition, Shard shard);

    // How much of the tail is checked: all of it for a shard about to be resumed, whose tail
    // is dropped; none of it for a shard that may be growing while it is read, whose tables
    // can hold more runs in measures than in runs by the time both are read.
    enum class Tail { Checked, Unchecked };

    // False, with problem() naming the file and line, when the tables hold something other
    // than whole runs of this shard and a tail.
    bool Read(const QString &runsPath, const QString &measuresPath, Tail tail = Tail::Checked);

    const std::vector<RunBlock> &runs() const { return runs_; }
    // Bytes past the last whole run in either table.
    bool hasTail() const { return runsEnd_ < runsSize_ || measuresEnd_ < measuresSize_; }
    const QString &problem() const { return problem_; }

    // Cuts both tables back to their whole runs.
    std::optional<QString> DropTail() const;

private:
    bool readRuns();
    bool readMeasures(Tail tail);
    bool fail(const QString &path, qint64 line, const QString &what);
    std::optional<QString> runsRowProblem(const QList<QByteArray> &fields) const;

    SweepDefinition definition_;
    Shard shard_;
    quint64 runCount_;
    std::vector<std::int64_t> generations_;
    QString runsPath_;
    QString measuresPath_;
    std::vector<RunBlock> runs_;
    qint64 runsEnd_ = 0;
    qint64 runsSize_ = 0;
    qint64 measuresEnd_ = 0;
    qint64 measuresSize_ = 0;
    QString problem_;
};
