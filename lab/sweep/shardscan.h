// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "runset.h"
#include "sweepdefinition.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
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
// Anything else is a problem: a row this sweep would not write (another seed, a date that
// does not follow from its generation, a number not written as the program writes numbers),
// rows out of order, or a runs row whose last sample or thresholds disagree with the run's
// measures rows.
//
// The two tables are read side by side, one run at a time, and each whole run is handed to
// the caller as it is found; what the scan keeps is the set of runs seen (a RunSet), so its
// memory follows what the shard has done, not the tables' length.
class ShardScan
{
public:
    ShardScan(const SweepDefinition &definition, Shard shard);

    // How much of the tail is checked: all of it for a shard about to be resumed, whose tail
    // is dropped; none of it for a shard that may be growing while it is read, whose tables
    // can hold more runs in measures than in runs by the time both are read.
    enum class Tail { Checked, Unchecked };
    using Visit = std::function<void(const RunBlock &)>;

    // False, with problem() naming the file and line, when the tables hold something other
    // than whole runs of this shard and a tail. `visit` sees every whole run, in the order of
    // the tables, before the next is read.
    bool Read(const QString &runsPath, const QString &measuresPath, Tail tail = Tail::Checked,
              const Visit &visit = {});

    // The runs found, by their place in the shard (run id / shard count).
    const RunSet &places() const { return seen_; }
    // Bytes past the last whole run in either table.
    bool hasTail() const { return runsEnd_ < runsSize_ || measuresEnd_ < measuresSize_; }
    const QString &problem() const { return problem_; }

    // Cuts both tables back to their whole runs.
    std::optional<QString> DropTail() const;

private:
    struct Expected;
    bool fail(const QString &path, qint64 line, const QString &what);
    std::optional<QString> runsRowProblem(const QList<QByteArray> &fields, const Expected &run) const;
    std::optional<QString> measuresRowProblem(const QList<QByteArray> &fields, const Expected &run, size_t k) const;
    std::optional<QString> agreementProblem(const QList<QByteArray> &runsRow, const QList<QByteArray> &lastRow,
                                            const std::vector<QByteArray> &firstYears, qint64 lastLine) const;
    bool checkTail(class QFile &measures, qint64 lineNumber);

    SweepDefinition definition_;
    Shard shard_;
    quint64 runCount_;
    std::vector<std::int64_t> generations_;
    QString runsPath_;
    QString measuresPath_;
    RunSet seen_;
    qint64 runsEnd_ = 0;
    qint64 runsSize_ = 0;
    qint64 measuresEnd_ = 0;
    qint64 measuresSize_ = 0;
    QString problem_;
};
