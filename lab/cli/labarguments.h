// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "invocation.h"
#include "options.h"

#include <QString>
#include <QStringList>

#include <variant>

// `arguments` without the program's name: the command and its options. A run without --seed
// gets `pickedSeed`, a sweep without --base-seed the same.
std::variant<Invocation, UsageError> ParseArguments(const QStringList &arguments, quint32 pickedSeed);

QString GeneralHelp();
