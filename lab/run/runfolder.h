// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "runplan.h"

#include <QString>
#include <QStringList>

#include <optional>

// Why a run cannot go into its folder. `refused`: nothing was touched, and another folder or
// --force would do (a usage error); otherwise it failed while clearing out an old run.
struct RunFolderProblem
{
    bool refused = true;
    QString message;
};

// The --out folder of a run, made ready before the run and held while it goes. It is made
// when missing. It is refused when:
// - another velmora-lab run is writing into it (an advisory lock on the folder, which the
//   system drops when its holder ends, however it ends);
// - a name the run writes is taken by a folder, a device, a pipe or a socket;
// - it holds a run, that is a run.json of velmora-lab, unless `force`: then the files that
//   run.json lists are removed first (plain files only, and only under names a run writes);
// - it holds a run.json that velmora-lab did not write, or plain files under the names a run
//   writes that no run.json lists: they may be someone else's, so even `force` leaves them.
// Files under other names are never looked at; a symbolic link under a run's name is left
// for the run to replace (never its target).
class RunFolder
{
public:
    RunFolder() = default;
    ~RunFolder();
    RunFolder(const RunFolder &) = delete;
    RunFolder &operator=(const RunFolder &) = delete;

    std::optional<RunFolderProblem> Prepare(const RunPlan &plan, bool force);

    // The old run's files removed under `force`.
    const QStringList &removed() const { return removed_; }

    // The largest run.json read back: far beyond any the Lab writes.
    static constexpr qint64 LargestRecord = qint64(64) << 20;

private:
    int folder_ = -1;
    QStringList removed_;
};
