// SPDX-License-Identifier: GPL-3.0-or-later
#include "shardwriter.h"

#include <sys/stat.h>

namespace {

// Writing to a file whose folder was removed succeeds and is lost; its link count tells.
bool Removed(const QFile &file)
{
    struct stat status;
    return fstat(file.handle(), &status) == 0 && status.st_nlink == 0;
}

} // namespace

WriteError ShardWriter::Open(const ShardFiles &files)
{
    const std::lock_guard lock(mutex_);
    for (auto &[file, path] : {std::pair<QFile &, QString>{runs_, files.runsPath()}, {measures_, files.measuresPath()}}) {
        file.setFileName(path);
        if (auto error = OpenForAppending(file))
            return error;
    }
    return std::nullopt;
}

WriteError ShardWriter::write(QFile &file, const QByteArray &bytes)
{
    if (!WriteAll(file, bytes))
        return CannotWrite(file.fileName(), file.errorString());
    if (Removed(file))
        return CannotWrite(file.fileName(), QStringLiteral("it was removed, or its folder was"));
    return std::nullopt;
}

WriteError ShardWriter::Append(const QByteArray &measuresRows, const QByteArray &runsRow)
{
    const std::lock_guard lock(mutex_);
    if (auto error = write(measures_, measuresRows))
        return error;
    return write(runs_, runsRow);
}
