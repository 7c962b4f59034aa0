// SPDX-License-Identifier: GPL-3.0-or-later
#include "readers.h"

#include "runplan.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <sched.h>

#include <algorithm>
#include <cmath>
#include <thread>

std::variant<ParsedOptions, CommandOutcome> ReadCommand(const CommandSpec &command, const QStringList &arguments,
                                                        const std::vector<const CommandSpec *> &commands)
{
    auto parsed = ParseOptions(command, arguments, commands);
    if (auto *error = std::get_if<UsageError>(&parsed))
        return CommandOutcome(std::move(*error));
    auto &options = std::get<ParsedOptions>(parsed);
    if (options.has("help")) {
        Invocation help;
        help.text = HelpText(command);
        return CommandOutcome(std::move(help));
    }
    return std::move(options);
}

std::variant<Horizon, UsageError> ReadHorizon(const ParsedOptions &options)
{
    if (options.has("years") && options.has("generations"))
        return UsageError{QStringLiteral("--years and --generations both give the length of a run: give one")};
    Horizon horizon{GenerationsForYears(RunLimits::DefaultYears), RunLimits::DefaultEvery};
    if (options.has("years")) {
        bool ok = false;
        const QString text = options.value("years");
        const double y = text.toDouble(&ok);
        if (!ok || !std::isfinite(y) || y < 0 || y > MaxYears())
            return BadArgument(QStringLiteral("years"), text,
                               QStringLiteral("give a number of years from 0 to %1 (the calendar ends on 31 December 9999)")
                                   .arg(MaxYearsStated()));
        horizon.generations = GenerationsForYears(y);
    } else if (options.has("generations")) {
        const QString text = options.value("generations");
        const auto n = WholeNumberArgument(text, 0, RunLimits::MaxGenerations);
        if (!n)
            return BadArgument(QStringLiteral("generations"), text,
                               QStringLiteral("give a whole number from 0 to %1 (the calendar ends on 31 December 9999)")
                                   .arg(RunLimits::MaxGenerations));
        horizon.generations = *n;
    }
    if (options.has("every")) {
        const QString text = options.value("every");
        const auto k = WholeNumberArgument(text, 1, RunLimits::MaxGenerations);
        if (!k)
            return BadArgument(QStringLiteral("every"), text,
                               QStringLiteral("give a number of generations from 1 to %1").arg(RunLimits::MaxGenerations));
        horizon.every = int(*k);
    }
    return horizon;
}

OptionSpec YearsOption(const char *help)
{
    return {"years", "Y", help};
}

OptionSpec GenerationsOption(const char *help)
{
    return {"generations", "N", help};
}

OptionSpec EveryOption()
{
    return {"every", "K", "measure every K generations (default 46), and at the end"};
}

std::variant<quint32, UsageError> ReadSeed(const char *option, const QString &text)
{
    const auto seed = WholeNumberArgument(text, 0, MaxSeed);
    if (!seed)
        return BadArgument(QLatin1String(option), text, QStringLiteral("give a whole number from 0 to %1").arg(MaxSeed));
    return quint32(*seed);
}

std::optional<QString> FolderProblem(const QString &folder)
{
    const QFileInfo info(folder);
    if (info.exists() && !info.isDir())
        return QStringLiteral("is a file, not a folder");
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create the folder");
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".velmora-lab-XXXXXX")));
    if (!probe.open())
        return QStringLiteral("cannot write in the folder (%1)").arg(probe.errorString());
    return std::nullopt;
}

int AvailableCores()
{
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return CPU_COUNT(&set);
    return int(std::max(1u, std::thread::hardware_concurrency()));
}
