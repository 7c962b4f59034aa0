// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "invocation.h"
#include "options.h"

#include <QProcessEnvironment>
#include <QStringList>

#include <variant>

// `velmora-lab sweep` and `velmora-lab merge`, read and checked in full before any work.
// A sweep without --base-seed gets `pickedSeed`; `--shard slurm` reads the array task from
// `environment`. An option of one of the `commands` other than these is named as theirs.
std::variant<Invocation, UsageError> ParseSweep(const QStringList &arguments, quint32 pickedSeed,
                                                const QProcessEnvironment &environment
                                                = QProcessEnvironment::systemEnvironment(),
                                                const std::vector<const CommandSpec *> &commands = {});
std::variant<Invocation, UsageError> ParseMerge(const QStringList &arguments,
                                                const std::vector<const CommandSpec *> &commands = {});

const CommandSpec &SweepCommand();
const CommandSpec &MergeCommand();
