// SPDX-License-Identifier: GPL-3.0-or-later
#include "runindex.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <queue>

namespace {

// Entries read back at a time from a written batch, at least.
constexpr qint64 MinimumBuffer = 16;

bool ById(const IndexEntry &a, const IndexEntry &b)
{
    return a.runId < b.runId;
}

} // namespace

RunIndex::RunIndex(const QString &folder, size_t budget)
    : folder_(folder)
    , budget_(std::max<size_t>(budget, 1))
{
}

WriteError RunIndex::Add(const IndexEntry &entry)
{
    memory_.push_back(entry);
    return memory_.size() >= budget_ ? spill() : std::nullopt;
}

WriteError RunIndex::spill()
{
    if (!file_) {
        file_ = std::make_unique<QTemporaryFile>(QDir(folder_).filePath(QStringLiteral(".merge-index-XXXXXX")));
        if (!file_->open())
            return CannotWrite(file_->fileTemplate(), file_->errorString());
    }
    std::sort(memory_.begin(), memory_.end(), ById);
    const QByteArray bytes(reinterpret_cast<const char *>(memory_.data()), qsizetype(memory_.size() * sizeof(IndexEntry)));
    const qint64 first = file_->size() / qint64(sizeof(IndexEntry));
    if (!file_->seek(file_->size()) || !WriteAll(*file_, bytes) || !file_->flush())
        return CannotWrite(file_->fileName(), file_->errorString());
    batches_.push_back({first, qint64(memory_.size())});
    memory_.clear();
    return std::nullopt;
}

void RunIndex::Finish()
{
    std::sort(memory_.begin(), memory_.end(), ById);
}

std::optional<QString> RunIndex::ForEach(const std::function<bool(const IndexEntry &)> &visit) const
{
    struct Cursor
    {
        qint64 next = 0;       // the next entry of its batch to read from the file
        qint64 end = 0;
        std::vector<IndexEntry> buffer;
        size_t at = 0;
        const IndexEntry &current() const { return buffer[at]; }
    };
    QFile file;
    if (!batches_.empty()) {
        file.setFileName(file_->fileName());
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot read %1: %2").arg(QDir::toNativeSeparators(file.fileName()), file.errorString());
    }
    const qint64 bufferEntries = std::max(MinimumBuffer, qint64(budget_ / std::max<size_t>(batches_.size(), 1)));
    // Fills a cursor's buffer from its batch; false when the batch is done.
    auto refill = [&](Cursor &cursor) -> std::optional<bool> {
        const qint64 count = std::min(bufferEntries, cursor.end - cursor.next);
        if (count <= 0)
            return false;
        cursor.buffer.resize(size_t(count));
        const qint64 bytes = count * qint64(sizeof(IndexEntry));
        if (!file.seek(cursor.next * qint64(sizeof(IndexEntry)))
            || file.read(reinterpret_cast<char *>(cursor.buffer.data()), bytes) != bytes)
            return std::nullopt;
        cursor.next += count;
        cursor.at = 0;
        return true;
    };

    std::vector<Cursor> cursors(batches_.size());
    for (size_t b = 0; b < batches_.size(); ++b) {
        cursors[b].next = batches_[b].first;
        cursors[b].end = batches_[b].first + batches_[b].count;
    }
    using Head = std::pair<quint32, size_t>;   // run id, cursor
    std::priority_queue<Head, std::vector<Head>, std::greater<Head>> heads;
    for (size_t c = 0; c < cursors.size(); ++c) {
        const auto filled = refill(cursors[c]);
        if (!filled)
            return QStringLiteral("cannot read %1 back").arg(QDir::toNativeSeparators(file.fileName()));
        if (*filled)
            heads.push({cursors[c].current().runId, c});
    }
    // The entries still in memory are a sorted batch of their own, read in place.
    size_t memoryAt = 0;
    while (!heads.empty() || memoryAt < memory_.size()) {
        // The least of the written batches' heads and the next entry in memory.
        if (heads.empty() || (memoryAt < memory_.size() && memory_[memoryAt].runId <= heads.top().first)) {
            if (!visit(memory_[memoryAt++]))
                return std::nullopt;
            continue;
        }
        const size_t c = heads.top().second;
        heads.pop();
        Cursor &cursor = cursors[c];
        if (!visit(cursor.current()))
            return std::nullopt;
        if (++cursor.at == cursor.buffer.size()) {
            const auto filled = refill(cursor);
            if (!filled)
                return QStringLiteral("cannot read %1 back").arg(QDir::toNativeSeparators(file.fileName()));
            if (!*filled) {
                std::vector<IndexEntry>().swap(cursor.buffer);
                continue;
            }
        }
        heads.push({cursor.current().runId, c});
    }
    return std::nullopt;
}
