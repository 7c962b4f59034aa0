// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "invocation.h"
#include "options.h"

#include <QStringList>

#include <variant>

// `velmora-lab run` and `velmora-lab rerun`, read and checked in full before any work.
// A run without --seed gets `pickedSeed`; an option of one of the `commands` other than these
// is named as theirs.
std::variant<Invocation, UsageError> ParseRun(const QStringList &arguments, quint32 pickedSeed,
                                              const std::vector<const CommandSpec *> &commands = {});
std::variant<Invocation, UsageError> ParseRerun(const QStringList &arguments,
                                                const std::vector<const CommandSpec *> &commands = {});

const CommandSpec &RunCommand();
const CommandSpec &RerunCommand();
