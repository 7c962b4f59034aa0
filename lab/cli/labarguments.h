// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "runplan.h"
#include "sweepsettings.h"

#include <QString>
#include <QStringList>

class QCommandLineOption;
class QCommandLineParser;

#include <optional>
#include <variant>

// What the command line asks for, read and checked in full before any work is done.
struct Invocation
{
    enum class Command { Help, Version, Run, Rerun, Sweep, Merge };
    Command command = Command::Help;
    QString text;          // for Help: the text to print
    RunPlan plan;          // for Run and Rerun
    QString runFile;       // for Rerun: the run.json it came from
    bool quiet = false;    // no progress bar
    bool force = false;    // for Run and Rerun: replace the run already in the output folder
    SweepSettings sweep;   // for Sweep
    MergeSettings merge;   // for Merge
};

// A bad command line: one line naming the argument and the form it takes.
struct UsageError
{
    QString message;
};

// `arguments` without the program's name. A run without --seed gets `pickedSeed`.
std::variant<Invocation, UsageError> ParseArguments(const QStringList &arguments, quint32 pickedSeed);

// How long runs go, and how often they are measured: --years or --generations, and --every,
// as `run` and `sweep` read them.
struct Horizon
{
    qint64 generations = 0;
    int every = 0;
};
std::variant<Horizon, UsageError> ReadHorizon(const QCommandLineParser &parser, const QCommandLineOption &years,
                                              const QCommandLineOption &generations, const QCommandLineOption &every);

// A whole number in [low, high] written in decimal digits only, or nullopt.
std::optional<qint64> WholeNumberArgument(const QString &text, qint64 low, qint64 high);
// The usage error "--option 'value': accepted".
UsageError BadArgument(const QString &option, const QString &value, const QString &accepted);

// Why the output folder cannot be used, or nullopt; creates it when it is missing.
std::optional<QString> FolderProblem(const QString &folder);

QString GeneralHelp();
QString RunHelp();
QString RerunHelp();
