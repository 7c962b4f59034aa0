// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "savefile.h"
#include "shardfiles.h"

#include <QFile>
#include <QByteArray>

#include <mutex>

// Appends finished runs to a shard's two tables, for any number of threads, one run at a
// time: its measures rows, then its runs row, each written through to the system at once,
// so that a kill at any moment leaves every earlier run whole.
class ShardWriter
{
public:
    WriteError Open(const ShardFiles &files);
    WriteError Append(const QByteArray &measuresRows, const QByteArray &runsRow);

private:
    WriteError write(QFile &file, const QByteArray &bytes);

    std::mutex mutex_;
    QFile runs_;
    QFile measures_;
};
