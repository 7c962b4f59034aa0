// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sweepdefinition.h"

#include <QString>

#include <memory>
#include <optional>
#include <variant>

// The right to write one shard of the sweep in a folder, held while the object lives and let
// go by the system when the process ends however it ends (on a shared file system, when the
// server learns that the holder's node is gone). Two advisory locks on files in DIR/shards/,
// which are never removed nor replaced, so that a lock always means the same file:
//   shard-I-of-N.lock  held by the shard's one writer, which writes in it who it is;
//   sweep.lock         byte N held shared by every writer of a split into N shards, and
//                      no writer starts while a byte of another split is held: shards of
//                      two splits share runs, so they would write some runs twice.
// The locks are open file description locks: a second lock in the same process conflicts
// too, and closing another descriptor of the file does not let them go.
class ShardLock
{
public:
    struct Refusal
    {
        bool busy = false;   // another writer holds it; else the file system gives no locks
        QString message;
    };

    static std::variant<std::unique_ptr<ShardLock>, Refusal> Take(const QString &sweepFolder, Shard shard);
    // Whether another process holds what Take would take, creating nothing: for a command that
    // is refused for another reason, which this one then comes before.
    static std::optional<Refusal> Held(const QString &sweepFolder, Shard shard);
    ~ShardLock();
    ShardLock(const ShardLock &) = delete;
    ShardLock &operator=(const ShardLock &) = delete;

    static constexpr const char *SweepFile = "sweep.lock";
    static QString ShardFile(Shard shard);   // "shard-3-of-8.lock"

private:
    ShardLock(int splitFile, int shardFile);

    int splitFile_;
    int shardFile_;
};
