// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "savefile.h"
#include "sweepdefinition.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>
#include <vector>

// What a shard's JSON file records: the sweep it belongs to and which part of it it is.
struct ShardRecord
{
    QString path;                 // the JSON file it was read from
    SweepDefinition definition;
    Shard shard;
    QString version;              // of the program that wrote it
    bool baseSeedPicked = false;
};

// The files of one shard in a sweep's folder, under shards/: shard-I-of-N.json, written
// whole before the first run, and the two tables shard-I-of-N.runs.csv and
// shard-I-of-N.measures.csv, which grow by whole runs.
class ShardFiles
{
public:
    ShardFiles(const QString &sweepFolder, Shard shard);

    static constexpr const char *Folder = "shards";
    static QString ShardsFolder(const QString &sweepFolder);

    QString stem() const;          // "shard-3-of-8"
    QString recordPath() const;
    QString runsPath() const;
    QString measuresPath() const;

    // Writes the record, then both tables with only their headers: a fresh shard.
    WriteError Create(const ShardRecord &record, const QStringList &commandLine) const;
    // Writes a table with only its header where it is missing.
    WriteError CreateMissingTables() const;

    // Every shard record in the folder, in the order of their names; a file among them that
    // is not one this program wrote is the reason, naming it.
    static std::variant<std::vector<ShardRecord>, QString> ReadRecords(const QString &sweepFolder);

private:
    QString path(const QString &suffix) const;

    QString folder_;
    Shard shard_;
};
