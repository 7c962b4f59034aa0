// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "savefile.h"

#include <QString>
#include <QTemporaryFile>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Where one run's rows are: which of the merge's shards, and where in its two tables.
struct IndexEntry
{
    quint32 runId = 0;
    quint32 source = 0;
    qint64 runsOffset = 0;
    qint64 runsLength = 0;
    qint64 measuresOffset = 0;
    qint64 measuresLength = 0;
};

// The runs of a sweep's shards in run id order, in memory that does not grow with the
// sweep: entries gather up to `budget` at a time; a full batch is sorted and written to a
// temporary file in the sweep's folder, and reading merges the sorted batches. Memory: the
// batch (`budget` entries of 40 bytes) and a buffer per written batch, together at most as
// large again (16 entries each past budget / 16 batches, which takes 2^32 runs at the
// default budget).
class RunIndex
{
public:
    static constexpr size_t DefaultBudget = size_t(1) << 18;

    explicit RunIndex(const QString &folder, size_t budget = DefaultBudget);

    WriteError Add(const IndexEntry &entry);
    // Sorts what is still in memory; after it, nothing more is added.
    void Finish();

    // Every entry in run id order (entries of one id in no given order) until `visit`
    // returns false; the reason when the temporary file cannot be read back.
    std::optional<QString> ForEach(const std::function<bool(const IndexEntry &)> &visit) const;

    size_t writtenBatches() const { return batches_.size(); }

private:
    struct Batch
    {
        qint64 first = 0;   // in entries from the file's start
        qint64 count = 0;
    };
    WriteError spill();

    QString folder_;
    size_t budget_;
    std::vector<IndexEntry> memory_;
    std::unique_ptr<QTemporaryFile> file_;
    std::vector<Batch> batches_;
};
