// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "labarguments.h"

#include <QProcessEnvironment>
#include <QStringList>

#include <variant>

// `velmora-lab sweep` and `velmora-lab merge`, read and checked in full before any work.
// A sweep without --base-seed gets `pickedSeed`; `--shard slurm` reads the array task from
// `environment`.
std::variant<Invocation, UsageError> ParseSweep(const QStringList &arguments, quint32 pickedSeed,
                                                const QProcessEnvironment &environment
                                                = QProcessEnvironment::systemEnvironment());
std::variant<Invocation, UsageError> ParseMerge(const QStringList &arguments);

// The processors this process may run on (its affinity mask, which a batch system narrows).
int AvailableCores();

QString SweepHelp();
QString MergeHelp();
