// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "invocation.h"
#include "options.h"

#include <QString>

#include <optional>
#include <variant>

// Readings that the commands share.

// What reading a command line ends in.
using CommandOutcome = std::variant<Invocation, UsageError>;

// A command's options as read against its table, or what is already decided: the invocation
// that prints its help (asked for with --help, whatever else was given), or what was wrong.
std::variant<ParsedOptions, CommandOutcome> ReadCommand(const CommandSpec &command, const QStringList &arguments,
                                                        const std::vector<const CommandSpec *> &commands);

inline constexpr quint32 MaxSeed = 0xffffffffu;

// How long runs go, and how often they are measured: --years or --generations, and --every.
struct Horizon
{
    qint64 generations = 0;
    int every = 0;
};
std::variant<Horizon, UsageError> ReadHorizon(const ParsedOptions &options);

// The option table's entries for --years, --generations and --every, as both commands have them.
OptionSpec YearsOption(const char *help);
OptionSpec GenerationsOption(const char *help);
OptionSpec EveryOption();

// A seed, 0 to 4294967295, as --seed and --base-seed take it.
std::variant<quint32, UsageError> ReadSeed(const char *option, const QString &text);

// Why the output folder cannot be used, or nullopt; creates it when it is missing.
std::optional<QString> FolderProblem(const QString &folder);

// The processors this process may run on (its affinity mask, which a batch system narrows).
int AvailableCores();
